#include "platform/media/internal/SourceReader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string_view>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "platform/media/FaultInjector.h"
#include "platform/media/FaultPoints.h"
#include "platform/media/internal/Files.h"

namespace sonarel::media::internal {

namespace {

constexpr int kIoBufferSize = 64 * 1024;
constexpr std::int64_t kProbeSize = 5'000'000;        // bytes read to identify the streams
constexpr std::int64_t kAnalyzeDuration = 5'000'000;  // microseconds of media analysed
constexpr std::int64_t kPcmProbeSize = 8192;          // bytes of PCM checked for disguised formats
constexpr double kMaxRateRatio = 256.0;               // beyond this, varispeed is clamped

// Demuxers that read other files or URLs named inside the file.
constexpr std::array<std::string_view, 12> kRefusedDemuxers = {
    "hls", "applehttp", "concat", "ffconcat", "dash", "sdp", "rtsp", "rtp", "image2", "tee",
    "webm_dash_manifest", "mpd"};

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct IoFreer {
    void operator()(AVIOContext* c) const {
        if (c)
            av_freep(&c->buffer);
        avio_context_free(&c);
    }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct SwrFreer {
    void operator()(SwrContext* s) const { swr_free(&s); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using IoPtr = std::unique_ptr<AVIOContext, IoFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFreer>;

// The file behind the engine's own I/O context.
struct FileSource {
    int fd = -1;
    std::int64_t size = 0;
    std::int64_t pos = 0;
    const std::atomic<bool>* stop = nullptr;
    int lastErrno = 0;

    ~FileSource() {
        if (fd >= 0)
            ::close(fd);
    }
};

int readFile(void* opaque, std::uint8_t* buffer, int size) {
    auto* file = static_cast<FileSource*>(opaque);
    if (file->stop && file->stop->load(std::memory_order_relaxed))
        return AVERROR_EXIT;
    for (;;) {
        const ssize_t n = ::pread(file->fd, buffer, static_cast<std::size_t>(size), file->pos);
        if (n > 0) {
            file->pos += n;
            return static_cast<int>(n);
        }
        if (n == 0)
            return AVERROR_EOF;
        if (errno != EINTR) {
            file->lastErrno = errno;
            return AVERROR(errno);
        }
    }
}

std::int64_t seekFile(void* opaque, std::int64_t offset, int whence) {
    auto* file = static_cast<FileSource*>(opaque);
    std::int64_t target = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE: return file->size;
    case SEEK_SET: target = offset; break;
    case SEEK_CUR: target = file->pos + offset; break;
    case SEEK_END: target = file->size + offset; break;
    default: return AVERROR(EINVAL);
    }
    if (target < 0)
        return AVERROR(EINVAL);
    file->pos = target;
    return target;
}

// Nested opens (playlists, references to other files) are never allowed.
int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

int interruptRequested(void* opaque) {
    const auto* stop = static_cast<const std::atomic<bool>*>(opaque);
    return stop && stop->load(std::memory_order_relaxed) ? 1 : 0;
}

Status statusFromAv(int error) {
    if (error == AVERROR_EXIT)
        return kErrAbort;
    if (error == AVERROR(ENOMEM))
        return kErrOutOfMemory;
    if (error == AVERROR_DECODER_NOT_FOUND || error == AVERROR_DEMUXER_NOT_FOUND || error == AVERROR_PATCHWELCOME)
        return kErrUnsupportedFormat;
    if (error == AVERROR_STREAM_NOT_FOUND)
        return kErrNoAudioStream;
    if (error == AVERROR_INVALIDDATA || error == AVERROR_EOF)
        return kErrUnsupportedFormat;
    if (error < 0 && error > -4096)
        return statusFromErrno(-error, false);
    return kErrCorruptData;
}

// An open file with its best audio stream and a ready decoder. Members are destroyed in reverse
// order: decoder, demuxer, I/O context, descriptor.
struct Input {
    FileSource file;
    IoPtr io;
    FormatPtr format;
    CodecPtr codec;
    int streamIndex = -1;

    AVStream* stream() const { return format->streams[streamIndex]; }

    Status open(const std::string& path, const std::atomic<bool>* stop) {
        long long size = 0;
        if (const Status s = openRegularFile(path, file.fd, size); failed(s))
            return s;
        file.size = size;
        file.stop = stop;
        if (size == 0)
            return kErrUnsupportedFormat;

        auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
        if (!buffer)
            return kErrOutOfMemory;
        io.reset(avio_alloc_context(buffer, kIoBufferSize, 0, &file, &readFile, nullptr, &seekFile));
        if (!io) {
            av_free(buffer);
            return kErrOutOfMemory;
        }
        AVFormatContext* ctx = avformat_alloc_context();
        if (!ctx)
            return kErrOutOfMemory;
        ctx->pb = io.get();
        ctx->flags |= AVFMT_FLAG_CUSTOM_IO;
        ctx->io_open = &refuseNestedOpen;
        ctx->interrupt_callback.callback = &interruptRequested;
        ctx->interrupt_callback.opaque = const_cast<std::atomic<bool>*>(stop);
        AVDictionary* options = nullptr;
        av_dict_set(&options, "protocol_whitelist", "file", 0);
        av_dict_set_int(&options, "probesize", kProbeSize, 0);
        av_dict_set_int(&options, "analyzeduration", kAnalyzeDuration, 0);
        const std::string url = "file:" + path;  // shown in FFmpeg's own messages only
        const int opened = avformat_open_input(&ctx, url.c_str(), nullptr, &options);
        av_dict_free(&options);
        if (opened < 0)  // avformat_open_input frees the context on failure
            return statusFromAv(opened);
        format.reset(ctx);
        const std::string_view demuxer = format->iformat && format->iformat->name ? format->iformat->name : "";
        for (std::string_view refused : kRefusedDemuxers)
            if (demuxer == refused || demuxer.starts_with(std::string(refused) + ","))
                return kErrUnsupportedFormat;
        // For PCM the demuxer looks through the samples for compressed audio in disguise, over the
        // whole probe size at every open; a few kilobytes settle that question, and a list of many
        // short WAV files then opens about twenty times faster.
        if (const int best = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0); best >= 0) {
            const AVCodecID id = format->streams[best]->codecpar->codec_id;
            if (id >= AV_CODEC_ID_FIRST_AUDIO && id < AV_CODEC_ID_ADPCM_IMA_QT)
                format->probesize = kPcmProbeSize;
        }
        if (const int found = avformat_find_stream_info(format.get(), nullptr); found < 0)
            return statusFromAv(found);

        const AVCodec* decoder = nullptr;
        streamIndex = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
        if (streamIndex == AVERROR_STREAM_NOT_FOUND)
            return kErrNoAudioStream;
        if (streamIndex < 0 || !decoder)
            return kErrUnsupportedFormat;
        for (unsigned i = 0; i < format->nb_streams; ++i)
            if (static_cast<int>(i) != streamIndex)
                format->streams[i]->discard = AVDISCARD_ALL;

        codec.reset(avcodec_alloc_context3(decoder));
        if (!codec)
            return kErrOutOfMemory;
        if (avcodec_parameters_to_context(codec.get(), stream()->codecpar) < 0)
            return kErrUnsupportedFormat;
        codec->pkt_timebase = stream()->time_base;
        codec->thread_count = 1;
        if (const int r = avcodec_open2(codec.get(), decoder, nullptr); r < 0)
            return r == AVERROR(ENOMEM) ? kErrOutOfMemory : kErrUnsupportedFormat;
        if (codec->sample_rate <= 0 && stream()->codecpar->sample_rate <= 0)
            return kErrUnsupportedFormat;
        return kOk;
    }
};

// Length of the stream in its time base, from its packets (a scan of the file, no decoding).
std::int64_t scanPacketLength(Input& input) {
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        return -1;
    std::int64_t first = AV_NOPTS_VALUE;
    std::int64_t end = AV_NOPTS_VALUE;
    std::int64_t sum = 0;
    bool timestampsUsable = true;
    while (av_read_frame(input.format.get(), packet.get()) >= 0) {
        if (packet->stream_index == input.streamIndex) {
            sum += packet->duration;
            if (packet->pts == AV_NOPTS_VALUE) {
                timestampsUsable = false;
            } else {
                if (first == AV_NOPTS_VALUE || packet->pts < first)
                    first = packet->pts;
                if (end == AV_NOPTS_VALUE || packet->pts + packet->duration > end)
                    end = packet->pts + packet->duration;
            }
        }
        av_packet_unref(packet.get());
    }
    if (timestampsUsable && first != AV_NOPTS_VALUE)
        return end - first;
    return sum;
}

}  // namespace

void quietFfmpegLog() { av_log_set_level(AV_LOG_QUIET); }

Status probeDuration(const std::string& path, ReferenceTime& duration) {
    duration = 0;
    Input input;
    if (const Status s = input.open(path, nullptr); failed(s))
        return s;
    AVStream* st = input.stream();
    const AVRational units{1, static_cast<int>(kUnitsPerSecond)};
    std::int64_t length = AV_NOPTS_VALUE;
    if (input.format->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE && st->duration != AV_NOPTS_VALUE &&
        st->duration > 0) {
        length = st->duration;
        // A declared start (the encoder delay of a gapless file) is not part of the sound.
        if (st->start_time != AV_NOPTS_VALUE && st->start_time > 0 &&
            input.format->duration_estimation_method == AVFMT_DURATION_FROM_STREAM &&
            input.codec->codec_id == AV_CODEC_ID_MP3)
            length -= st->start_time;
    }
    if (length == AV_NOPTS_VALUE || length <= 0) {
        length = scanPacketLength(input);
        if (length <= 0)
            return kErrCorruptData;
    }
    duration = av_rescale_q(length, st->time_base, units);
    return duration > 0 ? kOk : kErrCorruptData;
}

struct SourceStream::Impl {
    Input input;
    StreamSettings settings;
    PacketPtr packet;
    FramePtr frame;
    SwrPtr swr;
    AVChannelLayout inLayout{};
    int inFormat = -1;
    int inRate = 0;
    AVChannelLayout outLayout{};
    std::vector<float> fifo;
    std::size_t fifoPos = 0;  // in floats
    bool demuxEnded = false;
    bool finished = false;

