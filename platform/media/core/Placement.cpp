// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/Placement.h"

#include <algorithm>
#include <utility>

namespace sonarel::media::core {

namespace {
constexpr REFERENCE_TIME kMaxTime = kLongestTime;
}

SharedName sharedName(std::u16string name)
{
    return std::make_shared<const std::u16string>(std::move(name));
}

const std::u16string& SourceEntry::fileName() const
{
    static const std::u16string none;
    return name ? *name : none;
}

bool frameAt(REFERENCE_TIME t, int rate, std::int64_t& frame)
{
    if (t < -kMaxTime || t > kMaxTime || rate <= 0 || rate > 1'000'000)
        return false;
    const std::int64_t scaled = t * rate;
    const std::int64_t half = kReferenceUnitsPerSecond / 2;
    frame = scaled >= 0 ? (scaled + half) / kReferenceUnitsPerSecond : -((-scaled + half) / kReferenceUnitsPerSecond);
    return true;
}

bool placement(const SourceEntry& e, int rate, std::int64_t& start, std::int64_t& frames)
{
    std::int64_t stop = 0;
    if (!frameAt(e.timelineStart, rate, start) || !frameAt(e.timelineStop - e.timelineStart, rate, frames) ||
        !frameAt(e.timelineStop, rate, stop))
        return false;
    return frames > 0 && start + frames > 0;
}

std::int64_t endFrame(const SourceEntry& entry, int rate)
{
    std::int64_t start = 0;
    std::int64_t frames = 0;
    return placement(entry, rate, start, frames) ? start + frames : 0;
}

std::int64_t outputFrames(const std::vector<SourceEntry>& entries, int rate)
{
    std::int64_t end = 0;
    for (const SourceEntry& e : entries)
        end = std::max(end, endFrame(e, rate));
    return end;
}

}  // namespace sonarel::media::core
