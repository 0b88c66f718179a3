// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/SourceStream.h"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
}

#include "platform/media/FaultInjector.h"
#include "platform/media/FaultPoints.h"
#include "platform/media/core/EqualDownmix.h"
#include "platform/media/core/Files.h"
#include "platform/media/core/FrameSamples.h"
#include "platform/media/core/MediaInput.h"
#include "platform/media/core/ResamplerSetup.h"
#include "platform/media/core/StartPlan.h"

namespace sonarel::media::core {

namespace {

// The resampler's rates as the exact, reduced ratio input : output, speed included: `inUnits` input
// samples make `outUnits` output frames. False when they cannot be worked out.
bool effectiveRates(int rate, const StreamSettings& settings, int& inUnits, int& outUnits)
{
    int speedNum = 0;
    int speedDen = 0;
    av_reduce(&speedNum, &speedDen, settings.speedNum, settings.speedDen, 1 << 30);
    const double exact = static_cast<double>(rate) * speedNum / (static_cast<double>(settings.outputRate) * speedDen);
    return resamplerUnits(static_cast<std::int64_t>(rate) * speedNum,
                          static_cast<std::int64_t>(settings.outputRate) * speedDen, exact, inUnits, outUnits);
}

}  // namespace

struct SourceStream::Impl {
    MediaInput input;
    StreamSettings settings;
    PacketPtr packet;
    FramePtr frame;
    SwrPtr swr;
    AVChannelLayout inLayout{};
    int inFormat = -1;
    int inRate = 0;
    AVChannelLayout outLayout{};
    // The resampler has no matrix for the input's layout: its channels are averaged first.
    bool equalDownmix = false;
    // The samples need no resampling and no remixing: they are converted by hand (no swr).
    bool byHand = false;
    std::vector<float> downmixed;
    std::vector<float> fifo;
    std::size_t fifoPos = 0;  // in floats
    bool demuxEnded = false;
    bool finished = false;
    std::int64_t nonFinite = 0;  // samples that were not numbers, cleared before conversion
    std::int64_t packets = 0;    // handed to the decoder
    // After a seek: input samples before feedFrom are dropped; the first frame must not begin
    // after it, else the seek missed and the stream is read again from the start.
    std::int64_t feedFrom = 0;
    bool firstAfterSeek = false;
    bool seekMissed = false;
    std::int64_t dropOutput = 0;  // output frames still to leave out

    ~Impl()
    {
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_uninit(&outLayout);
    }

    std::size_t channels() const { return static_cast<std::size_t>(outLayout.nb_channels); }
    std::int64_t available() const { return static_cast<std::int64_t>((fifo.size() - fifoPos) / channels()); }

    // Keeps the queue at what is unread plus this frame: with a thousand sources at once, what a
    // source's queue holds beyond that is what the mix's memory is made of.
    float* reserve(std::int64_t frames)
    {
        if (fifoPos > 0) {
            fifo.erase(fifo.begin(), fifo.begin() + static_cast<std::ptrdiff_t>(fifoPos));
            fifoPos = 0;
        }
        const std::size_t old = fifo.size();
        const std::size_t size = old + static_cast<std::size_t>(frames) * channels();
        if (size > fifo.capacity())
            fifo.reserve(size);  // exactly: a doubled capacity would stay with the source for good
        fifo.resize(size);
        return fifo.data() + old;
    }
    void commit(std::int64_t reserved, std::int64_t used)
    {
        fifo.resize(fifo.size() - static_cast<std::size_t>(reserved - used) * channels());
    }

    Status corrupt(int avError)
    {
        input.lastAvError = avError;
        return kErrCorruptData;
    }

    // Converts what the resampler still holds.
    Status drainResampler()
    {
        if (!swr)
            return kOk;
        for (;;) {
            const std::int64_t room = std::max<std::int64_t>(swr_get_out_samples(swr.get(), 0), 0) + 256;
            float* out = reserve(room);
            auto* dst = reinterpret_cast<std::uint8_t*>(out);
            const int n = swr_convert(swr.get(), &dst, static_cast<int>(room), nullptr, 0);
            commit(room, std::max(n, 0));
            if (n < 0)
                return corrupt(n);
            if (n == 0)
                return kOk;
        }
    }

