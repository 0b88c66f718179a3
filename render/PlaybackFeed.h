// SPDX-License-Identifier: GPL-3.0-or-later
// The rendered mix on its way to the sound device: a thread renders blocks a little ahead of the
// device into a short queue, and the device takes them as it makes room. A change of the list
// drops what was rendered ahead (all but a few tens of milliseconds, which the device plays while
// the new render begins) and renders again from the first frame after those, so what plays after a
// change is the changed mix, with no gap and no repeat.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/AudioOutput.h"
#include "platform/media/Formats.h"
#include "platform/media/core/Placement.h"

namespace sonarel::media::core {
class PlaybackRender;
}

namespace sonarel {

class PlaybackFeed final : public AudioFeed {
public:
    using Clock = std::chrono::steady_clock;

    // `workers`: threads in all that decode a block's sources.
    explicit PlaybackFeed(int workers);
    ~PlaybackFeed() override;
    PlaybackFeed(const PlaybackFeed&) = delete;
    PlaybackFeed& operator=(const PlaybackFeed&) = delete;

    // Renders `entries` in `format` from `fromFrame` on, in place of anything before.
    void start(std::vector<media::core::SourceEntry> entries, const media::WaveFormat& format, std::int64_t fromFrame);
    // The same playback with changed entries, from the first frame after what is kept. An entry
    // whose volume alone changed ramps to its new volume over a few milliseconds.
    void change(std::vector<media::core::SourceEntry> entries);
    // Renders nothing more and drops what is queued.
    void stop();

    std::size_t read(char* data, std::size_t size) override;
    bool atEnd() const override;

    // The frame after the last one read.
    std::int64_t readPosition() const;
    // The mix's length in frames once the render of the current entries has begun, else -1.
    std::int64_t totalFrames() const;
    // Why rendering failed (naming the file), or empty.
    std::string failure() const;
    // When the first frames after start() were read; unset before.
    Clock::time_point firstRead() const;
    // How often, since the first frames were read, the device asked for frames and none were
    // ready: the render fell behind (the device then lives on what it holds).
    int starvedReads() const;

private:
    void run();
    void restart(std::vector<media::core::SourceEntry> entries, const media::WaveFormat& format, std::int64_t from);

    const int workers_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    // The request the render thread takes up next.
    bool requested_ = false;
    std::vector<media::core::SourceEntry> entries_;
    media::WaveFormat format_;
    std::int64_t from_ = 0;
    std::vector<double> rampFrom_;  // per entry of the request: the volume it had; empty: none
    // The render in progress, owned by the render thread; `abandon` may be called under the lock.
    std::unique_ptr<media::core::PlaybackRender> render_;
    bool active_ = false;  // rendering or rendered for the latest start()
    bool ended_ = false;   // the render has given its last block
    std::string failure_;
    std::deque<char> queue_;
    std::size_t capacity_ = 0;
    std::int64_t readPosition_ = 0;
    std::int64_t totalFrames_ = -1;
    Clock::time_point firstRead_{};
    int starved_ = 0;
    bool quit_ = false;
    std::thread thread_;
};

}  // namespace sonarel