    ~Impl() {
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_uninit(&outLayout);
    }

    std::size_t channels() const { return static_cast<std::size_t>(outLayout.nb_channels); }
    std::int64_t available() const { return static_cast<std::int64_t>((fifo.size() - fifoPos) / channels()); }

    float* reserve(std::int64_t frames) {
        if (fifoPos > 0 && fifoPos * 2 >= fifo.size()) {
            fifo.erase(fifo.begin(), fifo.begin() + static_cast<std::ptrdiff_t>(fifoPos));
            fifoPos = 0;
        }
        const std::size_t old = fifo.size();
        fifo.resize(old + static_cast<std::size_t>(frames) * channels());
        return fifo.data() + old;
    }
    void commit(std::int64_t reserved, std::int64_t used) {
        fifo.resize(fifo.size() - static_cast<std::size_t>(reserved - used) * channels());
    }

    // Converts what the resampler still holds.
    Status drainResampler() {
        if (!swr)
            return kOk;
        for (;;) {
            const std::int64_t room = std::max<std::int64_t>(swr_get_out_samples(swr.get(), 0), 0) + 256;
            float* out = reserve(room);
            auto* dst = reinterpret_cast<std::uint8_t*>(out);
            const int n = swr_convert(swr.get(), &dst, static_cast<int>(room), nullptr, 0);
            commit(room, std::max(n, 0));
            if (n < 0)
                return kErrCorruptData;
            if (n == 0)
                return kOk;
        }
    }

