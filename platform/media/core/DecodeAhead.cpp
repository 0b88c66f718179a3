// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/DecodeAhead.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace sonarel::media::core {

// The ready queue is a max-heap: "later" tasks sink.
bool DecodeAhead::LaterTask::operator()(const Task& a, const Task& b) const
{
    if (a.block != b.block)
        return a.block > b.block;
    if (a.cost != b.cost)
        return a.cost < b.cost;
    return a.order > b.order;
}

DecodeAhead::DecodeAhead(int threads, const BlockRequest& request) : request_(request)
{
    // The job's thread fills sources too: with fewer workers than asked, or none, the mix is
    // slower but the same.
    try {
        for (int i = 1; i < threads; ++i)
            threads_.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
    }
}

DecodeAhead::~DecodeAhead()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    for (auto& thread : threads_)
        thread.join();
}

std::int64_t DecodeAhead::soundingAfter(std::int64_t frame) const
{
    return std::count_if(slots_.begin(), slots_.end(), [&](const auto& slot) { return slot->source->end() > frame; });
}

void DecodeAhead::plan(std::int64_t start, std::int64_t frames, Sources joining)
{
    PlannedBlock next;
    next.block = {nextIndex_, start, frames, static_cast<int>(nextIndex_ % kPlayingParts)};
    std::vector<Slot*> added;
    added.reserve(joining.size());
    // Every allocation happens here, on the job's thread: the workers queue and park without one.
    std::vector<Slot*> parked;
    parked.reserve(slots_.size() + joining.size());
    for (auto& source : joining) {
        auto slot = std::make_unique<Slot>();
        slot->source = std::move(source);
        slot->next = nextIndex_;
        const auto at = std::lower_bound(slots_.begin(), slots_.end(), slot->source->index(),
                                         [](const auto& s, std::size_t index) { return s->source->index() < index; });
        added.push_back(slot.get());
        slots_.insert(at, std::move(slot));
    }
    {
        std::lock_guard lock(mutex_);
        // A source that failed is done before the block it would play in; the mix ends at its
        // failure and never waits for this block.
        next.waiting = std::count_if(slots_.begin(), slots_.end(),
                                     [&](const auto& slot) { return !slot->done && slot->source->end() > start; });
        blocks_.push_back(next);
        ++nextIndex_;
        ready_.reserve(slots_.size());
        // Whoever waited for this block may fill it now.
        parked.swap(parked_);
        for (Slot* slot : parked)
            queueIfPlanned(*slot);
        for (Slot* slot : added)
            queueIfPlanned(*slot);
    }
    changed_.notify_all();
}

bool DecodeAhead::takeOldest()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        if (error_)
            std::rethrow_exception(std::exchange(error_, nullptr));
        if (blocks_.empty() || (request_.stop && request_.stop->load()))
            return false;
        if (blocks_.front().waiting == 0)
            break;
        helpOrWait(lock);
    }
    taken_ = blocks_.front().block;
    const std::int64_t end = taken_.start + taken_.frames;
    members_.clear();
    for (const auto& slot : slots_) {
        const PlayingSource& source = *slot->source;
        if (source.start() >= end || source.end() <= taken_.start)
            continue;
        const auto since = [&](std::int64_t block) { return block >= 0 && block <= taken_.index; };
        members_.push_back({&source, since(slot->failedAt), since(slot->silencedFrom), since(slot->endedEarlyFrom)});
    }
    return true;
}

std::size_t DecodeAhead::release()
{
    {
        std::lock_guard lock(mutex_);
        blocks_.pop_front();
    }
    members_.clear();
    // The sources that end in this block filled their last part: none is busy or queued. Closing
    // them takes no lock, so the workers go on meanwhile.
    const std::int64_t end = taken_.start + taken_.frames;
    return std::erase_if(slots_, [&](const auto& slot) { return slot->source->end() <= end; });
}

// Whatever the job's thread waits for, some task under way or queued leads to it, and the end of
// every task wakes it.
void DecodeAhead::helpOrWait(std::unique_lock<std::mutex>& lock)
{
    if (Task task; nextTask(task))
        fill(task, lock);
    else
        changed_.wait(lock);
}

void DecodeAhead::work()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return quit_ || !ready_.empty(); });
        if (quit_)
            return;
        if (Task task; nextTask(task))
            fill(task, lock);
    }
}

bool DecodeAhead::nextTask(Task& task)
{
    if (ready_.empty())
        return false;
    std::pop_heap(ready_.begin(), ready_.end(), LaterTask{});
    task = ready_.back();
    ready_.pop_back();
    task.slot->busy = true;
    return true;
}

void DecodeAhead::fill(const Task& task, std::unique_lock<std::mutex>& lock)
{
    const Block block = planned(task.block)->block;
    BlockRequest request = request_;
    request.start = block.start;
    request.frames = block.frames;
    request.slot = block.slot;
    PlayingSource& source = *task.slot->source;
    lock.unlock();
    std::exception_ptr thrown;
    bool failedNow = false;
    bool silenced = false;
    bool endedEarly = false;
    try {
        source.fill(request);
        failedNow = failed(source.failure().status);
        silenced = source.silencedNonFinite();
        endedEarly = source.endedEarly();
    } catch (...) {
        thrown = std::current_exception();
    }
    const auto cost = source.cost();
    lock.lock();
    Slot& slot = *task.slot;
    slot.busy = false;
    slot.cost = cost;
    if (thrown && !error_)
        error_ = thrown;
    if (failedNow && slot.failedAt < 0)
        slot.failedAt = task.block;
    if (silenced && slot.silencedFrom < 0)
        slot.silencedFrom = task.block;
    if (endedEarly && slot.endedEarlyFrom < 0)
        slot.endedEarlyFrom = task.block;
    --planned(task.block)->waiting;
    if (thrown || failedNow || source.end() <= block.start + block.frames) {
        slot.done = true;
    } else {
        slot.next = task.block + 1;
        queueIfPlanned(slot);
    }
    changed_.notify_all();
}

void DecodeAhead::queueIfPlanned(Slot& slot)
{
    if (!planned(slot.next)) {
        parked_.push_back(&slot);
        return;
    }
    ready_.push_back({&slot, slot.next, slot.cost, slot.source->index()});
    std::push_heap(ready_.begin(), ready_.end(), LaterTask{});
}

DecodeAhead::PlannedBlock* DecodeAhead::planned(std::int64_t index)
{
    if (blocks_.empty())
        return nullptr;
    const std::int64_t at = index - blocks_.front().block.index;
    if (at < 0 || at >= static_cast<std::int64_t>(blocks_.size()))
        return nullptr;
    return &blocks_[static_cast<std::size_t>(at)];
}

}  // namespace sonarel::media::core