    Status setUpResampler(AVChannelLayout& layout, int format, int rate)
    {
        if (const Status s = drainResampler(); failed(s))
            return s;
        swr.reset();
        byHand = false;
        int inRateEff = 0;
        int outRateEff = 0;
        if (!effectiveRates(rate, settings, inRateEff, outRateEff))
            return kErrInvalidArg;
        if (inRateEff == outRateEff && av_channel_layout_compare(&layout, &outLayout) == 0 && convertsByHand(format)) {
            byHand = true;
            av_channel_layout_uninit(&inLayout);
            av_channel_layout_copy(&inLayout, &layout);
            inFormat = format;
            inRate = rate;
            return kOk;
        }
        if (const Status s = openResampler(layout, format, inRateEff, outLayout, outRateEff, swr, input.lastAvError);
            failed(s))
            return s;
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_copy(&inLayout, &layout);
        inFormat = format;
        inRate = rate;
        return kOk;
    }

    // The resampler's own matrix where it has one for the layout (the standard downmix), else equal
    // weights for every channel: a count no standard layout names (9, 17, 33...) or more channels
    // than the resampler takes at all.
    Status setUpConversion(AVChannelLayout& layout, int format, int rate)
    {
        equalDownmix = false;
        const Status asGiven = setUpResampler(layout, format, rate);
        if (!failed(asGiven) || asGiven == kErrOutOfMemory || layout.nb_channels <= outLayout.nb_channels)
            return asGiven;
        AVChannelLayout averaged{};
        av_channel_layout_copy(&averaged, &outLayout);
        const Status status = setUpResampler(averaged, AV_SAMPLE_FMT_FLT, rate);
        av_channel_layout_uninit(&averaged);
        if (failed(status))
            return asGiven;
        equalDownmix = true;
        input.lastAvError = 0;  // the refusal was answered
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_copy(&inLayout, &layout);  // what the frames hold, to see it change
        inFormat = format;
        return kOk;
    }

    // Seeks to where `plan` says; without a seek (or when it fails) the stream is read from the
    // start and the whole skip is left out of its output.
    void startAt(std::int64_t skipFrames, bool seek)
    {
        dropOutput = skipFrames;
        const int rate = input.codec->sample_rate;
        int inUnits = 0;
        int outUnits = 0;
        if (!seek || skipFrames <= 0 || !effectiveRates(rate, settings, inUnits, outUnits))
            return;
        const char* demuxer = input.format->iformat ? input.format->iformat->name : "";
        const StartPlan plan = planStart(skipFrames, inUnits, outUnits, rate,
                                         seeksExactly(demuxer, avcodec_get_name(input.codec->codec_id)));
        if (plan.seekSample < 0)
            return;
        const AVStream* st = input.stream();
        const std::int64_t target = av_rescale_q(plan.seekSample, AVRational{1, rate}, st->time_base) + startTime();
        if (avformat_seek_file(input.format.get(), input.streamIndex, INT64_MIN, target, target, 0) < 0)
            return;
        avcodec_flush_buffers(input.codec.get());
        feedFrom = plan.feedFrom;
        firstAfterSeek = true;
        dropOutput = plan.dropOutput;
    }

    std::int64_t startTime() const
    {
        const std::int64_t t = input.stream()->start_time;
        return t == AV_NOPTS_VALUE ? 0 : t;
    }

    // Drops what a seek decoded before its point. False when the frame is dropped whole.
    bool trimAfterSeek(AVFrame& f)
    {
        const std::int64_t ts = f.best_effort_timestamp;
        std::int64_t offset = 0;  // from the stream's start, in its time base
        const bool known = ts != AV_NOPTS_VALUE && f.sample_rate == input.codec->sample_rate &&
                           !__builtin_sub_overflow(ts, startTime(), &offset);
        const std::int64_t at = known ? av_rescale_q(offset, input.stream()->time_base, AVRational{1, f.sample_rate})
                                      : 0;
        // A seek lands before its target, and never a minute before: timestamps that say
        // otherwise cannot be trusted, and reading from the start is.
        const std::int64_t farBefore = feedFrom - 60 * static_cast<std::int64_t>(f.sample_rate);
        if (!known || (firstAfterSeek && (at > feedFrom || at < farBefore))) {
            seekMissed = true;
            return false;
        }
        firstAfterSeek = false;
        if (at + f.nb_samples <= feedFrom)
            return false;
        const std::int64_t early = feedFrom - at;
        feedFrom = 0;
        if (early > 0 && !dropLeadingSamples(f, static_cast<int>(early))) {
            seekMissed = true;  // out of memory here: the safe path reads from the start
            return false;
        }
        return true;
    }

