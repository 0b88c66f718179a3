// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/FrameSamples.h"

#include <cstring>

extern "C" {
#include <libavutil/samplefmt.h>
}

#include "platform/media/core/NonFiniteSamples.h"

namespace sonarel::media::core {

namespace {

template <typename Sample, typename Convert>
void interleave(const std::uint8_t* const* planes, bool planar, int channels, int frames, float* out, Convert convert)
{
    const auto n = static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels);
    if (!planar || channels == 1) {
        const auto* in = reinterpret_cast<const Sample*>(planes[0]);
        for (std::size_t i = 0; i < n; ++i)
            out[i] = convert(in[i]);
        return;
    }
    for (int c = 0; c < channels; ++c) {
        const auto* in = reinterpret_cast<const Sample*>(planes[c]);
        for (int i = 0; i < frames; ++i)
            out[static_cast<std::size_t>(i) * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                convert(in[i]);
    }
}

}  // namespace

std::int64_t silenceNonFinite(AVFrame& frame)
{
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const bool isFloat = format == AV_SAMPLE_FMT_FLT || format == AV_SAMPLE_FMT_FLTP;
    const bool isDouble = format == AV_SAMPLE_FMT_DBL || format == AV_SAMPLE_FMT_DBLP;
    if (!isFloat && !isDouble)
        return 0;
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const int planes = planar ? frame.ch_layout.nb_channels : 1;
    const auto perPlane = static_cast<std::size_t>(frame.nb_samples) *
                          static_cast<std::size_t>(planar ? 1 : frame.ch_layout.nb_channels);
    bool finite = true;
    for (int p = 0; p < planes && finite; ++p)
        finite = isFloat ? allFinite(reinterpret_cast<const float*>(frame.extended_data[p]), perPlane)
                         : allFinite(reinterpret_cast<const double*>(frame.extended_data[p]), perPlane);
    if (finite)
        return 0;
    if (av_frame_make_writable(&frame) < 0)
        return -1;
    std::int64_t cleared = 0;
    for (int p = 0; p < planes; ++p)
        cleared += isFloat ? clearNonFinite(reinterpret_cast<float*>(frame.extended_data[p]), perPlane)
                           : clearNonFinite(reinterpret_cast<double*>(frame.extended_data[p]), perPlane);
    return cleared;
}

bool convertsByHand(int format)
{
    switch (static_cast<AVSampleFormat>(format)) {
    case AV_SAMPLE_FMT_U8:
    case AV_SAMPLE_FMT_U8P:
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S32P:
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP:
    case AV_SAMPLE_FMT_DBL:
    case AV_SAMPLE_FMT_DBLP: return true;
    default: return false;
    }
}

void convertToFloat(const std::uint8_t* const* planes, int format, int channels, int frames, float* out)
{
    const auto sampleFormat = static_cast<AVSampleFormat>(format);
    const bool planar = av_sample_fmt_is_planar(sampleFormat) != 0;
    switch (av_get_packed_sample_fmt(sampleFormat)) {
    case AV_SAMPLE_FMT_U8:
        interleave<std::uint8_t>(planes, planar, channels, frames, out,
                                 [](std::uint8_t x) { return static_cast<float>(x - 0x80) * (1.0f / (1 << 7)); });
        break;
    case AV_SAMPLE_FMT_S16:
        interleave<std::int16_t>(planes, planar, channels, frames, out,
                                 [](std::int16_t x) { return static_cast<float>(x) * (1.0f / (1 << 15)); });
        break;
    case AV_SAMPLE_FMT_S32:
        interleave<std::int32_t>(planes, planar, channels, frames, out,
                                 [](std::int32_t x) { return static_cast<float>(x) * (1.0f / (1U << 31)); });
        break;
    case AV_SAMPLE_FMT_FLT: interleave<float>(planes, planar, channels, frames, out, [](float x) { return x; }); break;
    case AV_SAMPLE_FMT_DBL:
        interleave<double>(planes, planar, channels, frames, out, [](double x) { return static_cast<float>(x); });
        break;
    default: break;
    }
}

bool dropLeadingSamples(AVFrame& frame, int count)
{
    if (av_frame_make_writable(&frame) < 0)
        return false;
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const int channels = frame.ch_layout.nb_channels;
    const auto width = static_cast<std::size_t>(av_get_bytes_per_sample(format)) *
                       static_cast<std::size_t>(planar ? 1 : channels);
    const auto kept = static_cast<std::size_t>(frame.nb_samples - count);
    for (int p = 0; p < (planar ? channels : 1); ++p)
        std::memmove(frame.extended_data[p], frame.extended_data[p] + static_cast<std::size_t>(count) * width,
                     kept * width);
    frame.nb_samples -= count;
    return true;
}

}  // namespace sonarel::media::core
