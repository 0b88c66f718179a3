#include "platform/media/core/Probe.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include "platform/media/core/MediaInput.h"

namespace sonarel::media::core {

namespace {

// Length of the stream in its time base, from its packets (a scan of the file, no decoding).
std::int64_t scanPacketLength(MediaInput& input) {
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

Status probeDuration(const std::string& path, REFERENCE_TIME& duration) {
    duration = 0;
    MediaInput input;
    if (const Status s = input.open(path, nullptr); failed(s))
        return s;
    AVStream* st = input.stream();
    const AVRational units{1, static_cast<int>(kReferenceUnitsPerSecond)};
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

}  // namespace sonarel::media::core