    Status convert(AVFrame& f)
    {
        if (f.nb_samples <= 0 || f.sample_rate <= 0 || f.ch_layout.nb_channels <= 0)
            return kOk;
        if (feedFrom > 0 && !trimAfterSeek(f))
            return kOk;
        const std::int64_t cleared = silenceNonFinite(f);
        if (cleared < 0)
            return kErrOutOfMemory;
        nonFinite += cleared;
        AVChannelLayout layout{};
        if (f.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&layout, f.ch_layout.nb_channels);
        else
            av_channel_layout_copy(&layout, &f.ch_layout);
        Status status = kOk;
        if ((!swr && !byHand) || f.format != inFormat || f.sample_rate != inRate ||
            av_channel_layout_compare(&layout, &inLayout) != 0)
            status = setUpConversion(layout, f.format, f.sample_rate);
        av_channel_layout_uninit(&layout);
        if (failed(status))
            return status;
        const auto** src = const_cast<const std::uint8_t**>(f.extended_data);
        const std::uint8_t* averaged[1] = {};
        if (equalDownmix) {
            if (!meanOfChannels(f, outLayout.nb_channels, downmixed))
                return input.fail(AVERROR(EINVAL));
            averaged[0] = reinterpret_cast<const std::uint8_t*>(downmixed.data());
            src = averaged;
        }
        if (byHand) {
            const int format = equalDownmix ? AV_SAMPLE_FMT_FLT : f.format;
            convertToFloat(src, format, outLayout.nb_channels, f.nb_samples, reserve(f.nb_samples));
            return kOk;
        }
        const std::int64_t room = static_cast<std::int64_t>(swr_get_out_samples(swr.get(), f.nb_samples)) + 16;
        float* out = reserve(room);
        auto* dst = reinterpret_cast<std::uint8_t*>(out);
        const int n = swr_convert(swr.get(), &dst, static_cast<int>(room), src, f.nb_samples);
        commit(room, std::max(n, 0));
        return n < 0 ? corrupt(n) : kOk;
    }

    Status receiveFrames()
    {
        int errors = 0;
        for (;;) {
            const int r = avcodec_receive_frame(input.codec.get(), frame.get());
            if (r == AVERROR(EAGAIN) && !demuxEnded)
                return kOk;
            if (r == AVERROR_EOF || r == AVERROR(EAGAIN) || (r < 0 && ++errors > 64 && demuxEnded)) {
                if (const Status s = drainResampler(); failed(s))
                    return s;
                finished = true;
                return kOk;
            }
            if (r < 0) {
                if (r == AVERROR(ENOMEM))
                    return kErrOutOfMemory;
                if (errors > 64)
                    return kOk;
                continue;  // a damaged frame is skipped
            }
            errors = 0;
            const Status s = seekMissed ? kOk : convert(*frame);
            av_frame_unref(frame.get());
            if (failed(s))
                return s;
        }
    }

