// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/WorkerPool.h"

#include <utility>

namespace sonarel::media::core {

WorkerPool::WorkerPool(int threads)
{
    for (int i = 1; i < threads; ++i)
        threads_.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    for (auto& t : threads_)
        t.join();
}

void WorkerPool::runTasks(const std::function<void(std::size_t)>& task, std::size_t count)
{
    for (std::size_t i = next_.fetch_add(1); i < count; i = next_.fetch_add(1)) {
        try {
            task(i);
        } catch (...) {
            std::lock_guard lock(mutex_);
            if (!error_)
                error_ = std::current_exception();
        }
    }
}

void WorkerPool::run(std::size_t count, const std::function<void(std::size_t)>& task)
{
    const bool shared = count > 1 && !threads_.empty();
    {
        std::lock_guard lock(mutex_);
        error_ = nullptr;
        task_ = &task;
        count_ = count;
        next_.store(0);
        busy_ = shared ? static_cast<int>(threads_.size()) : 0;
        if (shared)
            ++generation_;
    }
    if (shared)
        wake_.notify_all();
    runTasks(task, count);
    std::exception_ptr error;
    {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return busy_ == 0; });
        task_ = nullptr;
        error = std::exchange(error_, nullptr);
    }
    if (error)
        std::rethrow_exception(error);
}

void WorkerPool::work()
{
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
        runTasks(*task, count);
        std::lock_guard lock(mutex_);
        if (--busy_ == 0)
            done_.notify_one();
    }
}

}  // namespace sonarel::media::core
