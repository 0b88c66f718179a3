// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the tasks of one batch on a fixed set of threads plus the calling one. run() is called on
// one thread at a time, the owner's.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace sonarel::media::core {

class WorkerPool {
public:
    explicit WorkerPool(int threads);  // total threads, the caller included
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Calls task(i) for every i < count and returns when all are done. A task that throws does
    // not stop the others or any thread: once the batch is done, the first exception is thrown
    // again here, on the caller's thread, and the pool stays ready for the next batch.
    void run(std::size_t count, const std::function<void(std::size_t)>& task);

private:
    void work();
    void runTasks(const std::function<void(std::size_t)>& task, std::size_t count);

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
    std::exception_ptr error_;  // the first exception of the current batch
};

}  // namespace sonarel::media::core