    Status setUpResampler(AVChannelLayout& layout, int format, int rate) {
        if (const Status s = drainResampler(); failed(s))
            return s;
        swr.reset();
        // Rates as the exact ratio input : output, speed included.
        std::int64_t speedNum = settings.speedNum;
        std::int64_t speedDen = settings.speedDen;
        {
            int n = 0;
            int d = 0;
            av_reduce(&n, &d, speedNum, speedDen, 1 << 30);
            speedNum = n;
            speedDen = d;
        }
        int inRateEff = 0;
        int outRateEff = 0;
        // The resampler multiplies its input rate by its phase count (up to 1024) in an int.
        constexpr int kMaxResamplerRate = 1 << 19;
        av_reduce(&inRateEff, &outRateEff, static_cast<std::int64_t>(rate) * speedNum,
                  static_cast<std::int64_t>(settings.outputRate) * speedDen, kMaxResamplerRate);
        if (inRateEff <= 0 || outRateEff <= 0)
            return kErrInvalidArg;
        const double ratio = static_cast<double>(inRateEff) / outRateEff;
        if (ratio > kMaxRateRatio || ratio < 1.0 / kMaxRateRatio) {
            const double clamp = ratio > 1.0 ? kMaxRateRatio : 1.0 / kMaxRateRatio;
            av_reduce(&inRateEff, &outRateEff, static_cast<std::int64_t>(clamp * 1024.0), 1024, kMaxResamplerRate);
        }
        SwrContext* raw = nullptr;
        if (swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_FLT, outRateEff, &layout,
                                static_cast<AVSampleFormat>(format), inRateEff, 0, nullptr) < 0 ||
            !raw)
            return kErrOutOfMemory;
        swr.reset(raw);
        av_opt_set_double(raw, "rematrix_maxval", 1.0, 0);  // a downmix is scaled so it cannot clip
        if (inRateEff > 16 * outRateEff)
            av_opt_set_int(raw, "phase_shift", 6, 0);  // keeps the filter bank small at high speeds
        if (swr_init(raw) < 0) {
            swr.reset();
            return kErrUnsupportedFormat;
        }
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_copy(&inLayout, &layout);
        inFormat = format;
        inRate = rate;
        return kOk;
    }

