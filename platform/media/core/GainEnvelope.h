// SPDX-License-Identifier: GPL-3.0-or-later
// The gain a source's shaping gives each of its output frames: the fade in and the fade out, and
// the short linear ramps on edges cut into the file's sound. Applied after the speed change and
// before the volume, on the frames the source contributes to the output.
#pragma once

#include <cstdint>

#include "platform/media/SourceShaping.h"

namespace sonarel::media::core {

class GainEnvelope {
public:
    GainEnvelope() = default;  // 1 everywhere
    // For a source of `length` output frames at `rate`. Lengths are rounded to frames as the
    // engine places sources; fades that together outlast the source shrink in proportion.
    GainEnvelope(const SourceShaping& shaping, std::int64_t length, int rate);

    // Whether every frame of [first, first + count) has a gain of exactly 1.
    bool unity(std::int64_t first, std::int64_t count) const;

    // The gain of frame k (0 <= k < length).
    float at(std::int64_t k) const;

    std::int64_t fadeInFrames() const { return fadeIn_; }
    std::int64_t fadeOutFrames() const { return fadeOut_; }

private:
    std::int64_t length_ = 0;
    std::int64_t fadeIn_ = 0;
    std::int64_t fadeOut_ = 0;
    std::int64_t rampIn_ = 0;
    std::int64_t rampOut_ = 0;
    bool equalPower_ = false;
};

}  // namespace sonarel::media::core
