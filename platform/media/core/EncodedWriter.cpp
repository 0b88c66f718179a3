// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/EncodedWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <random>

#include "platform/media/FaultInjector.h"
#include "platform/media/FaultPoints.h"
#include "platform/media/core/ContainerChapters.h"
#include "platform/media/core/ContainerTags.h"
#include "platform/media/core/FfmpegHandles.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace sonarel::media::core {

namespace {

constexpr int kVariableFrameSize = 4096;  // for encoders that take frames of any size

struct OutputCloser {
    void operator()(AVFormatContext* c) const
    {
        if (!c)
            return;
        avio_closep(&c->pb);
        avformat_free_context(c);
    }
};

bool offers(const AVCodec* codec, AVSampleFormat format)
{
    if (!codec->sample_fmts)
        return false;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == format)
            return true;
    return false;
}

// The encoder's sample format: float for the lossy ones (their own input), integers for FLAC.
AVSampleFormat chooseFormat(const AVCodec* codec, int flacBits)
{
    if (codec->id == AV_CODEC_ID_FLAC)
        return flacBits == 24 ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16;
    for (AVSampleFormat f : {AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_S16P, AV_SAMPLE_FMT_S16})
        if (offers(codec, f))
            return f;
    return AV_SAMPLE_FMT_NONE;
}

// A pipe, a device, or a name in the system's folders of devices and descriptors (/dev/stdout
// redirected to a file): written where it is, as nothing can be made beside it.
bool writtenInPlace(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return true;
    return path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0;
}

// Makes "NAME.unfinished-XXXXXX" beside `path`, with the permissions a new output gets, or those
// of the output it replaces.
Status makeTemporaryBeside(const std::string& path, std::string& temporary)
{
    constexpr std::size_t kLongestName = 255;
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const std::string suffix = ".unfinished-";
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() + suffix.size() + 6 > kLongestName)
        name.resize(kLongestName - suffix.size() - 6);
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder;
        temporary += name;
        temporary += suffix;
        for (int i = 0; i < 6; ++i)
            temporary += kLetters[letter(random)];
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            const int error = errno;
            temporary.clear();
            return statusFromErrno(error, true);
        }
        struct stat previous {};
        if (::stat(path.c_str(), &previous) == 0 && S_ISREG(previous.st_mode))
            static_cast<void>(::fchmod(fd, previous.st_mode & 07777));
        ::close(fd);
        return kOk;
    }
    temporary.clear();
    return kErrWriteFault;
}

}  // namespace

// The MP3 muxer writes the LAME header's end padding from the last packet's skip-samples data
// alone, and a decoder keeps everything up to the packet before it. When the mix ends more than a
// packet before the encoder's last, that loses the difference (with 576-sample frames it happens
// for endings 1 to 46 samples into a frame), so the last packet is held back and given the whole
// padding: every encoded sample past the delay and the mix.
struct Mp3Ending {
    PacketPtr held;
    std::int64_t packets = 0;
};

struct EncodedWriter::Codec {
    std::unique_ptr<AVFormatContext, OutputCloser> format;
    CodecPtr context;
    AVStream* stream = nullptr;
    PacketPtr packet{av_packet_alloc()};
    FramePtr frame{av_frame_alloc()};
    AVSampleFormat packed = AV_SAMPLE_FMT_NONE;  // how pending samples are kept
    int frameSize = 0;
    bool headerWritten = false;
    std::unique_ptr<Mp3Ending> mp3;  // for MP3 only
};

EncodedWriter::EncodedWriter() : codec_(std::make_unique<Codec>()) {}

EncodedWriter::~EncodedWriter()
{
    static_cast<void>(finish());
}

Status EncodedWriter::fail(int avError)
{
    if (succeeded(error_)) {
        avError_ = avError;
        error_ = statusFromAv(avError, true);
    }
    return error_;
}

std::string EncodedWriter::failureDetail() const
{
    return avError_ != 0 ? ffmpegErrorText(avError_) : std::string();
}

