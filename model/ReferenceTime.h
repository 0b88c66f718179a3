// REFERENCE_TIME is defined once, beside the media engine whose calls use it.
#pragma once

#include <cmath>
#include <limits>

#include "platform/media/ReferenceTime.h"

namespace sonarel {

// Seconds to 100-ns units, truncated toward zero. A value beyond the 64-bit range saturates and
// NaN gives 0, so no conversion is ever undefined.
inline REFERENCE_TIME secondsToReferenceTime(double seconds)
{
    const double units = std::trunc(seconds * static_cast<double>(kReferenceUnitsPerSecond));
    if (std::isnan(units))
        return 0;
    // 2^63 is exactly representable; anything at or past it does not fit.
    constexpr double kLimit = 9223372036854775808.0;
    if (units >= kLimit)
        return std::numeric_limits<REFERENCE_TIME>::max();
    if (units <= -kLimit)
        return std::numeric_limits<REFERENCE_TIME>::min();
    return static_cast<REFERENCE_TIME>(units);
}

}  // namespace sonarel
