// One render of a group into a WAV file, on worker threads.
//
// The output is produced in blocks. For each block, the sources that play in it are decoded by a
// pool of workers (each source by one worker at a time, so its decoder stays sequential); then
// the block is mixed in the order of the sources on the timeline, converted to PCM and written.
// The fixed mixing order makes the result independent of the number of workers. A source is
// opened at the first block it plays in and closed after its last one, so memory depends on how
// many sources overlap, not on the length of the list or of the output.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/media/Formats.h"
#include "platform/media/Status.h"

namespace sonarel::media {
class EngineContext;
}

namespace sonarel::media::internal {

// What the render engine copies from a timeline source.
struct SourceEntry {
    std::u16string name;
    ReferenceTime timelineStart = 0;
    ReferenceTime timelineStop = 0;
    ReferenceTime mediaStart = 0;
    ReferenceTime mediaStop = 0;
    double volume = 1.0;
};

// round(t * rate / 10^7), or false when t is out of the range the engine handles.
bool frameAt(ReferenceTime t, int rate, std::int64_t& frame);

// The output length in frames of a group: up to the end of its last source.
std::int64_t outputFrames(const std::vector<SourceEntry>& entries, int rate);

// Runs tasks on a fixed set of threads plus the calling one.
class WorkerPool {
public:
    explicit WorkerPool(int threads);  // total threads, the caller included
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    // Calls task(i) for every i < count and returns when all are done.
    void run(std::size_t count, const std::function<void(std::size_t)>& task);

private:
    void work();
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const std::function<void(std::size_t)>* task_ = nullptr;
    std::size_t count_ = 0;
    std::atomic<std::size_t> next_{0};
    std::uint64_t generation_ = 0;
    int busy_ = 0;
    bool quit_ = false;
};

// Converts interleaved float samples to PCM of `bits` (16 signed or 8 unsigned), rounding and
// saturating.
void convertToPcm(const float* in, std::size_t samples, int bits, std::uint8_t* out);

class RenderJob {
public:
    using EventSink = std::function<void(const GraphEvent&)>;

    RenderJob(std::shared_ptr<EngineContext> context, std::vector<SourceEntry> entries, WaveFormat format,
              std::u16string outputName, EventSink sink);
    ~RenderJob();
    RenderJob(const RenderJob&) = delete;
    RenderJob& operator=(const RenderJob&) = delete;

    // Creates the output file and starts the work; returns at once.
    Status start();
    // Asks the work to end and waits for it (unless called on the job's own thread); the output
    // is then a valid WAV file of what was written. Queues no event.
    void stop();

    std::int64_t framesWritten() const { return framesWritten_.load(std::memory_order_relaxed); }
    std::int64_t totalFrames() const { return totalFrames_; }
    // True from start() until the output file is closed.
    bool running() const { return running_.load(); }

private:
    struct Slot;
    void main();

    std::shared_ptr<EngineContext> context_;
    std::vector<SourceEntry> entries_;
    WaveFormat format_;
    std::u16string outputName_;
    EventSink sink_;
    std::int64_t totalFrames_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::atomic<std::int64_t> framesWritten_{0};
    struct Output;
    std::unique_ptr<Output> output_;
    std::thread thread_;
};

}  // namespace sonarel::media::internal
