#include "platform/media/core/PcmConversion.h"

#include <algorithm>
#include <cmath>

namespace sonarel::media::core {

namespace {

// Kept apart from the conversion loops so that those stay simple enough to vectorise.
void measure(const float* in, std::size_t samples, float fullScale, Clipping& clipping) {
    // The values that round to the largest and smallest codes; beyond them a sample saturates.
    const float highest = (fullScale - 1.0f + 0.5f) / fullScale;
    const float lowest = -(fullScale + 0.5f) / fullScale;
    float peak = clipping.peak;
    std::int64_t clipped = 0;
    for (std::size_t i = 0; i < samples; ++i) {
        const float v = in[i];
        const float level = std::fabs(v);
        peak = level > peak ? level : peak;  // NaN compares false and is passed over
        clipped += static_cast<std::int64_t>(v >= highest) + static_cast<std::int64_t>(v < lowest);
    }
    clipping.peak = peak;
    clipping.samples += clipped;
}

}  // namespace

void convertToPcm(const float* in, std::size_t samples, int bits, std::uint8_t* out, Clipping& clipping) {
    measure(in, samples, bits == 8 ? 128.0f : 32768.0f, clipping);
    if (bits == 8) {
        for (std::size_t i = 0; i < samples; ++i) {
            float v = in[i] * 128.0f + 128.0f;
            if (std::isnan(v))
                v = 128.0f;
            v = std::clamp(v, 0.0f, 255.0f);
            out[i] = static_cast<std::uint8_t>(std::lrint(v));
        }
        return;
    }
    for (std::size_t i = 0; i < samples; ++i) {
        float v = in[i] * 32768.0f;
        if (std::isnan(v))
            v = 0.0f;
        v = std::clamp(v, -32768.0f, 32767.0f);
        const auto s = static_cast<std::int16_t>(std::lrint(v));
        const auto u = static_cast<std::uint16_t>(s);
        out[2 * i] = static_cast<std::uint8_t>(u & 0xFF);
        out[2 * i + 1] = static_cast<std::uint8_t>(u >> 8);
    }
}

}  // namespace sonarel::media::core
