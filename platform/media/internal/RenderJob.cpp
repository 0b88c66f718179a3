#include "platform/media/internal/RenderJob.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>
#include <system_error>

#include "platform/media/MediaLibrary.h"
#include "platform/media/internal/Files.h"
#include "platform/media/internal/SourceReader.h"
#include "platform/media/internal/WavWriter.h"

namespace sonarel::media::internal {

namespace {

constexpr std::int64_t kBlockFrames = 8192;
constexpr ReferenceTime kMaxTime = kLongestTime;
constexpr int kMaxWorkers = 16;

}  // namespace

bool frameAt(ReferenceTime t, int rate, std::int64_t& frame) {
    if (t < -kMaxTime || t > kMaxTime || rate <= 0 || rate > 1'000'000)
        return false;
    const std::int64_t scaled = t * rate;
    const std::int64_t half = kUnitsPerSecond / 2;
    frame = scaled >= 0 ? (scaled + half) / kUnitsPerSecond : -((-scaled + half) / kUnitsPerSecond);
    return true;
}

namespace {

// Where a source plays on the output, in frames; false when it plays nothing.
bool placement(const SourceEntry& e, int rate, std::int64_t& start, std::int64_t& frames) {
    std::int64_t stop = 0;
    if (!frameAt(e.timelineStart, rate, start) || !frameAt(e.timelineStop - e.timelineStart, rate, frames) ||
        !frameAt(e.timelineStop, rate, stop))
        return false;
    return frames > 0 && start + frames > 0;
}

}  // namespace

std::int64_t outputFrames(const std::vector<SourceEntry>& entries, int rate) {
    std::int64_t end = 0;
    for (const SourceEntry& e : entries) {
        std::int64_t start = 0;
        std::int64_t frames = 0;
        if (placement(e, rate, start, frames))
            end = std::max(end, start + frames);
    }
    return end;
}

// ---- WorkerPool ----

WorkerPool::WorkerPool(int threads) {
    for (int i = 1; i < threads; ++i)
        threads_.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    for (auto& t : threads_)
        t.join();
}

void WorkerPool::run(std::size_t count, const std::function<void(std::size_t)>& task) {
    if (threads_.empty() || count <= 1) {
        for (std::size_t i = 0; i < count; ++i)
            task(i);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        task_ = &task;
        count_ = count;
        next_.store(0);
        busy_ = static_cast<int>(threads_.size());
        ++generation_;
    }
    wake_.notify_all();
    for (std::size_t i = next_.fetch_add(1); i < count; i = next_.fetch_add(1))
        task(i);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return busy_ == 0; });
    task_ = nullptr;
}

void WorkerPool::work() {
    std::uint64_t seen = 0;
    for (;;) {
        const std::function<void(std::size_t)>* task = nullptr;
        std::size_t count = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
            if (quit_)
                return;
            seen = generation_;
            task = task_;
            count = count_;
        }
        for (std::size_t i = next_.fetch_add(1); i < count; i = next_.fetch_add(1))
            (*task)(i);
        std::lock_guard lock(mutex_);
        if (--busy_ == 0)
            done_.notify_one();
    }
}

// ---- conversion ----

void convertToPcm(const float* in, std::size_t samples, int bits, std::uint8_t* out) {
    if (bits == 8) {
        for (std::size_t i = 0; i < samples; ++i) {
            float v = in[i] * 128.0f + 128.0f;
            if (std::isnan(v))
                v = 128.0f;
            v = std::clamp(v, 0.0f, 255.0f);
            out[i] = static_cast<std::uint8_t>(std::lrint(v));
        }
        return;
    }
    for (std::size_t i = 0; i < samples; ++i) {
        float v = in[i] * 32768.0f;
        if (std::isnan(v))
            v = 0.0f;
        v = std::clamp(v, -32768.0f, 32767.0f);
        const auto s = static_cast<std::int16_t>(std::lrint(v));
        const auto u = static_cast<std::uint16_t>(s);
        out[2 * i] = static_cast<std::uint8_t>(u & 0xFF);
        out[2 * i + 1] = static_cast<std::uint8_t>(u >> 8);
    }
}

// ---- RenderJob ----

struct RenderJob::Output {
    WavWriter writer;
    std::string path;
};

// A source while it plays: its decoder and its share of the current block.
struct RenderJob::Slot {
    const SourceEntry* entry = nullptr;
    std::size_t index = 0;  // position on the timeline: the mixing order
    std::string path;
    std::int64_t start = 0;   // first output frame
    std::int64_t frames = 0;  // frames it contributes
    float volume = 1.0f;
    std::unique_ptr<SourceStream> stream;
    bool opened = false;
    bool ended = false;
    std::int64_t position = 0;  // frames of the source consumed so far (relative to `start`)
    std::int64_t offset = 0;    // where this block's part begins in the block
    std::int64_t count = 0;     // frames of this block's part
    std::vector<float> samples; // this block's part, in output channels, volume applied
    std::vector<float> scratch;
    Status status = kOk;
    std::chrono::steady_clock::duration cost{};  // time the last block took to fill

