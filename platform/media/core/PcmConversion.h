// SPDX-License-Identifier: GPL-3.0-or-later
// The last step of a mix: the summed float signal to integer PCM.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sonarel::media::core {

// What the conversion had to cut: samples whose rounded value lay beyond the format's range, and
// the highest level met before conversion (1.0 = full scale).
struct Clipping {
    std::int64_t samples = 0;
    float peak = 0.0f;
};

// Converts interleaved float samples (full scale 1.0) to PCM of `bits` (24 or 16 signed
// little-endian, or 8 unsigned), rounding and saturating; NaN becomes silence. Adds what saturated
// to `clipping`.
void convertToPcm(const float* in, std::size_t samples, int bits, std::uint8_t* out, Clipping& clipping);

// Copies interleaved float samples as 32-bit little-endian floats, which keep levels beyond full
// scale (nothing is cut); NaN becomes silence. Notes the peak in `clipping`.
void convertToFloat(const float* in, std::size_t samples, std::uint8_t* out, Clipping& clipping);

}  // namespace sonarel::media::core
