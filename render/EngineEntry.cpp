// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/EngineEntry.h"

#include <algorithm>
#include <cmath>

namespace sonarel {

bool speedIsUsable(double speed)
{
    return std::isfinite(speed) && speed > 0.0;
}

TimelineTimes timelineTimesOf(const MixItem& item)
{
    TimelineTimes times;
    times.start = item.startTime;
    times.mediaStart = 0;
    times.mediaStop = item.duration;
    const double stop = static_cast<double>(item.startTime) + static_cast<double>(item.duration) / item.speed;
    // The cast truncates toward zero; keep it inside the 64-bit range whatever the speed.
    const double limit = 9.2e18;
    times.stop = static_cast<media::REFERENCE_TIME>(std::clamp(stop, -limit, limit));
    return times;
}

bool fitsOnTimeline(const TimelineTimes& times)
{
    return times.start >= -media::kLongestTime && times.start <= media::kLongestTime &&
           times.stop <= media::kLongestTime;
}

media::core::SourceEntry sourceEntryOf(const MixItem& item)
{
    const TimelineTimes times = timelineTimesOf(item);
    media::core::SourceEntry entry;
    entry.name = item.filePathText().toStdU16String();
    entry.timelineStart = times.start;
    entry.timelineStop = times.stop;
    entry.mediaStart = times.mediaStart;
    entry.mediaStop = times.mediaStop;
    entry.volume = item.volume;
    return entry;
}

}  // namespace sonarel
