// SPDX-License-Identifier: GPL-3.0-or-later
// Peak levels of a media file, for drawing a sketch of its waveform.
//
// A file is decoded once with the engine's source reader (best audio stream, local regular files
// only) and reduced to the largest absolute sample of each short slice of time. Slices start at
// 10 ms and double in length as a long file needs, so a file of any length keeps at most
// kMaxLevels levels: memory does not grow with the length of the file.
//
// measurePeakLevels() runs on the calling thread. PeakWorkers runs it on worker threads and calls
// back on those threads; the caller carries results to its own thread (a posted event).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/media/Status.h"

namespace sonarel::media {

struct PeakLevels {
    static constexpr int kRate = 44100;  // frames per second the levels are measured at
    static constexpr std::size_t kMaxLevels = 4096;
    static constexpr std::int64_t kFirstSliceFrames = kRate / 100;

    std::int64_t framesPerLevel = kFirstSliceFrames;
    std::int64_t frames = 0;           // decoded length at kRate
    std::vector<std::uint8_t> levels;  // 0 = silence, 255 = full scale (or louder), per slice

    static double toLevel(std::uint8_t stored) { return stored / 255.0; }
    // The loudest level between two times of the media (seconds), 0..1; 0 outside the sound.
    double peakBetween(double fromSeconds, double toSeconds) const;
};

// Decodes `path` and measures its peaks. A raised `stop` abandons the work with kErrAbort.
[[nodiscard]] Status measurePeakLevels(const std::string& path, PeakLevels& out,
                                       const std::atomic<bool>* stop = nullptr);

// A small pool of threads measuring files one after the other, in the order they were posted.
class PeakWorkers {
public:
    // Called on a worker thread when a file is done; the levels are valid when the status succeeded.
    using Done = std::function<void(Status, PeakLevels&&)>;

    explicit PeakWorkers(int threads = 0);  // 0: one per core, at most four
    ~PeakWorkers();                         // drops queued work, abandons running work, joins
    PeakWorkers(const PeakWorkers&) = delete;
    PeakWorkers& operator=(const PeakWorkers&) = delete;

    void post(std::string path, Done done);
    void dropQueued();  // work already running still finishes and calls back
    std::size_t queued() const;
    int threadCount() const { return static_cast<int>(threads_.size()); }

private:
    struct Job {
        std::string path;
        Done done;
    };
    void run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

}  // namespace sonarel::media
