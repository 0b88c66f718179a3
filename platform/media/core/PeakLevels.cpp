// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/PeakLevels.h"

#include <algorithm>
#include <cmath>

#include "platform/media/FreedMemory.h"
#include "platform/media/core/SourceStream.h"

namespace sonarel::media {

namespace {

constexpr std::int64_t kReadFrames = 4096;

std::uint8_t storedLevel(float peak)
{
    return static_cast<std::uint8_t>(std::lround(std::min(peak, 1.0f) * 255.0f));
}

// Collects slice peaks; when the slices would exceed the limit, neighbours are merged and the
// slice length doubles.
class PeakAccumulator {
public:
    explicit PeakAccumulator(PeakLevels& out) : out_(out)
    {
        out_ = PeakLevels{};
        out_.levels.reserve(PeakLevels::kMaxLevels);
    }

    void add(const float* samples, std::int64_t frames, int channels)
    {
        std::int64_t done = 0;
        while (done < frames) {
            const std::int64_t n = std::min(frames - done, out_.framesPerLevel - inSlice_);
            const float* from = samples + done * channels;
            const float* to = from + n * channels;
            float peak = slicePeak_;
            for (const float* p = from; p < to; ++p)
                peak = std::max(peak, std::fabs(*p));
            slicePeak_ = peak;
            inSlice_ += n;
            done += n;
            if (inSlice_ == out_.framesPerLevel)
                closeSlice();
        }
        out_.frames += frames;
    }

    void finish()
    {
        if (inSlice_ > 0)
            closeSlice();
    }

private:
    void closeSlice()
    {
        out_.levels.push_back(storedLevel(slicePeak_));
        slicePeak_ = 0.0f;
        inSlice_ = 0;
        if (out_.levels.size() >= PeakLevels::kMaxLevels) {
            // Halve the resolution: each level becomes the louder of two neighbours.
            std::vector<std::uint8_t>& levels = out_.levels;
            const std::size_t half = levels.size() / 2;
            for (std::size_t k = 0; k < half; ++k)
                levels[k] = std::max(levels[2 * k], levels[2 * k + 1]);
            levels.resize(half);
            out_.framesPerLevel *= 2;
        }
    }

    PeakLevels& out_;
    float slicePeak_ = 0.0f;
    std::int64_t inSlice_ = 0;
};

}  // namespace

double PeakLevels::peakBetween(double fromSeconds, double toSeconds) const
{
    if (levels.empty() || framesPerLevel <= 0 || !(toSeconds > fromSeconds))
        return 0.0;
    const double perSecond = static_cast<double>(kRate) / static_cast<double>(framesPerLevel);
    const double last = static_cast<double>(levels.size()) - 1.0;
    const double first = std::floor(fromSeconds * perSecond);
    const double stop = std::ceil(toSeconds * perSecond) - 1.0;
    if (stop < 0.0 || first > last)
        return 0.0;
    const auto a = static_cast<std::size_t>(std::max(first, 0.0));
    const auto b = static_cast<std::size_t>(std::min(std::max(stop, first), last));
    std::uint8_t peak = 0;
    for (std::size_t i = a; i <= b; ++i)
        peak = std::max(peak, levels[i]);
    return toLevel(peak);
}

Status measurePeakLevels(const std::string& path, PeakLevels& out, const std::atomic<bool>* stop)
{
    out = PeakLevels{};
    core::StreamSettings settings;
    settings.outputRate = PeakLevels::kRate;
    settings.stop = stop;
    core::SourceStream stream;
    if (const Status s = stream.open(path, settings); failed(s))
        return s;
    const int channels = stream.channels();
    std::vector<float> buffer(static_cast<std::size_t>(kReadFrames * channels));
    PeakLevels levels;
    PeakAccumulator accumulator(levels);
    for (;;) {
        std::int64_t got = 0;
        if (const Status s = stream.read(buffer.data(), kReadFrames, got); failed(s))
            return s;
        accumulator.add(buffer.data(), got, channels);
        if (got < kReadFrames)
            break;
    }
    accumulator.finish();
    if (levels.frames == 0)
        return kErrCorruptData;  // nothing decodable: no sketch to draw
    // A short file needs a few hundred of the levels reserved: a thousand files keep only theirs.
    levels.levels.shrink_to_fit();
    out = std::move(levels);
    return kOk;
}

PeakWorkers::PeakWorkers(int threads)
{
    if (threads <= 0)
        threads = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
    threads_.reserve(static_cast<std::size_t>(threads));
    for (int i = 0; i < threads; ++i)
        threads_.emplace_back([this] { run(); });
}

PeakWorkers::~PeakWorkers()
{
    {
        std::lock_guard lock(mutex_);
        jobs_.clear();
        stop_.store(true);
    }
    wake_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void PeakWorkers::post(std::string path, Done done)
{
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back({std::move(path), std::move(done)});
    }
    wake_.notify_one();
}

void PeakWorkers::dropQueued()
{
    std::lock_guard lock(mutex_);
    jobs_.clear();
}

std::size_t PeakWorkers::queued() const
{
    std::lock_guard lock(mutex_);
    return jobs_.size();
}

void PeakWorkers::run()
{
    int sinceTrim = 0;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_.load() || !jobs_.empty(); });
            if (stop_.load())
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        PeakLevels levels;
        const Status status = measurePeakLevels(job.path, levels, &stop_);
        if (status == kErrAbort && stop_.load())
            return;  // shutting down: nobody waits for this answer
        job.done(status, std::move(levels));
        if (++sinceTrim == 8 || queued() == 0) {
            returnFreedMemory();
            sinceTrim = 0;
        }
    }
}

}  // namespace sonarel::media