Status EncodedWriter::open(const std::string& path, const WaveFormat& format, const OutputEncoding& encoding,
                           FaultInjector* faults)
{
    faults_ = faults;
    channels_ = format.channels;
    bits_ = format.bitsPerSample;
    const ContainerInfo& info = containerInfo(encoding.container);
    const AVCodec* encoder = info.encoder ? avcodec_find_encoder_by_name(info.encoder) : nullptr;
    if (!encoder || !codec_->packet || !codec_->frame)
        return error_ = kErrInvalidMediaType;
    Codec& c = *codec_;
    AVFormatContext* out = nullptr;
    if (const int e = avformat_alloc_output_context2(&out, nullptr, info.muxer, nullptr); e < 0)
        return fail(e);
    c.format.reset(out);
    c.context.reset(avcodec_alloc_context3(encoder));
    c.stream = avformat_new_stream(out, nullptr);
    if (!c.context || !c.stream)
        return error_ = kErrOutOfMemory;
    AVCodecContext& ctx = *c.context;
    ctx.sample_rate = static_cast<int>(format.samplesPerSec);
    av_channel_layout_default(&ctx.ch_layout, channels_);
    ctx.sample_fmt = chooseFormat(encoder, bits_);
    if (ctx.sample_fmt == AV_SAMPLE_FMT_NONE)
        return error_ = kErrInvalidMediaType;
    if (encoder->id == AV_CODEC_ID_FLAC)
        ctx.bits_per_raw_sample = bits_;
    if (info.defaultKbps > 0)
        ctx.bit_rate = 1000LL * (encoding.bitrateKbps > 0 ? encoding.bitrateKbps : info.defaultKbps);
    ctx.time_base = AVRational{1, ctx.sample_rate};
    if (out->oformat->flags & AVFMT_GLOBALHEADER)
        ctx.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int e = avcodec_open2(&ctx, encoder, nullptr); e < 0)
        return fail(e);
    if (const int e = avcodec_parameters_from_context(c.stream->codecpar, &ctx); e < 0)
        return fail(e);
    c.stream->time_base = ctx.time_base;
    if (const int e = addContainerChapters(*out, encoding.chapters, ctx.sample_rate); e < 0)
        return fail(e);
    if (encoder->id == AV_CODEC_ID_MP3) {
        c.mp3 = std::make_unique<Mp3Ending>();
        c.mp3->held.reset(av_packet_alloc());
        if (!c.mp3->held)
            return error_ = kErrOutOfMemory;
    }
    c.packed = av_get_packed_sample_fmt(ctx.sample_fmt);
    c.frameSize = (encoder->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || ctx.frame_size <= 0 ? kVariableFrameSize
                                                                                                    : ctx.frame_size;
    if (const Status s = refuseReaderlessPipe(path); failed(s))
        return error_ = s;
    path_ = path;
    std::string writing = path;
    if (!writtenInPlace(path)) {
        struct stat existing {};
        if (::lstat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
            if (const Status s = previous_.claim(path); failed(s))
                return error_ = s;
        if (const Status s = makeTemporaryBeside(path, temporary_); failed(s))
            return error_ = s;
        writing = temporary_;
    }
    // "file:" keeps a colon in the name from being read as a protocol.
    if (const int e = avio_open(&out->pb, ("file:" + writing).c_str(), AVIO_FLAG_WRITE); e < 0)
        return fail(e);
    open_ = true;
    if (const Status s = claim_.claim(writing); failed(s))
        return error_ = s;
    ContainerTags tags(encoding.container, encoding.tags, encoding.chapters, ctx.sample_rate);
    AVDictionary* options = nullptr;
    const int tagged = tags.beforeHeader(*out, &options);
    const int header = tagged < 0 ? tagged : avformat_write_header(out, &options);
    av_dict_free(&options);
    if (header < 0)
        return fail(header);
    c.headerWritten = true;
    if (const int e = tags.afterHeader(*out); e < 0)
        return fail(e);
    return kOk;
}

Status EncodedWriter::write(const float* samples, std::size_t frames, Clipping& clipping)
{
    if (!open_)
        return failed(error_) ? error_ : kErrWrongState;
    if (failed(error_))
        return error_;
    if (faults_)
        if (const Status s = faults_->check(fault::kWriteOutput); failed(s))
            return error_ = s;
    const std::size_t count = frames * static_cast<std::size_t>(channels_);
    const std::size_t bytes = static_cast<std::size_t>(av_get_bytes_per_sample(codec_->packed));
    const std::size_t at = pcm_.size();
    pcm_.resize(at + count * bytes);
    std::uint8_t* to = pcm_.data() + at;
    switch (codec_->packed) {
    case AV_SAMPLE_FMT_S16: convertToPcm(samples, count, 16, to, clipping); break;
    case AV_SAMPLE_FMT_S32: {
        // FLAC's 24 bits ride in the top of 32-bit samples.
        std::vector<std::uint8_t> packed(count * 3);
        convertToPcm(samples, count, 24, packed.data(), clipping);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t v = (static_cast<std::uint32_t>(packed[3 * i]) << 8) |
                                    (static_cast<std::uint32_t>(packed[3 * i + 1]) << 16) |
                                    (static_cast<std::uint32_t>(packed[3 * i + 2]) << 24);
            std::memcpy(to + 4 * i, &v, 4);
        }
        break;
    }
    default: {
        // The lossy encoders take floats; beyond full scale is cut as a PCM file would be.
        std::vector<std::uint8_t> unused(count * 2);
        Clipping measured;
        convertToPcm(samples, count, 16, unused.data(), measured);  // counts as the 16-bit file would
        clipping.samples += measured.samples;
        clipping.peak = std::max(clipping.peak, measured.peak);
        for (std::size_t i = 0; i < count; ++i) {
            float x = samples[i];
            x = x == x ? std::clamp(x, -1.0f, 1.0f) : 0.0f;
            std::memcpy(to + 4 * i, &x, 4);
        }
        break;
    }
    }
    return encodePending(false);
}

