#include "platform/media/core/PcmConversion.h"

#include <algorithm>
#include <cmath>

namespace sonarel::media::core {

void convertToPcm(const float* in, std::size_t samples, int bits, std::uint8_t* out) {
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
