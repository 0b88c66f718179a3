// SPDX-License-Identifier: GPL-3.0-or-later
// The mix list's time type: signed 64-bit, in units of 100 nanoseconds. Durations and start times
// are held in it and shown in seconds. The media engine has a time type of its own with the same
// units; render/EngineEntry is the one place that hands list times to the engine.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace sonarel {

using REFERENCE_TIME = std::int64_t;
inline constexpr REFERENCE_TIME kReferenceUnitsPerSecond = 10'000'000;

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
