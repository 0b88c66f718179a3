// The last step of a mix: the summed float signal to integer PCM.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sonarel::media::core {

// Converts interleaved float samples (full scale 1.0) to PCM of `bits` (16 signed little-endian or
// 8 unsigned), rounding and saturating; NaN becomes silence.
void convertToPcm(const float* in, std::size_t samples, int bits, std::uint8_t* out);

}  // namespace sonarel::media::core