Status EncodedWriter::encodePending(bool flush)
{
    const std::size_t frameBytes = static_cast<std::size_t>(av_get_bytes_per_sample(codec_->packed)) *
                                   static_cast<std::size_t>(channels_);
    std::size_t whole = pcm_.size() / frameBytes;
    std::size_t done = 0;
    while (whole - done >= static_cast<std::size_t>(codec_->frameSize) || (flush && done < whole)) {
        const std::size_t n = std::min(whole - done, static_cast<std::size_t>(codec_->frameSize));
        if (const Status s = sendFrame(done * frameBytes, n); failed(s))
            return s;
        done += n;
    }
    pcm_.erase(pcm_.begin(), pcm_.begin() + static_cast<std::ptrdiff_t>(done * frameBytes));
    return kOk;
}

Status EncodedWriter::sendFrame(std::size_t offset, std::size_t frames)
{
    Codec& c = *codec_;
    AVFrame& frame = *c.frame;
    av_frame_unref(&frame);
    frame.nb_samples = static_cast<int>(frames);
    frame.format = c.context->sample_fmt;
    frame.sample_rate = c.context->sample_rate;
    if (const int e = av_channel_layout_copy(&frame.ch_layout, &c.context->ch_layout); e < 0)
        return fail(e);
    if (const int e = av_frame_get_buffer(&frame, 0); e < 0)
        return fail(e);
    const std::uint8_t* from = pcm_.data() + offset;
    const auto bytes = static_cast<std::size_t>(av_get_bytes_per_sample(c.packed));
    if (av_sample_fmt_is_planar(c.context->sample_fmt)) {
        for (int ch = 0; ch < channels_; ++ch) {
            std::uint8_t* to = frame.extended_data[ch];
            for (std::size_t i = 0; i < frames; ++i)
                std::memcpy(to + i * bytes,
                            from + (i * static_cast<std::size_t>(channels_) + static_cast<std::size_t>(ch)) * bytes,
                            bytes);
        }
    } else {
        std::memcpy(frame.extended_data[0], from, frames * bytes * static_cast<std::size_t>(channels_));
    }
    frame.pts = nextPts_;
    nextPts_ += static_cast<std::int64_t>(frames);
    if (const int e = avcodec_send_frame(c.context.get(), &frame); e < 0)
        return fail(e);
    return drainPackets();
}

