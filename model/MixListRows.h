// SPDX-License-Identifier: GPL-3.0-or-later
// How mix entries are shown in the list view: the five columns and the text of each cell.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "model/MixItem.h"

namespace sonarel {

struct MixListColumn {
    std::string_view header;
    int width;  // pixels
};

inline constexpr int kMixListColumnCount = 5;
inline constexpr std::array<MixListColumn, kMixListColumnCount> kMixListColumns{{
    {"File Name", 105},
    {"Duration(s)", 75},
    {"volume", 75},
    {"Start time(s)", 75},
    {"Speed", 75},
}};

// The file name and extension of a path; empty for an empty path.
std::string displayName(std::string_view path);

// Seconds with three decimals, as every time column shows them (-1 shows "-0.000").
std::string secondsText(REFERENCE_TIME time);

// The text of one cell; an unknown column gives an empty text.
std::string cellText(const MixItem& item, int column);

}  // namespace sonarel
