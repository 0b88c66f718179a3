// SPDX-License-Identifier: GPL-3.0-or-later
// The limits of an entry's values, in one place: the model, the dialogs and the messages take their
// numbers from here, and the engine's own (the longest time line) is named here beside them.
#pragma once

#include "model/ReferenceTime.h"

namespace sonarel {

// The farthest an entry may reach on the output's time line (about 11.5 days): the engine's limit.
using media::kLongestTime;

// The latest start time a list file accepts and placing one after another gives (a thousand days;
// an entry that starts that late is named before a mix, as it would end past kLongestTime).
inline constexpr REFERENCE_TIME kLatestEntryStart = 86'400'000LL * kReferenceUnitsPerSecond;

// The loudest volume a list file or the command line may give (+120 dB, which already turns the
// quietest sound into a full-scale one); the audio settings dialog keeps to kMaxVolume.
inline constexpr double kHighestListVolume = 1'000'000.0;
inline constexpr double kMaxVolume = 100.0;

// The speeds the engine plays exactly, with or without keep pitch; every place that reads a speed
// refuses the others.
inline constexpr double kLowestSpeed = 1.0 / 256;
inline constexpr double kHighestSpeed = 256.0;
inline constexpr const char* kSpeedRangeText = "1/256 (0.00390625) and 256";
inline bool speedInRange(double speed)
{
    return speed >= kLowestSpeed && speed <= kHighestSpeed;
}

inline constexpr double kLowestPitchSemitones = -24.0;
inline constexpr double kHighestPitchSemitones = 24.0;

}  // namespace sonarel
