// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/EncodingLane.h"

#include <algorithm>

namespace sonarel::media::core {

EncodingLane::EncodingLane(std::unique_ptr<MixOutput> encoder, int channels)
    : encoder_(std::move(encoder)), channels_(static_cast<std::size_t>(std::max(channels, 1)))
{
    thread_ = std::thread([this] { encode(); });
}

EncodingLane::~EncodingLane()
{
    static_cast<void>(finish());
}

Status EncodingLane::write(const float* samples, std::size_t frames, Clipping& clipping)
{
    std::unique_lock lock(mutex_);
    callersClipping_ = &clipping;
    changed_.wait(lock, [&] { return queued_.size() < kQueued || failed(error_); });
    if (failed(error_))
        return error_;
    std::vector<float> block;
    if (!spare_.empty()) {
        block = std::move(spare_.back());
        spare_.pop_back();
    }
    lock.unlock();
    block.assign(samples, samples + frames * channels_);
    lock.lock();
    queued_.push_back(std::move(block));
    changed_.notify_all();
    return kOk;
}

void EncodingLane::encode()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return closing_ || !queued_.empty(); });
        if (queued_.empty())
            return;  // closing, and every block is written
        std::vector<float> block = std::move(queued_.front());
        queued_.pop_front();
        const bool failedBefore = failed(error_);
        lock.unlock();
        // After a failure the rest is dropped: the file is not kept.
        const Status written = failedBefore ? kOk : encoder_->write(block.data(), block.size() / channels_, clipping_);
        lock.lock();
        if (failed(written) && succeeded(error_))
            error_ = written;
        spare_.push_back(std::move(block));
        changed_.notify_all();
    }
}

Status EncodingLane::finish()
{
    {
        std::lock_guard lock(mutex_);
        if (finished_)
            return finishStatus_;
        finished_ = true;
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
    // The encoder keeps its first failure, which its finish() returns.
    finishStatus_ = encoder_->finish();
    if (succeeded(finishStatus_) && failed(error_))
        finishStatus_ = error_;
    if (callersClipping_) {
        callersClipping_->samples += clipping_.samples;
        callersClipping_->peak = std::max(callersClipping_->peak, clipping_.peak);
    }
    return finishStatus_;
}

std::string EncodingLane::failureDetail() const
{
    return encoder_->failureDetail();
}

bool EncodingLane::kept() const
{
    return encoder_->kept();
}

}  // namespace sonarel::media::core
