// The one time type of the program: signed 64-bit, in units of 100 nanoseconds. The media engine
// defines it because the engine's calls are made in it; the mix list and the windows use the same.
#pragma once

#include <cstdint>

namespace sonarel {

using REFERENCE_TIME = std::int64_t;
inline constexpr REFERENCE_TIME kReferenceUnitsPerSecond = 10'000'000;

}  // namespace sonarel
