// SPDX-License-Identifier: GPL-3.0-or-later
// The one time type of Sonarel, for the list and the engine alike: signed 64-bit, in units of 100
// nanoseconds, as the engine's seeking and timeline calls take and report times. Seconds come in
// through secondsToReferenceTime (typed values, truncated) or nearestReferenceTime (lengths in
// pixels or steps) and go out through toSeconds; nothing converts by hand.
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

namespace detail {
// A whole number of units as the time type: beyond the 64-bit range it saturates, NaN gives 0.
inline REFERENCE_TIME wholeUnits(double units)
{
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
}  // namespace detail

// Seconds to 100-ns units, truncated toward zero, as a typed time is read. A value beyond the
// 64-bit range saturates and NaN gives 0, so no conversion is ever undefined.
inline REFERENCE_TIME secondsToReferenceTime(double seconds)
{
    return detail::wholeUnits(std::trunc(seconds * static_cast<double>(kReferenceUnitsPerSecond)));
}

// Seconds to the nearest 100-ns unit, saturating the same way: for lengths measured in pixels or
// steps (a drag, a nudge, a click on the ruler), where 0.3 s must move 3,000,000 units whatever
// the binary fraction gives.
inline REFERENCE_TIME nearestReferenceTime(double seconds)
{
    return detail::wholeUnits(std::round(seconds * static_cast<double>(kReferenceUnitsPerSecond)));
}

// 100-ns units to seconds.
inline constexpr double toSeconds(REFERENCE_TIME time)
{
    return static_cast<double>(time) / static_cast<double>(kReferenceUnitsPerSecond);
}

}  // namespace sonarel::media
