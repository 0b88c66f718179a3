// SPDX-License-Identifier: GPL-3.0-or-later
// Stored frame-rate choices: an index into a fixed table, 5 meaning a custom rate stored as text.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace sonarel {

class ProfileStore;

struct FrameRateEntry {
    const char* listText;
    double rate;  // 0 for the custom entry: its rate comes from the profile
};

inline constexpr int kCustomFrameRateIndex = 5;
inline constexpr double kDefaultFrameRate = 23.976;

inline constexpr std::array<FrameRateEntry, 6> FrameRateTable{{
    {"23.976", 23.976},
    {"24", 24.0},
    {"25", 25.0},
    {"29.97", 29.97},
    {"30", 30.0},
    {"Custom frame rate", 0.0},
}};

struct FrameRateChoice {
    std::int32_t index = 0;
    double rate = kDefaultFrameRate;
};

// Index from "OutputFrameRateIndex"; 5 reads "OutputFrameRate"; anything outside 0..5 becomes
// index 0 and 23.976 (in memory only).
FrameRateChoice resolveFrameRate(const ProfileStore& profile);

}  // namespace sonarel
