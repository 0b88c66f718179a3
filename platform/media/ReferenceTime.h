// SPDX-License-Identifier: GPL-3.0-or-later
// The one time type of Sonarel, for the list and the engine alike: signed 64-bit, in units of 100
// nanoseconds, as the engine's seeking and timeline calls take and report times. Seconds come in
// through secondsToReferenceTime and go out through toSeconds, so every conversion rounds the same.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace sonarel::media {

using REFERENCE_TIME = std::int64_t;
inline constexpr REFERENCE_TIME kReferenceUnitsPerSecond = 10'000'000;

// The farthest time a source may reach on a time line (about 11.5 days): keeps t * rate in range.
// A source that would end later cannot be placed, so callers refuse it before a render.
inline constexpr REFERENCE_TIME kLongestTime = 10'000'000'000'000;

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

// 100-ns units to seconds.
inline constexpr double toSeconds(REFERENCE_TIME time)
{
    return static_cast<double>(time) / static_cast<double>(kReferenceUnitsPerSecond);
}

}  // namespace sonarel::media
