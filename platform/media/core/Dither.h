// SPDX-License-Identifier: GPL-3.0-or-later
// TPDF dither: before a float mix becomes integer samples, each sample gets the difference of two
// uniform random values of one step of the target format each, so that the rounding error no
// longer follows the signal. The generator starts from a fixed seed: the same mix gives the same
// file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sonarel::media::core {

class TpdfDither {
public:
    explicit TpdfDither(int bits);  // 8, 16 or 24: the size of one step
    void apply(float* samples, std::size_t count);

private:
    float uniform();  // [0, 1)

    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
    float step_;
};

}  // namespace sonarel::media::core
