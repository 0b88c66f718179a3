// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/PlaybackRender.h"

#include <algorithm>
#include <new>

#include "platform/media/core/PlayingSource.h"
#include "platform/media/core/WorkerPool.h"

namespace sonarel::media::core {

namespace {
constexpr int kMaxWorkers = 16;
}

PlaybackRender::PlaybackRender(std::vector<SourceEntry> entries, const WaveFormat& format, std::int64_t fromFrame,
                               int workers, FaultInjector* faults)
    : entries_(std::move(entries)),
      format_(format),
      faults_(faults),
      pool_(std::make_unique<WorkerPool>(std::clamp(workers, 1, kMaxWorkers)))
{
    const int rate = static_cast<int>(format_.samplesPerSec);
    totalFrames_ = outputFrames(entries_, rate);
    position_ = std::clamp<std::int64_t>(fromFrame, 0, totalFrames_);
    starts_.assign(entries_.size(), 0);
    lengths_.assign(entries_.size(), 0);
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (placement(entries_[i], rate, starts_[i], lengths_[i]) && starts_[i] + lengths_[i] > position_)
            order_.push_back(i);
    // Ties keep the timeline order.
    std::stable_sort(order_.begin(), order_.end(),
                     [&](std::size_t a, std::size_t b) { return starts_[a] < starts_[b]; });
}

// The sources close before the pool stops.
PlaybackRender::~PlaybackRender()
{
    playing_.clear();
}

Status PlaybackRender::next(std::vector<std::uint8_t>& pcm, std::int64_t& frames)
{
    frames = 0;
    if (failed(failure_))
        return failure_;
    const std::int64_t count = std::min(kBlockFrames, totalFrames_ - position_);
    if (count <= 0)
        return kOk;
    try {
        admitSources(count);
        if (const Status s = decode(count); failed(s)) {
            failure_ = s;
            return s;
        }
        const auto channels = static_cast<std::size_t>(format_.channels);
        const auto samples = static_cast<std::size_t>(count) * channels;
        mix_.assign(samples, 0.0f);
        // Summed in timeline order, as the file's blocks are: the same sums to the last bit.
        for (const auto& source : playing_) {
            const PlayingSource::Part& part = source->part(0);
            float* to = mix_.data() + static_cast<std::size_t>(part.offset) * channels;
            const float* from = part.samples.data();
            const auto n = static_cast<std::size_t>(part.count) * channels;
            for (std::size_t k = 0; k < n; ++k)
                to[k] += from[k];
        }
        pcm.resize(samples * static_cast<std::size_t>(format_.bitsPerSample / 8));
        convertToPcm(mix_.data(), samples, format_.bitsPerSample, pcm.data(), clipping_);
    } catch (const std::bad_alloc&) {
        failure_ = kErrOutOfMemory;
        detail_ = "Playback ran out of memory.";
        return failure_;
    }
    position_ += count;
    frames = count;
    std::erase_if(playing_, [&](const auto& source) { return source->end() <= position_; });
    return kOk;
}

// Starts the sources that begin before the end of the next block.
void PlaybackRender::admitSources(std::int64_t blockFrames)
{
    while (nextSource_ < order_.size() && starts_[order_[nextSource_]] < position_ + blockFrames) {
        const std::size_t i = order_[nextSource_++];
        auto source = std::make_unique<PlayingSource>(entries_[i], i, starts_[i], lengths_[i]);
        const auto at = std::lower_bound(playing_.begin(), playing_.end(), i,
                                         [](const auto& s, std::size_t index) { return s->index() < index; });
        playing_.insert(at, std::move(source));
    }
}

Status PlaybackRender::decode(std::int64_t blockFrames)
{
    BlockRequest block;
    block.start = position_;
    block.frames = blockFrames;
    block.channels = format_.channels;
    block.rate = static_cast<int>(format_.samplesPerSec);
    block.slot = 0;
    block.stop = &stop_;
    block.faults = faults_;
    pool_->run(playing_.size(), [&](std::size_t k) { playing_[k]->fill(block); });
    if (stop_.load())
        return kErrAbort;
    for (const auto& source : playing_)
        if (const Failure& f = source->failure(); failed(f.status)) {
            detail_ = "Could not read the source file " + source->path() + ": " + errorText(f.status) +
                      f.ffmpegSuffix();
            return f.status;
        }
    return kOk;
}

}  // namespace sonarel::media::core
