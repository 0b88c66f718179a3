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
    auto span = std::upper_bound(spans_.begin(), spans_.end(), first,
                                 [this](std::int64_t f, const Span& s) { return f < s.end + release_; });
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t frame = first + i;
        while (span != spans_.end() && frame >= span->end + release_)
            ++span;
        if (span == spans_.end())
            return;
        if (frame < span->start - attack_) {  // up to the next attack: 1
            i = span->start - attack_ - first - 1;
            continue;
        }
        double up = 0.0;  // as at() has it
        if (frame < span->start)
            up = static_cast<double>(span->start - frame) / static_cast<double>(attack_);
        else if (frame >= span->end)
            up = static_cast<double>(frame - span->end) / static_cast<double>(release_);
        gains[i] *= static_cast<float>(depth_ + (1.0 - depth_) * up);
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
