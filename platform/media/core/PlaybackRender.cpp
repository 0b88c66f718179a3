// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/PlaybackRender.h"

#include <algorithm>
#include <new>

#include "platform/media/core/PlayingSource.h"
#include "platform/media/core/WorkerPool.h"

namespace sonarel::media::core {

PlaybackRender::PlaybackRender(std::vector<SourceEntry> entries, const WaveFormat& format, std::int64_t fromFrame,
                               int workers, FaultInjector* faults)
    : entries_(std::move(entries)),
      format_(format),
      faults_(faults),
      totalFrames_(outputFrames(entries_, static_cast<int>(format_.samplesPerSec))),
      position_(std::clamp<std::int64_t>(fromFrame, 0, totalFrames_)),
      firstFrame_(position_),
      schedule_(entries_, static_cast<int>(format_.samplesPerSec), position_),
      pool_(std::make_unique<WorkerPool>(std::clamp(workers, 1, kMaxRenderWorkers)))
{
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
        const auto samples = static_cast<std::size_t>(count) * static_cast<std::size_t>(format_.channels);
        mix_.resize(samples);
        sounding_.clear();
        for (const auto& source : playing_)
            sounding_.push_back(source.get());
        sumParts(sounding_, 0, count, format_.channels, mix_.data());
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

void PlaybackRender::rampVolumes(std::vector<double> previous, std::int64_t frames)
{
    rampFrom_ = std::move(previous);
    rampFrames_ = frames;
}

// Starts the sources that begin before the end of the next block.
void PlaybackRender::admitSources(std::int64_t blockFrames)
{
    for (auto& source : schedule_.admit(position_, position_ + blockFrames)) {
        const std::size_t i = source->index();
        if (i < rampFrom_.size() && rampFrom_[i] != entries_[i].volume)
            source->rampVolume(static_cast<float>(rampFrom_[i]), firstFrame_, rampFrames_);
        if (stretchFromStart_)
            source->stretchFromFirstBlock();
        const auto at = std::lower_bound(playing_.begin(), playing_.end(), source->index(),
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
        if (const Status s = source->failure().status; failed(s)) {
            detail_ = readFailureDetail(*source);
            return s;
        }
    return kOk;
}

}  // namespace sonarel::media::core
