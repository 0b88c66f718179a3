// The one time type of the program: signed 64-bit, in units of 100 nanoseconds. The media engine
// defines it because the engine's calls are made in it; the mix list and the windows use the same.
#pragma once

#include <cstdint>

namespace sonarel {

using REFERENCE_TIME = std::int64_t;
inline constexpr REFERENCE_TIME kReferenceUnitsPerSecond = 10'000'000;

namespace media {
// The farthest time a source may reach on a time line (about 11.5 days): keeps t * rate in range.
// A source that would end later cannot be placed, so callers refuse it before a render.
inline constexpr REFERENCE_TIME kLongestTime = 10'000'000'000'000;
}  // namespace media

}  // namespace sonarel
