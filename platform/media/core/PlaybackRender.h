// SPDX-License-Identifier: GPL-3.0-or-later
// The mix rendered for listening: from any output frame, one block at a time, into the caller's
// buffer. It places, decodes, shapes, mixes and converts exactly as the mix job does for its file,
// so each block holds the samples the file holds at that place. Sources that already play at the
// starting frame seek to it (exactly, for the formats whose seeking is exact; by decoding from
// their start for the others, and for entries that keep their pitch, whose stretcher runs from the
// start of their span unless stretchFromStart() asks otherwise).
//
// next() is called on one thread at a time (the playback feed's); abandon() on any.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/Formats.h"
#include "platform/media/Status.h"
#include "platform/media/core/PcmConversion.h"
#include "platform/media/core/Placement.h"
#include "platform/media/core/RenderCore.h"

namespace sonarel::media {
class FaultInjector;
}

namespace sonarel::media::core {

class WorkerPool;

class PlaybackRender {
public:
    // Frames in a block: about 46 ms at 44.1 kHz, so a change heard while playing waits little.
    static constexpr std::int64_t kBlockFrames = 2048;

    // `fromFrame` (in frames of `format`'s rate) is where the first block begins; `workers` threads
    // in all decode the sources of a block (at least 1). `faults` may be null.
    PlaybackRender(std::vector<SourceEntry> entries, const WaveFormat& format, std::int64_t fromFrame, int workers,
                   FaultInjector* faults = nullptr);
    ~PlaybackRender();
    PlaybackRender(const PlaybackRender&) = delete;
    PlaybackRender& operator=(const PlaybackRender&) = delete;

    // Renders the next block as PCM in the format into `pcm` (resized to fit) and sets `frames`
    // to its length: kBlockFrames, fewer at the end of the mix, 0 after it. A source that cannot
    // be read fails the block; failureDetail() then names it, and every later call fails too.
    Status next(std::vector<std::uint8_t>& pcm, std::int64_t& frames);

    // Volumes changed while playing: entry i sounded at `previous[i]` before the first block, and
    // goes to its own volume over `frames` frames from there. Call before the first next().
    void rampVolumes(std::vector<double> previous, std::int64_t frames);
    // A restart after a live edit: entries that keep their pitch and already play at the start
    // frame begin stretching there rather than from the start of their span, so the edit is heard
    // at once (their first seconds then differ slightly from the file's). Call before next().
    void stretchFromStart() { stretchFromStart_ = true; }

    // Asks a next() running on another thread to give up at once (it then fails with kErrAbort).
    void abandon() { stop_.store(true); }

    std::int64_t position() const { return position_; }  // the first frame of the next block
    std::int64_t totalFrames() const { return totalFrames_; }
    const WaveFormat& format() const { return format_; }
    const std::string& failureDetail() const { return detail_; }
    // What the conversion to PCM cut so far.
    const Clipping& clipping() const { return clipping_; }

private:
    void admitSources(std::int64_t blockFrames);
    Status decode(std::int64_t blockFrames);

    std::vector<SourceEntry> entries_;
    WaveFormat format_;
    FaultInjector* faults_;
    std::int64_t totalFrames_ = 0;
    std::int64_t position_ = 0;
    std::int64_t firstFrame_ = 0;   // where the render began
    std::vector<double> rampFrom_;  // per entry; empty: no volume ramps
    std::int64_t rampFrames_ = 0;
    bool stretchFromStart_ = false;
    SourceSchedule schedule_;                              // of the sources that play at or after the start
    std::vector<std::unique_ptr<PlayingSource>> playing_;  // in timeline order
    std::vector<const PlayingSource*> sounding_;           // the same, as the sum takes them
    std::unique_ptr<WorkerPool> pool_;
    std::vector<float> mix_;
    Clipping clipping_;
    Status failure_ = kOk;
    std::string detail_;
    std::atomic<bool> stop_{false};
};

}  // namespace sonarel::media::core
