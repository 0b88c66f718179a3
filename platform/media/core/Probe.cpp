// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/Probe.h"

#include <cstdint>
#include <cstring>
#include <string_view>

extern "C" {
#include <libavutil/intreadwrite.h>
#include <libavutil/mathematics.h>
}

#include "platform/media/core/FirstSoundCheck.h"
#include "platform/media/core/MediaInput.h"

namespace sonarel::media::core {

namespace {

constexpr std::int64_t kUnknown = -1;

// a + b, held at the int64 limits: forged packet durations and timestamps must not overflow.
std::int64_t saturatedSum(std::int64_t a, std::int64_t b)
{
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? INT64_MAX : INT64_MIN;
    return sum;
}

// Length of the stream in its time base, from its packets (a scan of the file, no decoding).
std::int64_t scanPacketLength(MediaInput& input, FirstSoundReader& firstSound)
{
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        return kUnknown;
    std::int64_t first = AV_NOPTS_VALUE;
    std::int64_t end = AV_NOPTS_VALUE;
    std::int64_t sum = 0;
    bool timestampsUsable = true;
    int read = 0;
    while ((read = av_read_frame(input.format.get(), packet.get())) >= 0) {
        firstSound.packet(*packet);
        if (packet->stream_index == input.streamIndex) {
            sum = saturatedSum(sum, packet->duration);
            if (packet->pts == AV_NOPTS_VALUE) {
                timestampsUsable = false;
            } else {
                if (first == AV_NOPTS_VALUE || packet->pts < first)
                    first = packet->pts;
                if (const std::int64_t last = saturatedSum(packet->pts, packet->duration);
                    end == AV_NOPTS_VALUE || last > end)
                    end = last;
            }
        }
        av_packet_unref(packet.get());
    }
    firstSound.end(read);
    if (timestampsUsable && first != AV_NOPTS_VALUE)
        return saturatedSum(end, first == INT64_MIN ? INT64_MAX : -first);
    return sum;
}

// An MP3's sample count: its frames, less the encoder delay and padding that a LAME or Xing tag
// declares. FFmpeg hands those on as skip counts on the first and last packets, and the decoder
// drops exactly them, so counting the packets gives what is decoded. Without a tag the frames
// are all there is (the delay is then part of the sound). In the stream's time base.
std::int64_t countMp3Samples(MediaInput& input, FirstSoundReader& firstSound)
{
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        return kUnknown;
    const AVRational timeBase = input.stream()->time_base;
    const int rate = input.codec->sample_rate;
    std::int64_t length = 0;
    std::int64_t skipped = 0;  // samples at the codec's rate
    int read = 0;
    while ((read = av_read_frame(input.format.get(), packet.get())) >= 0) {
        firstSound.packet(*packet);
        if (packet->stream_index == input.streamIndex) {
            length = saturatedSum(length, packet->duration);
            std::size_t size = 0;
            if (const std::uint8_t* skip = av_packet_get_side_data(packet.get(), AV_PKT_DATA_SKIP_SAMPLES, &size);
                skip && size >= 8)
                skipped += static_cast<std::int64_t>(AV_RL32(skip)) + static_cast<std::int64_t>(AV_RL32(skip + 4));
        }
        av_packet_unref(packet.get());
    }
    firstSound.end(read);
    if (length <= 0 || rate <= 0)
        return kUnknown;
    return saturatedSum(length, -av_rescale_q(skipped, AVRational{1, rate}, timeBase));
}

// The length the container declares, in the stream's time base, or kUnknown. A declared length is
// the sound's own where the format says so exactly: FLAC's and Vorbis's sample totals, an MP4
// edit list (AAC, ALAC), a WAV's data size. Ogg Opus counts its pre-skip (the decoder's warm-up,
// which is dropped) in the total.
std::int64_t declaredLength(const MediaInput& input)
{
    const AVStream* st = input.stream();
    if (input.format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE || st->duration == AV_NOPTS_VALUE ||
        st->duration <= 0)
        return kUnknown;
    std::int64_t length = st->duration;
    const std::string_view demuxer = input.format->iformat->name ? input.format->iformat->name : "";
    if (input.codec->codec_id == AV_CODEC_ID_OPUS && demuxer == "ogg" && st->codecpar->initial_padding > 0)
        length -= av_rescale_q(st->codecpar->initial_padding, AVRational{1, 48000}, st->time_base);
    return length > 0 ? length : kUnknown;
}

// The fewest bytes one second of sound takes in a file, for codecs without a fixed sample size.
// The most frugal honest files are of digital silence: ten minutes of it take about 950 bit/s in
// Vorbis, 1,300 in FLAC and WavPack, 3,000 in AAC, Opus and ALAC. Half the least of them leaves
// room for encoders with longer blocks and still bounds what a forged header can claim: a 20 kB
// file is believed for at most about five minutes. A length beyond the bound is not refused, only
// measured, so the cost of an honest file below it is a scan.
constexpr double kLeastBytesPerSecond = 64.0;  // 512 bit/s

// What one second of the stream takes at the least: exact for PCM and the ADPCMs of fixed sample
// size (the header's rate and channels times the sample size), the floor above otherwise.
double leastBytesPerSecond(const MediaInput& input)
{
    const AVCodecParameters* par = input.stream()->codecpar;
    const int bits = av_get_exact_bits_per_sample(par->codec_id);
    if (bits > 0 && par->ch_layout.nb_channels > 0 && par->sample_rate > 0)
        return static_cast<double>(bits) * par->ch_layout.nb_channels * par->sample_rate / 8.0;
    return kLeastBytesPerSecond;
}

// Whether `duration` is a length the file could hold. Headers make a file larger than its sound,
// never smaller, so the whole file is the most any length may take.
bool believable(const MediaInput& input, REFERENCE_TIME duration)
{
    if (duration <= 0)
        return false;
    constexpr double kSlackBytes = 64.0;  // rounding of the length to 100 ns
    const double seconds = toSeconds(duration);
    return seconds * leastBytesPerSecond(input) <= static_cast<double>(input.file.size) + kSlackBytes;
}

REFERENCE_TIME toReference(const MediaInput& input, std::int64_t length)
{
    if (length == kUnknown || length <= 0)
        return kUnknown;
    return av_rescale_q(length, input.stream()->time_base, AVRational{1, static_cast<int>(kReferenceUnitsPerSecond)});
}

// Counts the samples the stream's decoder gives, as the mix decodes them (damaged packets and
// frames skipped), in 100-ns units at each frame's own rate. Stops beyond the longest mix.
REFERENCE_TIME decodedLength(const std::string& path)
{
    MediaInput input;
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (failed(input.open(path, nullptr)) || !packet || !frame)
        return kUnknown;
    REFERENCE_TIME done = 0;   // of the rates before the current one
    std::int64_t samples = 0;  // at the current rate
    int rate = 0;
    const auto total = [&] { return rate > 0 ? done + av_rescale(samples, kReferenceUnitsPerSecond, rate) : done; };
    const auto receive = [&] {
        int errors = 0;
        for (int r = 0; (r = avcodec_receive_frame(input.codec.get(), frame.get())) != AVERROR(EAGAIN) &&
                        r != AVERROR_EOF && errors <= 64;) {
            if (r < 0) {
                ++errors;  // a damaged frame is skipped
                continue;
            }
            if (frame->sample_rate > 0 && frame->nb_samples > 0) {
                if (frame->sample_rate != rate) {
                    done = total();
                    samples = 0;
                    rate = frame->sample_rate;
                }
                samples += frame->nb_samples;
            }
            av_frame_unref(frame.get());
        }
    };
    while (total() <= kLongestTime && av_read_frame(input.format.get(), packet.get()) >= 0) {
        if (packet->stream_index == input.streamIndex && avcodec_send_packet(input.codec.get(), packet.get()) >= 0)
            receive();
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(input.codec.get(), nullptr);
    receive();
    return total() > 0 ? total() : kUnknown;
}

}  // namespace

// The declared length first (no reading), then a scan of the packets when nothing is declared or
// the declaration is more than the file could hold; a decode when the packets cannot say either.
// The first sound is decoded from the packets read anyway, or from the first few when none were.
Status probeDuration(const std::string& path, REFERENCE_TIME& duration, FirstSound* firstSound)
{
    duration = 0;
    MediaInput input;
    const Status opened = input.open(path, nullptr);
    FirstSoundReader first(input, opened, firstSound);
    if (failed(opened))
        return opened;
    const bool mp3 = input.codec->codec_id == AV_CODEC_ID_MP3;  // counted from its frames: a scan
    REFERENCE_TIME length = toReference(input, mp3 ? countMp3Samples(input, first) : declaredLength(input));
    if (!mp3 && !believable(input, length))
        length = toReference(input, scanPacketLength(input, first));
    first.readOn();
    if (!believable(input, length))
        length = decodedLength(path);
    if (length <= 0)
        return kErrCorruptData;
    duration = length;
    return kOk;
}

Status rememberedDuration(ProbeMemo& memo, const std::string& path, const std::optional<ProbeMemo::Identity>& identity,
                          REFERENCE_TIME& duration)
{
    if (const auto known = identity ? memo.duration(*identity) : std::nullopt) {
        duration = known->second;
        return known->first;
    }
    FirstSound first;
    const Status status = probeDuration(path, duration, &first);
    if (identity && status != kErrOutOfMemory && status != kErrAbort)
        memo.rememberDuration(*identity, status, duration);
    if (identity && first.known)
        memo.rememberFirstSound(*identity, std::move(first));
    return status;
}

}  // namespace sonarel::media::core
