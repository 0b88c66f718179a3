// SPDX-License-Identifier: GPL-3.0-or-later
// An encoded output written on a thread of its own: the mixing thread hands each block over and
// goes on mixing while the encoder takes it, so an encoded mix costs little more wall time than a
// WAV mix. Blocks are encoded one at a time in their order, so the file is the same as when they
// are encoded on the mixing thread. A failure is returned by the next write() or by finish().
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/media/core/MixOutput.h"

namespace sonarel::media::core {

class EncodingLane final : public MixOutput {
public:
    EncodingLane(std::unique_ptr<MixOutput> encoder, int channels);
    ~EncodingLane() override;
    EncodingLane(const EncodingLane&) = delete;
    EncodingLane& operator=(const EncodingLane&) = delete;

    Status write(const float* samples, std::size_t frames, Clipping& clipping) override;
    Status finish() override;
    std::string failureDetail() const override;
    bool kept() const override;

private:
    // Blocks waiting to be encoded: at most this many, then write() waits (memory stays bounded).
    static constexpr std::size_t kQueued = 3;

    void encode();

    std::unique_ptr<MixOutput> encoder_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<float>> queued_;  // interleaved samples, oldest first
    std::vector<std::vector<float>> spare_;  // buffers to reuse
    std::size_t channels_;
    Status error_ = kOk;
    bool closing_ = false;
    bool finished_ = false;
    Status finishStatus_ = kOk;
    Clipping clipping_;  // the encoder thread's, added to the caller's at finish()
    Clipping* callersClipping_ = nullptr;
    std::thread thread_;
};

}  // namespace sonarel::media::core
