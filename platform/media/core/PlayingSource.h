// SPDX-License-Identifier: GPL-3.0-or-later
// One source of a mix while it plays: its decoder, where it sits on the output, and its share of
// the blocks in flight. A source is filled by one worker at a time; it keeps a ring of parts, so
// that the mixer reads one block's part while workers fill the next blocks'. The render that owns it
// hands a fill to one thread and the finished part to the mixing thread (DecodeAhead, WorkerPool).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/Status.h"
#include "platform/media/core/DuckEnvelope.h"
#include "platform/media/core/FfmpegHandles.h"
#include "platform/media/core/GainEnvelope.h"
#include "platform/media/core/Placement.h"
#include "platform/media/core/PointsGain.h"
#include "platform/media/core/SourceStream.h"
#include "platform/media/core/TimeStretcher.h"

namespace sonarel::media {
class FaultInjector;
}

namespace sonarel::media::core {

// Parts each source keeps: the block being mixed and the two after it.
constexpr int kPlayingParts = 3;

struct BlockRequest {
    std::int64_t start = 0;   // first output frame of the block
    std::int64_t frames = 0;  // frames in the block
    int channels = 2;         // output channels
    int rate = 44100;         // output rate
    int slot = 0;             // which of the source's parts this block fills (below kPlayingParts)
    const std::atomic<bool>* stop = nullptr;
    FaultInjector* faults = nullptr;
};

class PlayingSource {
public:
    // `entry` must outlive the source. `index` is its place on the timeline (the mixing order).
    // `duck`, when given, lowers it under the render's voices.
    PlayingSource(const SourceEntry& entry, std::size_t index, std::int64_t start, std::int64_t frames,
                  std::shared_ptr<const DuckEnvelope> duck = nullptr);

    // Decodes this source's part of the block into samples(), in output channels with its shaping
    // (trim, speed, fades, cut ramps) and its volume applied. The file is opened at the first block the source plays
    // in. A failure is kept in failure() and the source then plays nothing more.
    void fill(const BlockRequest& block);
    // The entry's volume was changed while it played: from output frame `at` on, its gain goes
    // from `previous` to the entry's volume over `frames` frames instead of in one step (a click).
    // Call before the first fill.
    void rampVolume(float previous, std::int64_t at, std::int64_t frames);
    // A stretched entry first filled after its start begins stretching where it is first filled,
    // instead of running its stretcher from the start of its span up to there. Its sound then
    // differs slightly from the file's there (the stretcher starts afresh) but is heard at once:
    // for restarts after a live edit, where re-stretching minutes of sound would stall playback.
    // Call before the first fill.
    void stretchFromFirstBlock() { stretchFromFirstBlock_ = true; }

    std::size_t index() const { return index_; }
    const std::string& path() const { return path_; }
    std::int64_t start() const { return start_; }
    std::int64_t end() const { return start_ + frames_; }
    struct Part {
        std::int64_t offset = 0;     // where this part begins in its block
        std::int64_t count = 0;      // frames of this part
        std::vector<float> samples;  // count frames in output channels, the volume applied
    };
    const Part& part(int slot) const { return parts_[slot % kPlayingParts]; }
    const Failure& failure() const { return failure_; }
    // Whether some of its samples were not numbers (NaN, infinities) and were silenced.
    bool silencedNonFinite() const { return nonFinite_ > 0 || (stream_ && stream_->silencedSamples() > 0); }
    // Whether its sound ended well before its entry: its file was cut short while it played, or
    // holds less sound than its header says. Once true, soundEnd() and shrank() stay as they are.
    bool endedEarly() const { return endedEarly_; }
    // The output frame where its sound ended, and whether the file shrank while it played.
    std::int64_t soundEnd() const { return soundEnd_; }
    bool shrank() const { return shrank_; }
    // How long the last fill took: the dearest sources are handed to the workers first.
    std::chrono::steady_clock::duration cost() const { return cost_; }

private:
    void fillBlock(const BlockRequest& block);
    void open(const BlockRequest& block);
    void openStretched(const BlockRequest& block, StreamSettings settings);
    Status pullTrimmed(float* out, std::int64_t frames, std::int64_t& got);
    Status readFrames(std::int64_t n, float* out);
    Status skipTo(std::int64_t wanted);
    // The stream ended at output frame `end`, `missing` frames before the entry does.
    void noteEnd(std::int64_t end, std::int64_t missing);
    void applyGain(int outChannels, std::int64_t first);
    bool ramping(std::int64_t first) const { return rampFrames_ > 0 && first < rampStart_ + rampFrames_; }
    bool ducked(std::int64_t first, std::int64_t count) const { return duck_ && !duck_->unity(start_ + first, count); }
    float volumeAt(std::int64_t frame) const;

    const SourceEntry& entry_;
    std::size_t index_;
    std::string path_;
    std::int64_t start_;   // first output frame
    std::int64_t frames_;  // frames it contributes
    float volume_;
    float rampFrom_ = 0.0f;        // the volume before a change made while playing
    std::int64_t rampStart_ = 0;   // relative to start_
    std::int64_t rampFrames_ = 0;  // 0: no ramp
    GainEnvelope envelope_;
    std::shared_ptr<const DuckEnvelope> duck_;  // null: not ducked
    PointsGain points_;
    std::vector<float> gains_;  // of the frames of the block being shaped
    std::unique_ptr<SourceStream> stream_;
    // With keep pitch: the stream at speed 1 feeds the stretcher exactly the trimmed span.
    std::unique_ptr<TimeStretcher> stretcher_;
    std::int64_t trimmedLeft_ = 0;  // frames of that span not yet handed to the stretcher
    std::int64_t trimmedSpan_ = 0;  // the whole span
    bool stretchFromFirstBlock_ = false;
    bool opened_ = false;
    bool ended_ = false;
    bool endedEarly_ = false;
    bool shrank_ = false;
    std::int64_t soundEnd_ = 0;
    int rate_ = 44100;           // the output's
    std::int64_t position_ = 0;  // frames of the source consumed so far (relative to start_)
    Part parts_[kPlayingParts];
    Part* part_ = &parts_[0];  // the part the current fill writes
    std::vector<float> scratch_;
    Failure failure_;
    std::int64_t nonFinite_ = 0;  // cleared after the resampler and the volume
    std::chrono::steady_clock::duration cost_{};
};

}  // namespace sonarel::media::core
