#pragma once

#include <cstdint>

namespace sonarel {

// Signed 64-bit time in units of 100 nanoseconds.
using REFERENCE_TIME = std::int64_t;
inline constexpr REFERENCE_TIME kReferenceUnitsPerSecond = 10'000'000;

}  // namespace sonarel
