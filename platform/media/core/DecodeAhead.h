// SPDX-License-Identifier: GPL-3.0-or-later
// The playing sources of a mix, decoded a few blocks ahead of the mixing on worker threads.
//
// The job's thread plans the blocks (where each begins, how long it is, which sources join in it)
// and takes them in their order. Each source keeps a ring of kPlayingParts parts: while one block
// is mixed, its sources can be filled for the blocks after it. A worker takes the source whose
// next block is the earliest (the dearest first among equals) rather than waiting at the end of
// every block for the slowest source of the block. A source is filled by one thread at a time,
// block after block, so its decoder stays sequential and its samples do not depend on which thread
// filled it. While the block it waits for is not ready, the job's thread fills sources too.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/media/core/PlayingSource.h"

namespace sonarel::media::core {

class DecodeAhead {
public:
    using Sources = std::vector<std::unique_ptr<PlayingSource>>;  // in timeline order

    struct Block {
        std::int64_t index = 0;  // 0 for the first block of the mix
        std::int64_t start = 0;
        std::int64_t frames = 0;
        int slot = 0;  // which part of each source holds this block
    };
    // A source that plays in the block taken, as it stood at the end of its part of that block.
    struct Member {
        const PlayingSource* source = nullptr;
        bool failed = false;      // reading it failed in this block: failure() says why
        bool silenced = false;    // some of its samples so far were not numbers
        bool endedEarly = false;  // its file was cut short while it played
    };

    // `threads` counts the job's thread; `request` gives the channels, the rate, the stop flag and
    // the fault injector of every fill (its block fields are set per fill).
    DecodeAhead(int threads, const BlockRequest& request);
    // Ends the workers (each finishes the part it fills), then closes the sources.
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // Everything below is called on the job's thread only.

    // Appends a block to the plan; `joining` are the sources that begin playing in it.
    void plan(std::int64_t start, std::int64_t frames, Sources joining);
    // Blocks planned and not yet released.
    std::size_t blocksAhead() const { return blocks_.size(); }
    // How many of the sources that joined still sound after `frame`.
    std::int64_t soundingAfter(std::int64_t frame) const;

    // Waits until every source of the oldest planned block has filled its part of it, filling
    // sources meanwhile. False when the stop flag was raised. An exception that a fill threw is
    // thrown again here.
    bool takeOldest();
    // After takeOldest(): the block and its sources in timeline order. Their parts of the block
    // (part(block.slot)) stay as they are until release().
    const Block& oldest() const { return taken_; }
    const std::vector<Member>& members() const { return members_; }
    // Gives the oldest block's parts back to the workers and closes the sources that end in it;
    // how many it closed.
    std::size_t release();

private:
    struct Slot {
        std::unique_ptr<PlayingSource> source;
        std::int64_t next = 0;  // the block it fills next
        bool busy = false;
        bool done = false;  // ended or failed: no more fills
        std::int64_t failedAt = -1;
        std::int64_t silencedFrom = -1;
        std::int64_t endedEarlyFrom = -1;
        std::chrono::steady_clock::duration cost{};  // of its last fill
    };
    struct PlannedBlock {
        Block block;
        std::int64_t waiting = 0;  // sources that play in it and have not filled their part yet
    };
    struct Task {
        Slot* slot = nullptr;
        std::int64_t block = 0;
        std::chrono::steady_clock::duration cost{};
        std::size_t order = 0;  // place on the timeline
    };
    struct LaterTask {  // the order of the ready queue: earliest block, then dearest, then timeline
        bool operator()(const Task& a, const Task& b) const;
    };

    void work();
    // Under the lock: hands out the next task, if any.
    bool nextTask(Task& task);
    // Runs the task outside the lock.
    void run(const Task& task, std::unique_lock<std::mutex>& lock);
    // Fills outside the lock, then notes the outcome under it.
    void fill(const Task& task, std::unique_lock<std::mutex>& lock);
    // Runs one task, or waits for a change when there is none.
    void helpOrWait(std::unique_lock<std::mutex>& lock);
    void queueIfPlanned(Slot& slot);
    PlannedBlock* planned(std::int64_t index);

    BlockRequest request_;
    // In timeline order. The vector changes on the job's thread only; a slot's fields other than
    // `source` are under mutex_.
    std::vector<std::unique_ptr<Slot>> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<PlannedBlock> blocks_;  // oldest first
    std::int64_t nextIndex_ = 0;       // of the next block planned
    std::vector<Task> ready_;          // a heap by LaterTask
    std::vector<Slot*> parked_;        // waiting for their next block to be planned
    std::exception_ptr error_;
    bool quit_ = false;
    Block taken_;
    std::vector<Member> members_;
    std::vector<std::thread> threads_;
};

}  // namespace sonarel::media::core
