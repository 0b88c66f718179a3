// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Ducking.h"

#include <charconv>
#include <cmath>

namespace sonarel {

namespace {

struct DuckRow {
    DuckValue value;
    std::string_view key;
    double DuckSettings::*member;
    double lowest;
    double highest;
    std::string_view range;  // as a message says it
};

constexpr DuckRow kDuckRows[] = {
    {DuckValue::Depth, kDuckDepthKey, &DuckSettings::depthDb, kDeepestDuckDb, 0.0,
     "the ducking depth must lie between -60 and 0 dB"},
    {DuckValue::Attack, kDuckAttackKey, &DuckSettings::attackSeconds, 0.0, kLongestDuckRampSeconds,
     "the ducking attack must lie between 0 and 10 seconds"},
    {DuckValue::Release, kDuckReleaseKey, &DuckSettings::releaseSeconds, 0.0, kLongestDuckRampSeconds,
     "the ducking release must lie between 0 and 10 seconds"},
};

}  // namespace

std::optional<DuckValue> duckValueOfKey(std::string_view key)
{
    for (const DuckRow& row : kDuckRows)
        if (row.key == key)
            return row.value;
    return std::nullopt;
}

bool setDuckValue(DuckSettings& ducking, DuckValue value, double number, std::string& problem)
{
    const DuckRow& row = kDuckRows[static_cast<int>(value)];
    if (!std::isfinite(number) || number < row.lowest || number > row.highest) {
        problem = std::string(row.range);
        return false;
    }
    ducking.*row.member = number == 0.0 ? 0.0 : number;  // -0 is written as 0
    return true;
}

std::string duckLinesText(const DuckSettings& ducking)
{
    const DuckSettings plain;
    std::string text;
    for (const DuckRow& row : kDuckRows) {
        if (ducking.*row.member == plain.*row.member)
            continue;
        char number[64];
        const auto written = std::to_chars(number, number + sizeof number, ducking.*row.member);  // shortest exact
        text.append(kListDuckPrefix).append(row.key).append("=").append(number, written.ptr).append("\n");
    }
    return text;
}

}  // namespace sonarel
