// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/FirstSoundCheck.h"

#include <cmath>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "platform/media/core/Files.h"
#include "platform/media/core/MediaInput.h"
#include "platform/media/core/ResamplerSetup.h"
#include "platform/media/core/SourceStream.h"

namespace sonarel::media::core {

namespace {

constexpr int kMostDamagedFrames = 64;  // skipped in a row before the stream gives up on them

std::string describe(const AVChannelLayout& layout)
{
    std::vector<char> text(128);
    for (;;) {
        const int needed = av_channel_layout_describe(&layout, text.data(), text.size());
        if (needed < 0)
            return {};
        if (static_cast<std::size_t>(needed) <= text.size())
            return text.data();
        text.resize(static_cast<std::size_t>(needed));
    }
}

// The layout a source stream converts from: the frame's own, or the usual one for its count of
// channels when the frame does not say which they are.
std::string layoutOf(const AVFrame& frame)
{
    AVChannelLayout layout{};
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&layout, frame.ch_layout.nb_channels);
    else
        av_channel_layout_copy(&layout, &frame.ch_layout);
    std::string text = describe(layout);
    av_channel_layout_uninit(&layout);
    return text;
}

// The resampler's reduced rates input : output at speed 1, as the stream works them out.
bool resamplerRates(int rate, int outputRate, int& inUnits, int& outUnits)
{
    return resamplerUnits(rate, outputRate, static_cast<double>(rate) / outputRate, inUnits, outUnits);
}

bool convertsWithoutResampler(int format)
{
    switch (av_get_packed_sample_fmt(static_cast<AVSampleFormat>(format))) {
    case AV_SAMPLE_FMT_U8:
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_DBL: return true;
    default: return false;
    }
}

// Sets up (and drops) the converter a stream would make for frames of `layout`, `format` and
// `rate`. FFmpeg's code of a refusal is left in `avError`, as the stream leaves it.
Status setUpConverter(AVChannelLayout& layout, int format, int rate, AVChannelLayout& outLayout, int outputRate,
                      int& avError)
{
    int inUnits = 0;
    int outUnits = 0;
    if (!resamplerRates(rate, outputRate, inUnits, outUnits))
        return kErrInvalidArg;
    if (inUnits == outUnits && av_channel_layout_compare(&layout, &outLayout) == 0 && convertsWithoutResampler(format))
        return kOk;
    SwrPtr swr;
    return openResampler(layout, format, inUnits, outLayout, outUnits, swr, avError);
}

}  // namespace

FirstSoundReader::FirstSoundReader(MediaInput& input, Status opened, FirstSound* learned)
    : input_(input), learned_(learned)
{
    if (!learned_)
        return;
    *learned_ = FirstSound{};
    learned_->known = opened != kErrOutOfMemory;
    learned_->status = opened;
    learned_->avError = input.lastAvError;
    if (failed(opened)) {
        finish();
        return;
    }
    learned_->sourceRate = input.codec->sample_rate;
    learned_->monoSource = input.codec->ch_layout.nb_channels == 1;
    frame_.reset(av_frame_alloc());
    if (!frame_) {
        learned_->known = false;
        finish();
    }
}

void FirstSoundReader::receive(bool demuxEnded)
{
    int errors = 0;
    while (!finished_) {
        const int r = avcodec_receive_frame(input_.codec.get(), frame_.get());
        if (r == AVERROR(EAGAIN) && !demuxEnded)
            return;
        if (r == AVERROR_EOF || r == AVERROR(EAGAIN) || (r < 0 && ++errors > kMostDamagedFrames && demuxEnded)) {
            finish();  // nothing to hear: a silent file mixes
            return;
        }
        if (r < 0) {
            if (r == AVERROR(ENOMEM)) {
                learned_->known = false;
                finish();
            }
            if (errors > kMostDamagedFrames)
                return;
            continue;  // a damaged frame is skipped
        }
        errors = 0;
        const AVFrame& f = *frame_;
        if (f.nb_samples > 0 && f.sample_rate > 0 && f.ch_layout.nb_channels > 0) {
            learned_->sounded = true;
            learned_->sampleFormat = f.format;
            learned_->frameRate = f.sample_rate;
            learned_->layout = layoutOf(f);
            learned_->avError = input_.lastAvError;
            finish();
        }
        av_frame_unref(frame_.get());
    }
}

void FirstSoundReader::packet(const AVPacket& packet)
{
    if (done() || packet.stream_index != input_.streamIndex)
        return;
    if (avcodec_send_packet(input_.codec.get(), &packet) == AVERROR(ENOMEM)) {
        learned_->known = false;
        finish();
        return;
    }
    receive(false);  // a packet the decoder refused is skipped
}

void FirstSoundReader::end(int readResult)
{
    if (done())
        return;
    if (readResult == AVERROR(ENOMEM)) {
        learned_->known = false;
        finish();
        return;
    }
    if (readResult != AVERROR_EOF && readResult != AVERROR_INVALIDDATA && input_.file.lastErrno != 0) {
        learned_->status = statusFromErrno(input_.file.lastErrno, false);
        learned_->avError = input_.lastAvError;
        finish();
        return;
    }
    avcodec_send_packet(input_.codec.get(), nullptr);
    receive(true);
}

void FirstSoundReader::readOn()
{
    if (done())
        return;
    PacketPtr packet(av_packet_alloc());
    if (!packet) {
        learned_->known = false;
        finish();
        return;
    }
    int r = 0;
    while (!done() && (r = av_read_frame(input_.format.get(), packet.get())) >= 0) {
        this->packet(*packet);
        av_packet_unref(packet.get());
    }
    if (!done())
        end(r);
}

std::optional<Failure> checkFromFirstSound(const FirstSound& learned, int outputRate)
{
    if (!learned.known || outputRate <= 0)
        return std::nullopt;
    if (failed(learned.status))
        return Failure{learned.status, learned.avError};
    if (!learned.sounded)
        return Failure{};
    AVChannelLayout layout{};
    if (av_channel_layout_from_string(&layout, learned.layout.c_str()) < 0)
        return std::nullopt;
    if (describe(layout) != learned.layout) {  // not told back exactly: ask the file itself
        av_channel_layout_uninit(&layout);
        return std::nullopt;
    }
    AVChannelLayout outLayout{};
    av_channel_layout_default(&outLayout, learned.monoSource ? 1 : 2);
    int avError = learned.avError;
    Failure result;
    const Status asGiven = setUpConverter(layout, learned.sampleFormat, learned.frameRate, outLayout, outputRate,
                                          avError);
    if (!failed(asGiven) || asGiven == kErrOutOfMemory || layout.nb_channels <= outLayout.nb_channels) {
        result = failed(asGiven) ? Failure{asGiven, avError} : Failure{};
    } else {
        // More channels than the resampler has a matrix for: the stream averages them first.
        const Status averaged = setUpConverter(outLayout, AV_SAMPLE_FMT_FLT, learned.frameRate, outLayout, outputRate,
                                               avError);
        result = failed(averaged) ? Failure{asGiven, avError} : Failure{};
    }
    av_channel_layout_uninit(&layout);
    av_channel_layout_uninit(&outLayout);
    if (result.status == kErrOutOfMemory)
        return std::nullopt;
    return result;
}

}  // namespace sonarel::media::core
