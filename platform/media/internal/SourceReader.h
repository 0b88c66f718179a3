// Reading one media file with FFmpeg: the best audio stream, decoded and resampled to the mix's
// rate as interleaved float. Only regular local files are opened, through the engine's own I/O on
// a descriptor, so no demuxer can reach a network protocol or another file.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/Status.h"

namespace sonarel::media {
class FaultInjector;
}

namespace sonarel::media::internal {

// Quiets FFmpeg's log; called once by the library.
void quietFfmpegLog();

// The decoded length of the best audio stream of `path`, in 100-ns units. Uses the length the
// container declares when it is trustworthy and otherwise scans the packets (no decoding).
Status probeDuration(const std::string& path, ReferenceTime& duration);

struct StreamSettings {
    int outputRate = 44100;
    // Input samples consumed per output sample, relative to the rates (varispeed): 2.0 plays twice
    // as fast. Given as the exact ratio media length : timeline length.
    std::int64_t speedNum = 1;
    std::int64_t speedDen = 1;
    const std::atomic<bool>* stop = nullptr;  // raised to abandon reading at once
    FaultInjector* faults = nullptr;          // "Run.ReadSource" is checked per packet read
};

// Produces the audio of one file at the output rate, as interleaved float with channels() channels
// (1 for a mono source, else 2: a source with more channels is downmixed to stereo).
class SourceStream {
public:
    SourceStream();
    ~SourceStream();
    SourceStream(const SourceStream&) = delete;
    SourceStream& operator=(const SourceStream&) = delete;

    Status open(const std::string& path, const StreamSettings& settings);
    int channels() const { return channels_; }

    // Fills up to `frames` frames; `got` < `frames` only at the end of the stream (or on failure).
    Status read(float* out, std::int64_t frames, std::int64_t& got);

private:
    struct Impl;
    Status refill(std::int64_t wanted);
    std::unique_ptr<Impl> impl_;
    int channels_ = 2;
};

}  // namespace sonarel::media::internal
