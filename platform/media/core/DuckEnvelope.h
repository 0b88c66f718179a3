// SPDX-License-Identifier: GPL-3.0-or-later
// The gain that ducking gives every source that is not a voice, as a function of output frames:
// 1 away from the voices, the depth while one plays, with linear ramps (in amplitude) over the
// attack before and the release after. Voices closer together than attack + release are one span,
// so the others do not come up between sentences. Made once per render from its sources and
// shared, read-only, by the threads that fill them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/media/core/Placement.h"

namespace sonarel::media::core {

class DuckEnvelope {
public:
    struct Span {
        std::int64_t start = 0;  // first output frame at the depth
        std::int64_t end = 0;    // the frame after the last one at the depth
    };

    // The envelope of the voices among `entries` placed at `rate`; null when none is a voice, so
    // that a render without voices does exactly what it did without ducking.
    static std::shared_ptr<const DuckEnvelope> of(const std::vector<SourceEntry>& entries, int rate);

    // Voice spans in any order; attack and release in frames.
    DuckEnvelope(std::vector<Span> voices, double depthDb, std::int64_t attack, std::int64_t release);

    // Whether every frame of [first, first + count) has a gain of exactly 1.
    bool unity(std::int64_t first, std::int64_t count) const;
    // The gain at output frame `frame`.
    float at(std::int64_t frame) const;
    // Multiplies gains[i] by the gain of frame first + i, for i below count: at() for a block,
    // without a search per frame.
    void multiply(std::int64_t first, std::int64_t count, float* gains) const;

    const std::vector<Span>& spans() const { return spans_; }  // merged, in order
    std::int64_t attack() const { return attack_; }
    std::int64_t release() const { return release_; }
    double depthGain() const { return depth_; }

private:
    std::vector<Span> spans_;
    double depth_ = 1.0;
    std::int64_t attack_ = 0;
    std::int64_t release_ = 0;
};

}  // namespace sonarel::media::core