    Status convert(const AVFrame& f) {
        if (f.nb_samples <= 0 || f.sample_rate <= 0 || f.ch_layout.nb_channels <= 0)
            return kOk;
        AVChannelLayout layout{};
        if (f.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&layout, f.ch_layout.nb_channels);
        else
            av_channel_layout_copy(&layout, &f.ch_layout);
        Status status = kOk;
        if (!swr || f.format != inFormat || f.sample_rate != inRate || av_channel_layout_compare(&layout, &inLayout) != 0)
            status = setUpResampler(layout, f.format, f.sample_rate);
        av_channel_layout_uninit(&layout);
        if (failed(status))
            return status;
        const std::int64_t room = static_cast<std::int64_t>(swr_get_out_samples(swr.get(), f.nb_samples)) + 16;
        float* out = reserve(room);
        auto* dst = reinterpret_cast<std::uint8_t*>(out);
        const int n = swr_convert(swr.get(), &dst, static_cast<int>(room),
                                  const_cast<const std::uint8_t**>(f.extended_data), f.nb_samples);
        commit(room, std::max(n, 0));
        return n < 0 ? kErrCorruptData : kOk;
    }

    Status receiveFrames() {
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
            const Status s = convert(*frame);
            av_frame_unref(frame.get());
            if (failed(s))
                return s;
        }
    }

    Status step() {
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

Status SourceStream::open(const std::string& path, const StreamSettings& settings) {
    impl_.reset();
    if (settings.outputRate <= 0 || settings.speedNum <= 0 || settings.speedDen <= 0)
        return kErrInvalidArg;
    auto impl = std::make_unique<Impl>();
    impl->settings = settings;
    if (const Status s = impl->input.open(path, settings.stop); failed(s))
        return s;
    impl->packet.reset(av_packet_alloc());
    impl->frame.reset(av_frame_alloc());
    if (!impl->packet || !impl->frame)
        return kErrOutOfMemory;
    channels_ = impl->input.codec->ch_layout.nb_channels == 1 ? 1 : 2;
    av_channel_layout_default(&impl->outLayout, channels_);
    impl_ = std::move(impl);
    return kOk;
}

Status SourceStream::refill(std::int64_t wanted) {
    while (impl_->available() < wanted && !impl_->finished)
        if (const Status s = impl_->step(); failed(s))
            return s;
    return kOk;
}

Status SourceStream::read(float* out, std::int64_t frames, std::int64_t& got) {
    got = 0;
    if (!impl_)
        return kErrWrongState;
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
        std::memcpy(out + static_cast<std::size_t>(got) * ch, impl_->fifo.data() + impl_->fifoPos, count * sizeof(float));
        impl_->fifoPos += count;
        got += n;
    }
    return kOk;
}

}  // namespace sonarel::media::internal
