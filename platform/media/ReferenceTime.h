// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's time type: signed 64-bit, in units of 100 nanoseconds, as its seeking and timeline
// calls take and report times. Callers above the engine keep their own time type and convert
// where they hand times in.
#pragma once

#include <cstdint>

namespace sonarel::media {

using REFERENCE_TIME = std::int64_t;
inline constexpr REFERENCE_TIME kReferenceUnitsPerSecond = 10'000'000;

// The farthest time a source may reach on a time line (about 11.5 days): keeps t * rate in range.
// A source that would end later cannot be placed, so callers refuse it before a render.
inline constexpr REFERENCE_TIME kLongestTime = 10'000'000'000'000;

}  // namespace sonarel::media
