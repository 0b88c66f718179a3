// SPDX-License-Identifier: GPL-3.0-or-later
// One media file opened for reading: the file, FFmpeg's demuxer on the engine's own I/O, and the
// decoder of the best audio stream. Only regular local files are opened, through a descriptor, so
// no demuxer can reach a network protocol or another file; playlist-type demuxers are refused, and
// so is a stream whose sample rate is too low to be sound.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/media/Status.h"
#include "platform/media/core/FfmpegHandles.h"

namespace sonarel::media::core {

// Quiets FFmpeg's log; called once by the library.
void quietFfmpegLog();

// How many times a media file was opened for reading in this process: what a list's preparation
// costs, since every open reads and analyses the start of a file.
std::uint64_t mediaInputsOpened();

// The file behind the engine's own I/O context, read at the descriptor's own position.
struct FileSource {
    int fd = -1;
    std::int64_t size = 0;  // at open
    // Whether the file holds fewer bytes now than when it was opened (it was cut short meanwhile).
    bool shrank() const;
    const std::atomic<bool>* stop = nullptr;
    int lastErrno = 0;

    FileSource() = default;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    ~FileSource();
};

// Members are destroyed in reverse order: decoder, demuxer, I/O context, descriptor.
struct MediaInput {
    FileSource file;
    IoPtr io;
    FormatPtr format;
    CodecPtr codec;
    int streamIndex = -1;
    int lastAvError = 0;  // the FFmpeg code behind the last failure, 0 when FFmpeg said nothing

    AVStream* stream() const { return format->streams[streamIndex]; }

    // Opens `path` and its decoder; `stop` (may be null) abandons reading when raised.
    Status open(const std::string& path, const std::atomic<bool>* stop);

    // The status for an FFmpeg failure, remembering FFmpeg's code for the detail of the error.
    Status fail(int avError)
    {
        lastAvError = avError;
        return statusFromAv(avError);
    }
    Failure failure(Status status) const { return Failure{status, lastAvError}; }

private:
    Status openDemuxer(const std::string& path, const std::atomic<bool>* stop);
    Status openDecoder();
};

}  // namespace sonarel::media::core
