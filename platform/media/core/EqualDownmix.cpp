// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/EqualDownmix.h"

#include <cstdint>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace sonarel::media::core {

namespace {

// Adds `weight` times one channel (every `stride`-th sample from `from`) into every `step`-th
// float of `sum`, as float with full scale 1.0.
template <typename Sample>
void addChannel(const std::uint8_t* from, std::size_t stride, std::size_t frames, double scale, double offset,
                float weight, float* sum, std::size_t step)
{
    const auto* samples = reinterpret_cast<const Sample*>(from);
    const auto factor = static_cast<float>(scale) * weight;
    const auto shift = static_cast<float>(offset);
    for (std::size_t i = 0; i < frames; ++i)
        sum[i * step] += (static_cast<float>(samples[i * stride]) - shift) * factor;
}

}  // namespace

bool meanOfChannels(const AVFrame& frame, int copies, std::vector<float>& out)
{
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const int channels = frame.ch_layout.nb_channels;
    if (channels <= 0 || copies <= 0 || frame.nb_samples <= 0)
        return false;
    const auto frames = static_cast<std::size_t>(frame.nb_samples);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const int bytes = av_get_bytes_per_sample(format);
    const std::size_t stride = planar ? 1 : static_cast<std::size_t>(channels);
    const auto step = static_cast<std::size_t>(copies);
    out.assign(frames * step, 0.0f);  // the sum goes into the first copy
    float* sum = out.data();
    const float weight = 1.0f / static_cast<float>(channels);
    for (int c = 0; c < channels; ++c) {
        const std::uint8_t* from = planar ? frame.extended_data[c] : frame.extended_data[0] + c * bytes;
        switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_U8: addChannel<std::uint8_t>(from, stride, frames, 1.0 / 128, 128, weight, sum, step); break;
        case AV_SAMPLE_FMT_S16:
            addChannel<std::int16_t>(from, stride, frames, 1.0 / 32768, 0, weight, sum, step);
            break;
        case AV_SAMPLE_FMT_S32:
            addChannel<std::int32_t>(from, stride, frames, 1.0 / 2147483648.0, 0, weight, sum, step);
            break;
        case AV_SAMPLE_FMT_S64:
            addChannel<std::int64_t>(from, stride, frames, 1.0 / 9223372036854775808.0, 0, weight, sum, step);
            break;
        case AV_SAMPLE_FMT_FLT: addChannel<float>(from, stride, frames, 1.0, 0, weight, sum, step); break;
        case AV_SAMPLE_FMT_DBL: addChannel<double>(from, stride, frames, 1.0, 0, weight, sum, step); break;
        default: return false;
        }
    }
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t k = 1; k < step; ++k)
            sum[i * step + k] = sum[i * step];
    return true;
}

}  // namespace sonarel::media::core
