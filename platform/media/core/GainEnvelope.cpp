// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/GainEnvelope.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/media/core/Placement.h"

namespace sonarel::media::core {

namespace {

std::int64_t framesOf(REFERENCE_TIME t, int rate)
{
    std::int64_t frames = 0;
    if (t <= 0 || !frameAt(t, rate, frames))
        return t > 0 ? kLongestTime : 0;  // beyond the engine's range: longer than any source
    return std::max<std::int64_t>(frames, 0);
}

// A linear rise over `over` frames, at `k` frames from its quiet end.
double rise(std::int64_t k, std::int64_t over)
{
    return static_cast<double>(k) / static_cast<double>(over);
}

}  // namespace

GainEnvelope::GainEnvelope(const SourceShaping& shaping, std::int64_t length, int rate)
    : length_(std::max<std::int64_t>(length, 0)), equalPower_(shaping.fadeShape == FadeShape::EqualPower)
{
    fadeIn_ = framesOf(shaping.fadeIn, rate);
    fadeOut_ = framesOf(shaping.fadeOut, rate);
    if (fadeIn_ + fadeOut_ > length_) {
        // Both shrink in proportion, and meet: the gain peaks at 1 for one frame between them.
        const auto total = static_cast<double>(fadeIn_) + static_cast<double>(fadeOut_);
        fadeIn_ = std::llround(static_cast<double>(fadeIn_) * static_cast<double>(length_) / total);
        fadeOut_ = length_ - fadeIn_;
    }
    rampIn_ = std::min(framesOf(shaping.cutRampIn, rate), length_);
    rampOut_ = std::min(framesOf(shaping.cutRampOut, rate), length_);
}

bool GainEnvelope::unity(std::int64_t first, std::int64_t count) const
{
    if (fadeIn_ == 0 && fadeOut_ == 0 && rampIn_ == 0 && rampOut_ == 0)
        return true;
    const std::int64_t quietStart = std::max(fadeIn_, rampIn_);
    const std::int64_t quietEnd = length_ - std::max(fadeOut_, rampOut_);
    return first >= quietStart && first + count <= quietEnd;
}

float GainEnvelope::at(std::int64_t k) const
{
    double gain = 1.0;
    const auto shape = [this](double x) { return equalPower_ ? std::sin(x * std::numbers::pi / 2.0) : x; };
    if (k < fadeIn_)
        gain *= shape(rise(k, fadeIn_));
    if (k >= length_ - fadeOut_)
        gain *= shape(rise(length_ - k, fadeOut_));
    if (k < rampIn_)
        gain *= rise(k, rampIn_);
    if (k >= length_ - rampOut_)
        gain *= rise(length_ - k, rampOut_);
    return static_cast<float>(gain);
}

}  // namespace sonarel::media::core
