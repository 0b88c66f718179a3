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
    times.mediaStart = playedStart(item);
    times.mediaStop = playedStop(item);
    times.stop = outputEnd(item);
    return times;
}

bool fitsOnTimeline(const TimelineTimes& times)
{
    return times.start >= -media::kLongestTime && times.start <= media::kLongestTime &&
           times.stop <= media::kLongestTime;
}

EntryMixing entryMixing(const MixItem& item)
{
    if (item.muted)
        return EntryMixing::Muted;
    if (!speedIsUsable(item.speed))
        return EntryMixing::SpeedNotUsable;
    if (!speedInRange(item.speed))
        return EntryMixing::SpeedOutOfRange;
    if (!fitsOnTimeline(timelineTimesOf(item)))
        return EntryMixing::EndsPastLongestMix;
    return EntryMixing::Mixed;
}

namespace {

// Everything but the name, which placing an entry does not need.
media::core::SourceEntry unnamedEntryOf(const MixItem& item, REFERENCE_TIME cutRamp)
{
    const TimelineTimes times = timelineTimesOf(item);
    media::core::SourceEntry entry;
    entry.timelineStart = times.start;
    entry.timelineStop = times.stop;
    entry.mediaStart = times.mediaStart;
    entry.mediaStop = times.mediaStop;
    entry.volume = item.volume;
    media::SourceShaping& shaping = entry.shaping;
    shaping.fadeIn = std::max<REFERENCE_TIME>(item.fadeIn, 0);
    shaping.fadeOut = std::max<REFERENCE_TIME>(item.fadeOut, 0);
    shaping.fadeShape = item.fadeCurve == FadeCurve::EqualPower ? media::FadeShape::EqualPower
                                                                : media::FadeShape::Linear;
    shaping.cutRampIn = cutsAtStart(item) && shaping.fadeIn == 0 ? std::max<REFERENCE_TIME>(cutRamp, 0) : 0;
    shaping.cutRampOut = cutsAtEnd(item) && shaping.fadeOut == 0 ? std::max<REFERENCE_TIME>(cutRamp, 0) : 0;
    shaping.keepPitch = item.keepPitch;
    shaping.pitchSemitones = item.keepPitch ? item.pitchSemitones : 0.0;
    shaping.points.reserve(item.volumePoints.size());
    for (const VolumePoint& point : item.volumePoints)
        shaping.points.push_back({point.time, point.level});
    return entry;
}

}  // namespace

media::DuckShape duckShapeOf(const MixItem& item, const DuckSettings& ducking)
{
    media::DuckShape shape;
    shape.others = item.duck;
    shape.depthDb = std::clamp(ducking.depthDb, kDeepestDuckDb, 0.0);
    const auto ramp = [](double seconds) {
        return nearestReferenceTime(std::clamp(seconds, 0.0, kLongestDuckRampSeconds));
    };
    shape.attack = ramp(ducking.attackSeconds);
    shape.release = ramp(ducking.releaseSeconds);
    return shape;
}

media::core::SourceEntry sourceEntryOf(const MixItem& item, REFERENCE_TIME cutRamp, media::core::SharedName name,
                                       const DuckSettings& ducking)
{
    media::core::SourceEntry entry = unnamedEntryOf(item, cutRamp);
    if (item.duck)
        entry.shaping.duck = duckShapeOf(item, ducking);
    entry.name = name ? std::move(name) : media::core::sharedName(item.filePathText().toStdU16String());
    return entry;
}

std::int64_t mixFrames(const MixItemStore& store, const std::vector<bool>& usable, int rate)
{
    std::int64_t end = 0;
    for (int i = 0; i < store.audioCount(); ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (index >= usable.size() || usable[index])
            end = std::max(end, media::core::endFrame(unnamedEntryOf(store.at(i), kDefaultCutRamp), rate));
    }
    return end;
}

}  // namespace sonarel
