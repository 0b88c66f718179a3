// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/RenderCore.h"

#include <algorithm>

namespace sonarel::media::core {

SourceSchedule::SourceSchedule(const std::vector<SourceEntry>& entries, int rate, std::int64_t fromFrame)
    : entries_(entries), starts_(entries.size(), 0), lengths_(entries.size(), 0), duck_(DuckEnvelope::of(entries, rate))
{
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (placement(entries_[i], rate, starts_[i], lengths_[i]) && starts_[i] + lengths_[i] > fromFrame)
            order_.push_back(i);
    // Ties keep the timeline order.
    std::stable_sort(order_.begin(), order_.end(),
                     [&](std::size_t a, std::size_t b) { return starts_[a] < starts_[b]; });
}

SourceSchedule::Sources SourceSchedule::admit(std::int64_t blockStart, std::int64_t blockEnd)
{
    Sources joining;
    while (next_ < order_.size() && starts_[order_[next_]] < blockEnd) {
        const std::size_t i = order_[next_++];
        if (starts_[i] + lengths_[i] <= blockStart)
            continue;
        joining.push_back(std::make_unique<PlayingSource>(entries_[i], i, starts_[i], lengths_[i],
                                                          entries_[i].shaping.duck.others ? nullptr : duck_));
    }
    return joining;
}

std::int64_t SourceSchedule::waiting(std::int64_t after, std::int64_t before) const
{
    std::int64_t count = 0;
    for (std::size_t k = next_; k < order_.size(); ++k) {
        const std::size_t i = order_[k];
        if (starts_[i] >= before)
            break;
        if (starts_[i] + lengths_[i] > after)
            ++count;
    }
    return count;
}

void sumParts(std::span<const PlayingSource* const> sources, int slot, std::int64_t frames, int channels, float* mix)
{
    const auto width = static_cast<std::size_t>(channels);
    std::fill(mix, mix + static_cast<std::size_t>(frames) * width, 0.0f);
    for (const PlayingSource* source : sources) {
        const PlayingSource::Part& part = source->part(slot);
        float* to = mix + static_cast<std::size_t>(part.offset) * width;
        const float* from = part.samples.data();
        const auto n = static_cast<std::size_t>(part.count) * width;
        for (std::size_t k = 0; k < n; ++k)
            to[k] += from[k];
    }
}

std::string readFailureDetail(const PlayingSource& source)
{
    const Failure& f = source.failure();
    return "Could not read the source file " + source.path() + ": " + errorText(f.status) + f.ffmpegSuffix();
}

}  // namespace sonarel::media::core