    Status step()
    {
        if (settings.stop && settings.stop->load(std::memory_order_relaxed))
            return kErrAbort;
        if (demuxEnded)
            return receiveFrames();
        if (settings.faults)
            if (const Status s = settings.faults->check(fault::kReadSource); failed(s))
                return s;
        const int r = av_read_frame(input.format.get(), packet.get());
        if (r < 0) {
            if (r == AVERROR_EXIT)
                return kErrAbort;
            if (r == AVERROR(ENOMEM))
                return kErrOutOfMemory;
            if (r != AVERROR_EOF && r != AVERROR_INVALIDDATA && input.file.lastErrno != 0)
                return statusFromErrno(input.file.lastErrno, false);
            demuxEnded = true;  // the end, or damaged data from here on: what was read is played
            avcodec_send_packet(input.codec.get(), nullptr);
            return receiveFrames();
        }
        Status status = kOk;
        if (packet->stream_index == input.streamIndex) {
            ++packets;
            const int sent = avcodec_send_packet(input.codec.get(), packet.get());
            if (sent == AVERROR(ENOMEM))
                status = kErrOutOfMemory;
            else
                status = receiveFrames();  // a packet the decoder refused is skipped
        }
        av_packet_unref(packet.get());
        return status;
    }
};

SourceStream::SourceStream() = default;
SourceStream::~SourceStream() = default;

Status SourceStream::open(const std::string& path, const StreamSettings& settings)
{
    path_ = path;
    return openImpl(path, settings, true);
}

Status SourceStream::openImpl(const std::string& path, const StreamSettings& settings, bool seek)
{
    const std::int64_t packetsBefore = impl_ ? impl_->packets : 0;
    impl_.reset();
    failure_ = {};
    if (settings.outputRate <= 0 || settings.speedNum <= 0 || settings.speedDen <= 0 || settings.skipFrames < 0)
        return kErrInvalidArg;
    auto impl = std::make_unique<Impl>();
    impl->settings = settings;
    if (const Status s = impl->input.open(path, settings.stop); failed(s)) {
        failure_ = impl->input.failure(s);
        return s;
    }
    impl->packet.reset(av_packet_alloc());
    impl->frame.reset(av_frame_alloc());
    if (!impl->packet || !impl->frame)
        return kErrOutOfMemory;
    channels_ = impl->input.codec->ch_layout.nb_channels == 1 ? 1 : 2;
    av_channel_layout_default(&impl->outLayout, channels_);
    impl->packets = packetsBefore;
    impl->startAt(settings.skipFrames, seek);
    impl_ = std::move(impl);
    return kOk;
}

// Leaves out the frames before the stream's start. A seek that landed after its point (a file
// whose timestamps lie) is undone by reading the file again from its start.
Status SourceStream::skipAhead()
{
    const auto ch = static_cast<std::size_t>(channels_);
    while (impl_->dropOutput > 0) {
        if (impl_->available() == 0) {
            if (impl_->finished)
                return kOk;
            if (const Status s = refill(std::min<std::int64_t>(impl_->dropOutput, 4096)); failed(s))
                return s;
            continue;
        }
        const std::int64_t n = std::min(impl_->dropOutput, impl_->available());
        impl_->fifoPos += static_cast<std::size_t>(n) * ch;
        impl_->dropOutput -= n;
    }
    return kOk;
}

Status SourceStream::refill(std::int64_t wanted)
{
    while (impl_->available() < wanted && !impl_->finished) {
        if (const Status s = impl_->step(); failed(s))
            return keep(s);
        if (impl_->seekMissed) {
            const StreamSettings settings = impl_->settings;
            if (const Status s = openImpl(path_, settings, false); failed(s))
                return s;
        }
    }
    return kOk;
}

Status SourceStream::keep(Status status)
{
    failure_ = impl_->input.failure(status);
    return status;
}

Status SourceStream::read(float* out, std::int64_t frames, std::int64_t& got)
{
    got = 0;
    if (!impl_)
        return kErrWrongState;
    if (impl_->dropOutput > 0)
        if (const Status s = skipAhead(); failed(s))
            return s;
    const auto ch = static_cast<std::size_t>(channels_);
    while (got < frames) {
        if (impl_->available() == 0) {
            if (impl_->finished)
                break;
            if (const Status s = refill(std::min<std::int64_t>(frames - got, 4096)); failed(s))
                return s;
            continue;
        }
        const std::int64_t n = std::min(frames - got, impl_->available());
        const std::size_t count = static_cast<std::size_t>(n) * ch;
        std::memcpy(out + static_cast<std::size_t>(got) * ch, impl_->fifo.data() + impl_->fifoPos,
                    count * sizeof(float));
        impl_->fifoPos += count;
        got += n;
    }
    return kOk;
}

std::int64_t SourceStream::silencedSamples() const
{
    return impl_ ? impl_->nonFinite : 0;
}

std::int64_t SourceStream::decodedPackets() const
{
    return impl_ ? impl_->packets : 0;
}

bool SourceStream::fileShrank() const
{
    return impl_ && impl_->input.file.shrank();
}

int SourceStream::sourceRate() const
{
    return impl_ ? impl_->input.codec->sample_rate : 0;
}

Failure checkConversion(const std::string& path, int outputRate, int& sourceRate)
{
    StreamSettings settings;
    settings.outputRate = outputRate;
    SourceStream stream;
    sourceRate = 0;
    if (const Status s = stream.open(path, settings); failed(s))
        return stream.lastFailure();
    sourceRate = stream.sourceRate();
    float first[2] = {};
    std::int64_t got = 0;
    if (const Status s = stream.read(first, 1, got); failed(s))
        return stream.lastFailure();
    return {};
}

}  // namespace sonarel::media::core
