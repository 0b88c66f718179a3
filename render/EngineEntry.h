// SPDX-License-Identifier: GPL-3.0-or-later
// The one place where a mix entry becomes the engine's: where it plays on the engine's time line,
// which part of its file plays, its file name and its level. The timeline builder and the size
// check before a mix both take entries from here, so they can never place an entry differently.
#pragma once

#include <cstdint>
#include <vector>

#include "model/MixItem.h"
#include "platform/media/ReferenceTime.h"
#include "platform/media/core/Placement.h"
#include "settings/OutputSettings.h"

namespace sonarel {

struct TimelineTimes {
    media::REFERENCE_TIME start = 0;  // on the output time line
    media::REFERENCE_TIME stop = 0;
    media::REFERENCE_TIME mediaStart = 0;
    media::REFERENCE_TIME mediaStop = 0;
};

// How long the ramp on an edge cut into a file's sound is, unless the user sets another.
inline constexpr REFERENCE_TIME kDefaultCutRamp = kDefaultEdgeFadeMs * (kReferenceUnitsPerSecond / 1000);

// start .. start + (out - in) / speed (worked out in floating point, truncated toward zero);
// the media plays from the in point to the out point (0 to the duration when untrimmed).
TimelineTimes timelineTimesOf(const MixItem& item);

// A speed that can be divided by: finite and above zero.
bool speedIsUsable(double speed);

// Whether the engine can place these times: nothing may reach past media::kLongestTime.
bool fitsOnTimeline(const TimelineTimes& times);

// Whether an entry is mixed, as far as the entry itself tells; the one rule that building the mix,
// playback, the run control, the command line and the dry run follow. Its file is checked apart
// (opening it is the caller's step), and a mixed entry whose part is empty only adds no sound.
enum class EntryMixing {
    Mixed,
    Muted,              // kept in the list, left out of the mix and of its length
    SpeedNotUsable,     // not a number above zero
    SpeedOutOfRange,    // beyond what the engine plays exactly (kLowestSpeed .. kHighestSpeed)
    EndsPastLongestMix  // its end lies past media::kLongestTime
};
EntryMixing entryMixing(const MixItem& item);

// The rule with its file's answer: mixed, and `fileReadable`.
inline bool entryIsMixed(const MixItem& item, bool fileReadable)
{
    return fileReadable && entryMixing(item) == EntryMixing::Mixed;
}

// The entry as the engine's source: its times, its file name, its volume and its shaping, with a
// ramp of `cutRamp` on each edge cut into the file that no fade covers. Whether a muted entry is
// left out is the caller's choice. `name`, when given, is the entry's file name already made (and
// shared with other entries of that file). A `duck` entry carries the list's `ducking`.
media::core::SourceEntry sourceEntryOf(const MixItem& item, REFERENCE_TIME cutRamp = kDefaultCutRamp,
                                       media::core::SharedName name = {}, const DuckSettings& ducking = {});

// The list's ducking as a voice carries it to the engine (`others` set when the entry is a voice).
media::DuckShape duckShapeOf(const MixItem& item, const DuckSettings& ducking);

// The mix's length in frames at `rate`, placed as the engine places them, over the store's entries
// that `usable` marks (every entry when it is empty).
std::int64_t mixFrames(const MixItemStore& store, const std::vector<bool>& usable, int rate);

}  // namespace sonarel
