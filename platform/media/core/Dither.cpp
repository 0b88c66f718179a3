// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/Dither.h"

#include <cmath>

namespace sonarel::media::core {

TpdfDither::TpdfDither(int bits) : step_(std::ldexp(1.0f, 1 - bits)) {}

// xorshift64*: fast, and plenty for noise.
float TpdfDither::uniform()
{
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    const std::uint64_t r = state_ * 0x2545F4914F6CDD1Dull;
    return static_cast<float>(r >> 40) * (1.0f / 16777216.0f);
}

void TpdfDither::apply(float* samples, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const float a = uniform();
        const float b = uniform();
        samples[i] += (a - b) * step_;
    }
}

}  // namespace sonarel::media::core
