// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/FfmpegHandles.h"

extern "C" {
#include <libavutil/error.h>
}

#include "platform/media/core/Files.h"

namespace sonarel::media::core {

Status statusFromAv(int error, bool writing)
{
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
        return statusFromErrno(-error, writing);
    return kErrCorruptData;
}

std::string ffmpegErrorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(error, text, sizeof text) < 0)
        return "FFmpeg error " + std::to_string(error);
    return text;
}

std::string Failure::ffmpegSuffix() const
{
    return avError < 0 ? " (FFmpeg: " + ffmpegErrorText(avError) + ")" : std::string();
}

}  // namespace sonarel::media::core
