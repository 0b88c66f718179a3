// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/DuckEnvelope.h"

#include <algorithm>
#include <cmath>

namespace sonarel::media::core {

namespace {

std::int64_t rampFrames(REFERENCE_TIME t, int rate)
{
    std::int64_t frames = 0;
    return t > 0 && frameAt(t, rate, frames) ? std::max<std::int64_t>(frames, 0) : 0;
}

}  // namespace

std::shared_ptr<const DuckEnvelope> DuckEnvelope::of(const std::vector<SourceEntry>& entries, int rate)
{
    std::vector<Span> voices;
    const DuckShape* shape = nullptr;
    for (const SourceEntry& entry : entries) {
        Span span;
        std::int64_t frames = 0;
        if (!entry.shaping.duck.others || !placement(entry, rate, span.start, frames))
            continue;
        span.end = span.start + frames;
        voices.push_back(span);
        shape = &entry.shaping.duck;
    }
    if (!shape)
        return nullptr;
    return std::make_shared<const DuckEnvelope>(std::move(voices), shape->depthDb, rampFrames(shape->attack, rate),
                                                rampFrames(shape->release, rate));
}

DuckEnvelope::DuckEnvelope(std::vector<Span> voices, double depthDb, std::int64_t attack, std::int64_t release)
    : depth_(std::pow(10.0, std::min(depthDb, 0.0) / 20.0)),
      attack_(std::max<std::int64_t>(attack, 0)),
      release_(std::max<std::int64_t>(release, 0))
{
    std::sort(voices.begin(), voices.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    for (const Span& voice : voices) {
        // A gap shorter than the release and the attack together stays down.
        if (!spans_.empty() && voice.start - attack_ < spans_.back().end + release_)
            spans_.back().end = std::max(spans_.back().end, voice.end);
        else
            spans_.push_back(voice);
    }
}

bool DuckEnvelope::unity(std::int64_t first, std::int64_t count) const
{
    const std::int64_t last = first + count;
    // The first span whose release ends after `first`.
    const auto span = std::upper_bound(spans_.begin(), spans_.end(), first,
                                       [this](std::int64_t f, const Span& s) { return f < s.end + release_; });
    return span == spans_.end() || span->start - attack_ >= last;
}

void DuckEnvelope::multiply(std::int64_t first, std::int64_t count, float* gains) const
{
    const std::int64_t last = first + count;
    // The same value as at() gives, frame by frame, in the three stretches of each span.
    const auto level = [this](double up) { return static_cast<float>(depth_ + (1.0 - depth_) * up); };
    auto span = std::upper_bound(spans_.begin(), spans_.end(), first,
                                 [this](std::int64_t f, const Span& s) { return f < s.end + release_; });
    for (; span != spans_.end() && span->start - attack_ < last; ++span) {
        const std::int64_t holdFrom = std::clamp(span->start, first, last);
        const std::int64_t releaseFrom = std::clamp(span->end, first, last);
        const std::int64_t releaseTo = std::clamp(span->end + release_, first, last);
        for (std::int64_t k = std::max(first, span->start - attack_); k < holdFrom; ++k)
            gains[k - first] *= level(static_cast<double>(span->start - k) / static_cast<double>(attack_));
        const float depth = level(0.0);
        for (std::int64_t k = holdFrom; k < releaseFrom; ++k)
            gains[k - first] *= depth;
        for (std::int64_t k = releaseFrom; k < releaseTo; ++k)
            gains[k - first] *= level(static_cast<double>(k - span->end) / static_cast<double>(release_));
    }
}

float DuckEnvelope::at(std::int64_t frame) const
{
    const auto span = std::upper_bound(spans_.begin(), spans_.end(), frame,
                                       [this](std::int64_t f, const Span& s) { return f < s.end + release_; });
    if (span == spans_.end() || frame < span->start - attack_)
        return 1.0f;
    double up = 0.0;  // how far from the depth back to 1
    if (frame < span->start)
        up = static_cast<double>(span->start - frame) / static_cast<double>(attack_);
    else if (frame >= span->end)
        up = static_cast<double>(frame - span->end) / static_cast<double>(release_);
    return static_cast<float>(depth_ + (1.0 - depth_) * up);
}

}  // namespace sonarel::media::core
