// SPDX-License-Identifier: GPL-3.0-or-later
// Ducking: while an entry marked `duck` plays (a voice), every entry that is not one is lowered
// by the list's depth, reaching it over the attack before the voice and returning over the
// release after it. The depth, attack and release belong to the list: a list file keeps them in
// "#duck." lines, sonarel-mix takes them as --duck-depth, --duck-attack and --duck-release, and
// the window's Ducking dialog edits them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sonarel {

struct DuckSettings {
    double depthDb = -12.0;       // the level of the ducked entries, 0 or below
    double attackSeconds = 0.3;   // the ramp down before a voice
    double releaseSeconds = 0.5;  // the ramp up after it

    friend bool operator==(const DuckSettings&, const DuckSettings&) = default;
};

inline constexpr double kDeepestDuckDb = -60.0;
inline constexpr double kLongestDuckRampSeconds = 10.0;

inline constexpr std::string_view kListDuckPrefix = "#duck.";
inline constexpr std::string_view kDuckDepthKey = "depth_db";
inline constexpr std::string_view kDuckAttackKey = "attack_seconds";
inline constexpr std::string_view kDuckReleaseKey = "release_seconds";

// Which value a "#duck." key names; nothing for a key this version does not know.
enum class DuckValue { Depth, Attack, Release };
std::optional<DuckValue> duckValueOfKey(std::string_view key);

// Sets `value` of `ducking` from `number` when it lies in its range; otherwise `problem` says so
// in the words a person reads ("the ducking depth must lie between -60 and 0 dB").
bool setDuckValue(DuckSettings& ducking, DuckValue value, double number, std::string& problem);

// The "#duck." lines of a list file, each "KEY=VALUE\n" after the prefix, for the values that differ
// from the default; empty for the default ducking.
std::string duckLinesText(const DuckSettings& ducking);

}  // namespace sonarel
