#include "platform/media/core/Probe.h"

#include <cstring>
#include <string_view>

extern "C" {
#include <libavutil/intreadwrite.h>
#include <libavutil/mathematics.h>
}

#include "platform/media/core/MediaInput.h"

namespace sonarel::media::core {

namespace {

constexpr std::int64_t kUnknown = -1;

// Length of the stream in its time base, from its packets (a scan of the file, no decoding).
std::int64_t scanPacketLength(MediaInput& input) {
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        return kUnknown;
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

// An MP3's sample count: its frames, less the encoder delay and padding that a LAME or Xing tag
// declares. FFmpeg hands those on as skip counts on the first and last packets, and the decoder
// drops exactly them, so counting the packets gives what is decoded. Without a tag the frames
// are all there is (the delay is then part of the sound). In the stream's time base.
std::int64_t countMp3Samples(MediaInput& input) {
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        return kUnknown;
    const AVRational timeBase = input.stream()->time_base;
    const int rate = input.codec->sample_rate;
    std::int64_t length = 0;
    std::int64_t skipped = 0;  // samples at the codec's rate
    while (av_read_frame(input.format.get(), packet.get()) >= 0) {
        if (packet->stream_index == input.streamIndex) {
            length += packet->duration;
            std::size_t size = 0;
            if (const std::uint8_t* skip = av_packet_get_side_data(packet.get(), AV_PKT_DATA_SKIP_SAMPLES, &size);
                skip && size >= 8)
                skipped += static_cast<std::int64_t>(AV_RL32(skip)) + static_cast<std::int64_t>(AV_RL32(skip + 4));
        }
        av_packet_unref(packet.get());
    }
    if (length <= 0 || rate <= 0)
        return kUnknown;
    return length - av_rescale_q(skipped, AVRational{1, rate}, timeBase);
}

// The length the container declares, in the stream's time base, or kUnknown. A declared length is
// the sound's own where the format says so exactly: FLAC's and Vorbis's sample totals, an MP4
// edit list (AAC, ALAC), a WAV's data size. Ogg Opus counts its pre-skip (the decoder's warm-up,
// which is dropped) in the total.
std::int64_t declaredLength(const MediaInput& input) {
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

}  // namespace

Status probeDuration(const std::string& path, REFERENCE_TIME& duration) {
    duration = 0;
    MediaInput input;
    if (const Status s = input.open(path, nullptr); failed(s))
        return s;
    std::int64_t length =
        input.codec->codec_id == AV_CODEC_ID_MP3 ? countMp3Samples(input) : declaredLength(input);
    if (length == kUnknown)
        length = scanPacketLength(input);  // nothing declares it: what the packets add up to
    if (length <= 0)
        return kErrCorruptData;
    duration = av_rescale_q(length, input.stream()->time_base, AVRational{1, static_cast<int>(kReferenceUnitsPerSecond)});
    return duration > 0 ? kOk : kErrCorruptData;
}

}  // namespace sonarel::media::core
