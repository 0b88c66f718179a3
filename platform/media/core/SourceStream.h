// SPDX-License-Identifier: GPL-3.0-or-later
// The sound of one media file at the mix's rate: the best audio stream, decoded and resampled
// (with the varispeed factor) to interleaved float, from any point of the file.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/media/Status.h"
#include "platform/media/core/FfmpegHandles.h"

namespace sonarel::media {
class FaultInjector;
}

namespace sonarel::media::core {

// How far a stream's rate conversion reaches, either way: the input rate times the speed over the
// output rate lies within 1/kLargestRateRatio .. kLargestRateRatio, or the stream refuses to open
// its converter (it has no exact fraction for the ratio; the resampler's rates stay below 2^19).
inline constexpr double kLargestRateRatio = 1 << 18;
inline bool rateRatioFits(double ratio)
{
    return ratio >= 1.0 / kLargestRateRatio && ratio <= kLargestRateRatio;
}

struct StreamSettings {
    int outputRate = 44100;
    // Input samples consumed per output sample, relative to the rates (varispeed): 2.0 plays twice
    // as fast. Given as the exact ratio media length : timeline length.
    std::int64_t speedNum = 1;
    std::int64_t speedDen = 1;
    // Output frames to leave out at the start: the stream then begins with the frame it would have
    // produced after this many when read from the file's start. Formats whose seeking is exact get
    // there by a seek and a short decode; the others decode from the start.
    std::int64_t skipFrames = 0;
    const std::atomic<bool>* stop = nullptr;  // raised to abandon reading at once
    FaultInjector* faults = nullptr;          // "Run.ReadSource" is checked per packet read
};

// Produces the audio of one file at the output rate, as interleaved float with channels() channels
// (1 for a mono source, else 2: a source with more channels is downmixed to stereo). Used by one
// thread at a time.
class SourceStream {
public:
    SourceStream();
    ~SourceStream();
    SourceStream(const SourceStream&) = delete;
    SourceStream& operator=(const SourceStream&) = delete;

    Status open(const std::string& path, const StreamSettings& settings);
    int channels() const { return channels_; }
    // The rate the file declares for its stream, in Hz.
    int sourceRate() const;

    // Fills up to `frames` frames; `got` < `frames` only at the end of the stream (or on failure).
    Status read(float* out, std::int64_t frames, std::int64_t& got);

    // How many decoded samples were not numbers (NaN, infinities) and were silenced.
    std::int64_t silencedSamples() const;
    // How many packets were handed to the decoder so far: what a skip cost.
    std::int64_t decodedPackets() const;
    // Whether the file was cut short after it was opened: a stream that ends then ends early.
    bool fileShrank() const;

    // The status of the last failure with FFmpeg's own code behind it, if any.
    const Failure& lastFailure() const { return failure_; }

private:
    struct Impl;
    Status openImpl(const std::string& path, const StreamSettings& settings, bool seek);
    Status skipAhead();
    Status refill(std::int64_t wanted);
    Status keep(Status status);
    std::unique_ptr<Impl> impl_;
    std::string path_;
    int channels_ = 2;
    Failure failure_;
};

// Whether `path` can be mixed at `outputRate`: opened, its first sound decoded and its converter
// set up. What a mix meets later in the file (a damaged packet, a change of format) is not seen.
// `sourceRate` is the file's rate, 0 when it could not be opened.
Failure checkConversion(const std::string& path, int outputRate, int& sourceRate);

}  // namespace sonarel::media::core
