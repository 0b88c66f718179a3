// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/MediaInput.h"

#include <sys/stat.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <string_view>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/media/core/DemuxerMemory.h"
#include "platform/media/core/Files.h"

namespace sonarel::media::core {

namespace {

std::atomic<std::uint64_t> openCount{0};

constexpr int kIoBufferSize = 16 * 1024;              // per open source: a thousand may sound at once
constexpr std::int64_t kProbeSize = 5'000'000;        // bytes read to identify the streams
constexpr std::int64_t kAnalyzeDuration = 5'000'000;  // microseconds of media analysed
constexpr std::int64_t kPcmProbeSize = 4096;          // bytes of PCM checked for disguised formats
// The seek index a demuxer without one of its own (WAV, MP3, FLAC, Ogg) builds as it reads, per
// stream. FFmpeg allows 1 MiB; a mix reads each source once from its start, and a thousand
// sources sounding at once would hold a thousand such indexes. Past this size FFmpeg drops every
// other entry, which makes a later seek land earlier, never wrong: the start plan decodes up to
// the exact frame anyway.
constexpr unsigned kSeekIndexBytes = 8192;
// The lowest sample rate taken as sound. Codecs with fixed rates go no lower than 7,350 Hz (AAC)
// or 8 kHz (MP3, Opus, AMR), and free-rate formats are rarely recorded below 4 kHz. A rate far
// below that is a damaged or forged header, and it stretches a file's few seconds over hours of
// output: 44,100 samples declared at 1 Hz would play for twelve hours. From 1 kHz up, the
// resampler reaches every output rate at normal speed.
constexpr int kLowestSampleRate = 1000;

// Demuxers that read other files or URLs named inside the file.
constexpr std::array<std::string_view, 12> kRefusedDemuxers = {
    "hls", "applehttp", "concat", "ffconcat",           "dash", "sdp", "rtsp",
    "rtp", "image2",    "tee",    "webm_dash_manifest", "mpd"};

// The engine's I/O answers as FFmpeg's own file protocol does, on the descriptor's own position:
// a read at or past the end is AVERROR_EOF, a seek goes wherever lseek() lets it (past the end
// too; a position the file system cannot hold, or a negative one, is an error), and AVSEEK_SIZE is
// the file's size now. Demuxers are written against that protocol: some skip a damaged chunk size
// by a seek that fails there and carry on from where they are, and a file the ffmpeg command
// plays must not be refused here because a seek answered differently.
int readFile(void* opaque, std::uint8_t* buffer, int size)
{
    auto* file = static_cast<FileSource*>(opaque);
    if (file->stop && file->stop->load(std::memory_order_relaxed))
        return AVERROR_EXIT;
    for (;;) {
        const ssize_t n = ::read(file->fd, buffer, static_cast<std::size_t>(size));
        if (n > 0)
            return static_cast<int>(n);
        if (n == 0)
            return AVERROR_EOF;
        if (errno != EINTR) {
            file->lastErrno = errno;
            return AVERROR(errno);
        }
    }
}

}  // namespace

bool FileSource::shrank() const
{
    struct stat info {};
    return fd >= 0 && ::fstat(fd, &info) == 0 && static_cast<std::int64_t>(info.st_size) < size;
}

namespace {

std::int64_t seekFile(void* opaque, std::int64_t offset, int whence)
{
    auto* file = static_cast<FileSource*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) {
        struct stat info {};
        return ::fstat(file->fd, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : file->size;
    }
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END)
        return AVERROR(EINVAL);
    const off_t position = ::lseek(file->fd, static_cast<off_t>(offset), whence);
    return position < 0 ? AVERROR(errno) : static_cast<std::int64_t>(position);
}

// Nested opens (playlists, references to other files) are never allowed.
int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

int interruptRequested(void* opaque)
{
    const auto* stop = static_cast<const std::atomic<bool>*>(opaque);
    return stop && stop->load(std::memory_order_relaxed) ? 1 : 0;
}

bool isRefusedDemuxer(std::string_view demuxer)
{
    for (std::string_view refused : kRefusedDemuxers)
        if (demuxer == refused || demuxer.starts_with(std::string(refused) + ","))
            return true;
    return false;
}

}  // namespace

void quietFfmpegLog()
{
    av_log_set_level(AV_LOG_QUIET);
}

FileSource::~FileSource()
{
    if (fd >= 0)
        ::close(fd);
}

namespace {
// Bytes that no demuxer makes sense of can come back as "invalid argument": the file is not media,
// and says so in the words every other such file gets, not as a wrong call to the engine.
Status notMedia(Status status)
{
    return status == kErrInvalidArg ? kErrUnsupportedFormat : status;
}
}  // namespace

std::uint64_t mediaInputsOpened()
{
    return openCount.load(std::memory_order_relaxed);
}

Status MediaInput::open(const std::string& path, const std::atomic<bool>* stop)
{
    openCount.fetch_add(1, std::memory_order_relaxed);
    if (const Status s = openDemuxer(path, stop); failed(s))
        return s;
    return openDecoder();
}

Status MediaInput::openDemuxer(const std::string& path, const std::atomic<bool>* stop)
{
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
    const int opened = avformat_open_input(&ctx, url.c_str(), rememberedDemuxer(file.fd), &options);
    av_dict_free(&options);
    // A demuxer may take the read that a stop refused for the file's end or damage.
    if (opened < 0 && stop && stop->load(std::memory_order_relaxed))
        return kErrAbort;
    if (opened < 0)  // avformat_open_input frees the context on failure
        return notMedia(fail(opened));
    format.reset(ctx);
    rememberDemuxer(file.fd, format->iformat);
    if (isRefusedDemuxer(format->iformat && format->iformat->name ? format->iformat->name : ""))
        return kErrUnsupportedFormat;
    // For PCM the demuxer looks through the samples for compressed audio in disguise, over the
    // whole probe size at every open; a few kilobytes settle that question, which is most of the
    // cost of opening a short WAV file.
    if (const int best = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0); best >= 0) {
        const AVCodecID id = format->streams[best]->codecpar->codec_id;
        if (id >= AV_CODEC_ID_FIRST_AUDIO && id < AV_CODEC_ID_ADPCM_IMA_QT)
            format->probesize = kPcmProbeSize;
    }
    if (const int found = avformat_find_stream_info(format.get(), nullptr); found < 0)
        return stop && stop->load(std::memory_order_relaxed) ? kErrAbort : notMedia(fail(found));
    format->max_index_size = kSeekIndexBytes;
    return kOk;
}

Status MediaInput::openDecoder()
{
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
    if (const int r = avcodec_parameters_to_context(codec.get(), stream()->codecpar); r < 0) {
        lastAvError = r;
        return kErrUnsupportedFormat;
    }
    codec->pkt_timebase = stream()->time_base;
    codec->thread_count = 1;
    if (const int r = avcodec_open2(codec.get(), decoder, nullptr); r < 0) {
        lastAvError = r;
        return r == AVERROR(ENOMEM) ? kErrOutOfMemory : kErrUnsupportedFormat;
    }
    const int rate = codec->sample_rate > 0 ? codec->sample_rate : stream()->codecpar->sample_rate;
    if (rate < kLowestSampleRate)
        return kErrUnsupportedFormat;
    return kOk;
}

}  // namespace sonarel::media::core
