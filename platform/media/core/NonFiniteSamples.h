// SPDX-License-Identifier: GPL-3.0-or-later
// NaN and infinite samples, found and silenced. A damaged float file can hold them; summed into a
// mix, one of them would silence or wreck every other entry where they overlap.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sonarel::media::core {

template <typename Sample>
bool allFinite(const Sample* samples, std::size_t count)
{
    bool finite = true;
    for (std::size_t i = 0; i < count; ++i)
        finite &= std::isfinite(samples[i]);  // no early exit: the loop vectorises
    return finite;
}

// For float, the test is on the bits: a sample is not finite when its exponent is all ones, which
// carries into the sign bit when one is added below the exponent. The loop is a mask, an add and
// an or per sample, in integer vector instructions: every source's every block goes through it.
template <>
inline bool allFinite(const float* samples, std::size_t count)
{
    constexpr std::uint32_t kExponent = 0x7f800000u;
    constexpr std::uint32_t kBelowExponent = 0x00800000u;
    std::uint32_t carried = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, samples + i, sizeof bits);
        carried |= (bits & kExponent) + kBelowExponent;
    }
    return (carried & 0x80000000u) == 0;
}

// Sets every sample that is not a finite number to 0; returns how many there were.
template <typename Sample>
std::int64_t clearNonFinite(Sample* samples, std::size_t count)
{
    std::int64_t cleared = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(samples[i])) {
            samples[i] = 0;
            ++cleared;
        }
    }
    return cleared;
}

}  // namespace sonarel::media::core