    std::int64_t end() const { return start + frames; }

    Status readFrames(std::int64_t n, float* out) {
        // Reads n frames in the stream's channels; silence once the stream has ended.
        const auto ch = static_cast<std::size_t>(stream ? stream->channels() : 1);
        std::int64_t got = 0;
        if (stream && !ended) {
            if (const Status s = stream->read(out, n, got); failed(s))
                return s;
            if (got < n)
                ended = true;
        }
        std::fill(out + static_cast<std::size_t>(got) * ch, out + static_cast<std::size_t>(n) * ch, 0.0f);
        return kOk;
    }

    void fill(std::int64_t blockStart, std::int64_t blockFrames, int outChannels, int rate,
              const std::atomic<bool>& stop, EngineContext& context) {
        const std::int64_t from = std::max(blockStart, start);
        const std::int64_t to = std::min(blockStart + blockFrames, end());
        offset = from - blockStart;
        count = std::max<std::int64_t>(to - from, 0);
        if (count == 0 || failed(status))
            return;
        if (!opened) {
            opened = true;
            const ReferenceTime mediaLength = entry->mediaStop - entry->mediaStart;
            const ReferenceTime timelineLength = entry->timelineStop - entry->timelineStart;
            if (mediaLength > 0 && timelineLength > 0) {
                StreamSettings settings;
                settings.outputRate = rate;
                settings.speedNum = mediaLength;
                settings.speedDen = timelineLength;
                settings.stop = &stop;
                settings.faults = &context.faults;
                stream = std::make_unique<SourceStream>();
                if (const Status s = stream->open(path, settings); failed(s)) {
                    stream.reset();
                    status = s;
                    return;
                }
                // A media start after 0 is skipped in output frames.
                std::int64_t skip = 0;
                if (entry->mediaStart > 0 && frameAt(entry->mediaStart, rate, skip))
                    position -= static_cast<std::int64_t>(
                        std::llround(static_cast<double>(skip) * static_cast<double>(timelineLength) /
                                     static_cast<double>(mediaLength)));
            } else {
                ended = true;  // nothing to play: silence for its span
            }
        }
        const int srcChannels = stream ? stream->channels() : 1;
        // Skip what lies before this block (a start before 0, or a media start).
        const std::int64_t wantedPosition = from - start;
        while (position < wantedPosition) {
            const std::int64_t n = std::min<std::int64_t>(wantedPosition - position, kBlockFrames);
            scratch.resize(static_cast<std::size_t>(n * srcChannels));
            if (const Status s = readFrames(n, scratch.data()); failed(s)) {
                status = s;
                return;
            }
            position += n;
        }
        scratch.resize(static_cast<std::size_t>(count * srcChannels));
        if (const Status s = readFrames(count, scratch.data()); failed(s)) {
            status = s;
            return;
        }
        position += count;
        samples.resize(static_cast<std::size_t>(count * outChannels));
        const auto n = static_cast<std::size_t>(count);
        const float* in = scratch.data();
        float* out = samples.data();
        if (srcChannels == outChannels) {
            for (std::size_t i = 0; i < n * static_cast<std::size_t>(outChannels); ++i)
                out[i] = in[i] * volume;
        } else if (outChannels == 2) {  // mono source on both channels at full level
            for (std::size_t i = 0; i < n; ++i)
                out[2 * i] = out[2 * i + 1] = in[i] * volume;
        } else {  // stereo to mono: the mean
            for (std::size_t i = 0; i < n; ++i)
                out[i] = (in[2 * i] + in[2 * i + 1]) * 0.5f * volume;
        }
    }
};

RenderJob::RenderJob(std::shared_ptr<EngineContext> context, std::vector<SourceEntry> entries, WaveFormat format,
                     std::u16string outputName, EventSink sink)
    : context_(std::move(context)),
      entries_(std::move(entries)),
      format_(format),
      outputName_(std::move(outputName)),
      sink_(std::move(sink)) {
    totalFrames_ = outputFrames(entries_, static_cast<int>(format_.samplesPerSec));
}

RenderJob::~RenderJob() {
    stop();
    if (thread_.joinable())
        thread_.join();
}

Status RenderJob::start() {
    if (thread_.joinable() || output_)
        return kErrWrongState;
    output_ = std::make_unique<Output>();
    output_->path = toUtf8(outputName_);
    if (const Status s = output_->writer.open(output_->path, format_, context_->options.rf64Threshold, &context_->faults);
        failed(s)) {
        output_.reset();
        return s;
    }
    running_.store(true);
    try {
        thread_ = std::thread([this] { main(); });
    } catch (const std::system_error&) {
        output_->writer.finish();
        running_.store(false);
        return kErrOutOfMemory;
    }
    return kOk;
}

