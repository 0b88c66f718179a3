// SPDX-License-Identifier: GPL-3.0-or-later
// Scans of one entry's sound, for the commands that set its level or its trim from what it holds:
// the loudness of its played part, rendered alone exactly as the mix renders it, and where its
// file's sound lies above a threshold. Both run on the calling thread; a raised `stop` abandons
// them with kErrAbort.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/media/Formats.h"
#include "platform/media/ReferenceTime.h"
#include "platform/media/Status.h"
#include "platform/media/core/Placement.h"

namespace sonarel::media::core {

// The loudness of `entry`'s played part (its trim, speed, keep pitch and pitch as the mix plays
// them) at its volume of 1, without its fades or cut ramps, rendered at `rate` in `channels`
// channels, placed at the start of an output of its own. `detail` names the file on a failure.
Status measurePlayedLoudness(const SourceEntry& entry, int rate, int channels, const std::atomic<bool>* stop,
                             LoudnessFigures& figures, std::string& detail);

// Where the sound of a file lies, in its own time.
struct SoundSpan {
    bool found = false;        // some sample lies above the threshold
    REFERENCE_TIME first = 0;  // the first such sample's time
    REFERENCE_TIME end = 0;    // just after the last such sample
};

// Decodes `path` at its own rate from `from` to `to` (kToFileEnd: to its end) and finds the first and
// last samples whose magnitude lies above `threshold` (1.0 is full scale).
inline constexpr REFERENCE_TIME kToFileEnd = -1;
Status findSound(const std::string& path, REFERENCE_TIME from, REFERENCE_TIME to, float threshold,
                 const std::atomic<bool>* stop, SoundSpan& span, std::string& detail);

}  // namespace sonarel::media::core