Status EncodedWriter::drainPackets()
{
    Codec& c = *codec_;
    for (;;) {
        const int e = avcodec_receive_packet(c.context.get(), c.packet.get());
        if (e == AVERROR(EAGAIN) || e == AVERROR_EOF)
            return kOk;
        if (e < 0)
            return fail(e);
        av_packet_rescale_ts(c.packet.get(), c.context->time_base, c.stream->time_base);
        c.packet->stream_index = c.stream->index;
        if (c.mp3) {
            ++c.mp3->packets;
            if (c.mp3->held->data)
                if (const int w = av_interleaved_write_frame(c.format.get(), c.mp3->held.get()); w < 0)
                    return fail(w);
            av_packet_move_ref(c.mp3->held.get(), c.packet.get());
            continue;
        }
        if (const int w = av_interleaved_write_frame(c.format.get(), c.packet.get()); w < 0)
            return fail(w);
    }
}

Status EncodedWriter::writeLastMp3Packet()
{
    Codec& c = *codec_;
    AVPacket* last = c.mp3->held.get();
    if (!last->data)
        return kOk;
    const std::int64_t padding = c.mp3->packets * c.context->frame_size - c.context->initial_padding - nextPts_;
    if (padding >= 0 && padding <= 0xFFFFFF) {
        std::size_t size = 0;
        std::uint8_t* skip = av_packet_get_side_data(last, AV_PKT_DATA_SKIP_SAMPLES, &size);
        if (!skip || size < 10)
            skip = av_packet_new_side_data(last, AV_PKT_DATA_SKIP_SAMPLES, 10);
        if (!skip)
            return fail(AVERROR(ENOMEM));
        const auto put32 = [](std::uint8_t* to, std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                to[i] = static_cast<std::uint8_t>(v >> (8 * i));
        };
        put32(skip, static_cast<std::uint32_t>(c.context->initial_padding));
        put32(skip + 4, static_cast<std::uint32_t>(padding));
    }
    if (const int w = av_interleaved_write_frame(c.format.get(), last); w < 0)
        return fail(w);
    return kOk;
}

// Whatever happened, the encoder is drained and the trailer written, so that what reached the
// file is a valid file of that length.
Status EncodedWriter::finish()
{
    if (!open_) {
        settleTemporary();
        return error_;
    }
    open_ = false;
    Codec& c = *codec_;
    // Every failure below is kept in error_ by fail(); the first one is what finish() returns.
    if (c.headerWritten) {
        static_cast<void>(encodePending(true));
        if (const int e = avcodec_send_frame(c.context.get(), nullptr); e < 0)
            static_cast<void>(fail(e));
        static_cast<void>(drainPackets());
        if (c.mp3)
            static_cast<void>(writeLastMp3Packet());
        if (const int e = av_write_trailer(c.format.get()); e < 0)
            static_cast<void>(fail(e));
    }
    if (c.format && c.format->pb && c.format->pb->error < 0)
        static_cast<void>(fail(c.format->pb->error));
    if (c.format)
        if (const int e = avio_closep(&c.format->pb); e < 0)
            static_cast<void>(fail(e));
    c.format.reset();
    c.context.reset();
    pcm_.clear();
    if (const Status s = claim_.stillAtName(); failed(s) && succeeded(error_))
        error_ = s;
    settleTemporary();
    claim_.release();
    return error_;
}

void EncodedWriter::settleTemporary()
{
    if (temporary_.empty())
        return;
    const bool ours = succeeded(claim_.stillAtName());
    if (succeeded(error_) && ::rename(temporary_.c_str(), path_.c_str()) != 0)
        error_ = statusFromErrno(errno, true);
    if (failed(error_)) {
        if (ours)
            ::unlink(temporary_.c_str());
        kept_ = false;
    }
    temporary_.clear();
    previous_.release();
}

}  // namespace sonarel::media::core