void RenderJob::stop() {
    stop_.store(true);
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void RenderJob::main() {
    const int rate = static_cast<int>(format_.samplesPerSec);
    const int channels = format_.channels;
    const int bytesPerSample = format_.bitsPerSample / 8;
    int workers = context_->options.workerThreads;
    if (workers <= 0)
        workers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    workers = std::min(workers, kMaxWorkers);

    Status status = kOk;
    std::string detail;

    // Sources in the order they start; ties keep the timeline order.
    std::vector<std::size_t> order;
    std::vector<std::int64_t> starts(entries_.size(), 0);
    std::vector<std::int64_t> lengths(entries_.size(), 0);
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (placement(entries_[i], rate, starts[i], lengths[i]))
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return starts[a] < starts[b]; });

    {
        WorkerPool pool(workers);
        std::vector<std::unique_ptr<Slot>> active;  // sorted by timeline order
        std::vector<Slot*> byCost;                  // the same, in the order the workers take them
        std::vector<float> mix(static_cast<std::size_t>(kBlockFrames * channels));
        std::vector<std::uint8_t> pcm(static_cast<std::size_t>(kBlockFrames * channels * bytesPerSample));
        std::size_t next = 0;
        for (std::int64_t blockStart = 0; blockStart < totalFrames_; blockStart += kBlockFrames) {
            if (stop_.load())
                break;
            const std::int64_t frames = std::min(kBlockFrames, totalFrames_ - blockStart);
            while (next < order.size() && starts[order[next]] < blockStart + frames) {
                const std::size_t i = order[next++];
                if (starts[i] + lengths[i] <= blockStart)
                    continue;
                auto slot = std::make_unique<Slot>();
                slot->entry = &entries_[i];
                slot->index = i;
                slot->path = toUtf8(entries_[i].name);
                slot->start = starts[i];
                slot->frames = lengths[i];
                slot->volume = static_cast<float>(entries_[i].volume);
                const auto at = std::lower_bound(active.begin(), active.end(), i,
                                                 [](const auto& s, std::size_t index) { return s->index < index; });
                active.insert(at, std::move(slot));
            }
            // The dearest sources of the last block go first, so no thread is left with one big
            // task at the end of the block while the other waits. Only the order of the work
            // changes: the mix below keeps the timeline order.
            byCost.resize(active.size());
            for (std::size_t k = 0; k < active.size(); ++k)
                byCost[k] = active[k].get();
            std::stable_sort(byCost.begin(), byCost.end(),
                             [](const Slot* a, const Slot* b) { return a->cost > b->cost; });
            pool.run(byCost.size(), [&](std::size_t k) {
                Slot& slot = *byCost[k];
                const auto began = std::chrono::steady_clock::now();
                try {
                    slot.fill(blockStart, frames, channels, rate, stop_, *context_);
                } catch (const std::bad_alloc&) {
                    slot.status = kErrOutOfMemory;
                }
                slot.cost = std::chrono::steady_clock::now() - began;
            });
            if (stop_.load())
                break;
            for (const auto& slot : active)
                if (failed(slot->status)) {
                    status = slot->status;
                    detail = "Could not read the source file " + slot->path + ": " + errorText(status);
                    break;
                }
            if (failed(status))
                break;
            const auto samples = static_cast<std::size_t>(frames * channels);
            std::fill(mix.begin(), mix.begin() + static_cast<std::ptrdiff_t>(samples), 0.0f);
            for (const auto& slot : active) {
                float* to = mix.data() + slot->offset * channels;
                const std::size_t n = static_cast<std::size_t>(slot->count * channels);
                for (std::size_t k = 0; k < n; ++k)
                    to[k] += slot->samples[k];
            }
            std::erase_if(active, [&](const auto& s) { return s->end() <= blockStart + frames; });
            convertToPcm(mix.data(), samples, format_.bitsPerSample, pcm.data());
            if (const Status s = output_->writer.write(pcm.data(), samples * static_cast<std::size_t>(bytesPerSample));
                failed(s)) {
                status = s;
                break;
            }
            framesWritten_.store(blockStart + frames, std::memory_order_relaxed);
        }
    }  // sources closed, workers joined

    const Status finished = output_->writer.finish();
    if (succeeded(status) && failed(finished))
        status = finished;
    if (failed(status) && detail.empty())
        detail = "Could not write the output file " + output_->path + ": " + errorText(status);
    running_.store(false);
    if (stop_.load() && (succeeded(status) || status == kErrAbort))
        return;  // stopped by the caller: no event
    if (sink_) {
        GraphEvent event;
        event.code = failed(status) ? kEventErrorAbort : kEventComplete;
        event.status = status;
        event.detail = detail;
        sink_(event);
    }
}

}  // namespace sonarel::media::internal
