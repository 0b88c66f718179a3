// SPDX-License-Identifier: GPL-3.0-or-later
// FFmpeg objects behind deleters, so that every exit path frees them, and the translation of
// FFmpeg's error codes into the engine's statuses. Included by the core's .cpp files only.
#pragma once

#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include "platform/media/Status.h"

namespace sonarel::media::core {

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct IoFreer {
    void operator()(AVIOContext* c) const
    {
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

// The engine's status for an FFmpeg error code; `writing` for an error of a file being written.
Status statusFromAv(int error, bool writing = false);

// FFmpeg's own sentence for an error code ("Invalid data found when processing input").
std::string ffmpegErrorText(int error);

// A failure as the engine reports it: the status, and FFmpeg's own text when FFmpeg said more.
struct Failure {
    Status status = kOk;
    int avError = 0;  // 0: the engine itself refused

    // ": <FFmpeg's text>" for a detail line, or nothing when FFmpeg was not the cause.
    std::string ffmpegSuffix() const;
};

}  // namespace sonarel::media::core
