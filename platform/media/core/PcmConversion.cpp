// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/PcmConversion.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace sonarel::media::core {

namespace {

// Adding and subtracting 1.5 * 2^23 rounds a float below 2^22 to the nearest integer, ties to
// even, as lrint does, in a form the compiler turns into vector instructions.
constexpr float kRounder = 12582912.0f;
constexpr std::size_t kChunk = 4096;

// One pass that converts, and measures what saturated: kept free of branches and calls so that it
// vectorises. `fullScale` is 32768 (16 bits) or 128 (8 bits, stored with an offset of 128).
template <typename Sample>
void convertChunk(const float* in, std::size_t n, float fullScale, float offset, Sample* out, std::int32_t& clippedSum,
                  std::int32_t& peakSum)
{
    const float highest = fullScale - 1.0f;
    const float lowest = -fullScale;
    std::int32_t clipped = 0;         // locals, not the references: reductions in registers vectorise
    std::int32_t peakBits = peakSum;  // signed: an unsigned maximum does not vectorise
    for (std::size_t i = 0; i < n; ++i) {
        const float x = in[i];
        // The magnitude's bit pattern orders like the magnitude; NaN (above infinity) counts as 0.
        std::int32_t bits = std::bit_cast<std::int32_t>(x) & 0x7FFFFFFF;
        bits = bits > 0x7F800000 ? 0 : bits;
        peakBits = bits > peakBits ? bits : peakBits;
        float v = x * fullScale;
        clipped += static_cast<std::int32_t>(v >= highest + 0.5f) + static_cast<std::int32_t>(v < lowest - 0.5f);
        v = v == v ? v : 0.0f;  // NaN becomes silence
        v = v > highest ? highest : v;
        v = v < lowest ? lowest : v;
        v = (v + kRounder) - kRounder;
        out[i] = static_cast<Sample>(static_cast<std::int32_t>(v) + static_cast<std::int32_t>(offset));
    }
    clippedSum += clipped;
    peakSum = peakBits;
}

// 24 bits go through doubles: the float rounding trick above does not reach 2^23.
void convert24(const float* in, std::size_t n, std::uint8_t* out, std::int32_t& clipped, std::int32_t& peakBits)
{
    constexpr double fullScale = 8388608.0;
    for (std::size_t i = 0; i < n; ++i) {
        const float x = in[i];
        std::int32_t bits = std::bit_cast<std::int32_t>(x) & 0x7FFFFFFF;
        bits = bits > 0x7F800000 ? 0 : bits;
        peakBits = std::max(peakBits, bits);
        double v = x == x ? std::nearbyint(static_cast<double>(x) * fullScale) : 0.0;
        clipped += static_cast<std::int32_t>(v > fullScale - 1.0) + static_cast<std::int32_t>(v < -fullScale);
        v = std::clamp(v, -fullScale, fullScale - 1.0);
        const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
        out[3 * i] = static_cast<std::uint8_t>(u);
        out[3 * i + 1] = static_cast<std::uint8_t>(u >> 8);
        out[3 * i + 2] = static_cast<std::uint8_t>(u >> 16);
    }
}

}  // namespace

void convertToFloat(const float* in, std::size_t samples, std::uint8_t* out, Clipping& clipping)
{
    std::int32_t peakBits = std::bit_cast<std::int32_t>(clipping.peak);
    for (std::size_t i = 0; i < samples; ++i) {
        float x = in[i];
        std::int32_t bits = std::bit_cast<std::int32_t>(x) & 0x7FFFFFFF;
        x = bits >= 0x7F800000 ? 0.0f : x;  // infinities too: a file of floats keeps them otherwise
        bits = bits >= 0x7F800000 ? 0 : bits;
        peakBits = std::max(peakBits, bits);
        const auto u = std::bit_cast<std::uint32_t>(x);
        for (int b = 0; b < 4; ++b)
            out[4 * i + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(u >> (8 * b));
    }
    clipping.peak = std::bit_cast<float>(peakBits);
}

void convertToPcm(const float* in, std::size_t samples, int bits, std::uint8_t* out, Clipping& clipping)
{
    std::int32_t peakBits = std::bit_cast<std::int32_t>(clipping.peak);
    std::int32_t clipped = 0;
    for (std::size_t done = 0; done < samples; done += kChunk) {
        const std::size_t n = std::min(kChunk, samples - done);
        if (bits == 24) {
            convert24(in + done, n, out + 3 * done, clipped, peakBits);
            continue;
        }
        if (bits == 8) {
            convertChunk<std::uint8_t>(in + done, n, 128.0f, 128.0f, out + done, clipped, peakBits);
            continue;
        }
        std::array<std::int16_t, kChunk> chunk;
        convertChunk<std::int16_t>(in + done, n, 32768.0f, 0.0f, chunk.data(), clipped, peakBits);
        std::uint8_t* to = out + 2 * done;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(to, chunk.data(), 2 * n);
        } else {
            for (std::size_t i = 0; i < n; ++i) {
                const auto u = static_cast<std::uint16_t>(chunk[i]);
                to[2 * i] = static_cast<std::uint8_t>(u & 0xFF);
                to[2 * i + 1] = static_cast<std::uint8_t>(u >> 8);
            }
        }
    }
    clipping.peak = std::bit_cast<float>(peakBits);
    clipping.samples += clipped;
}

}  // namespace sonarel::media::core
