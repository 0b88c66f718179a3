// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/MixListRows.h"

#include <cstdio>

#include "platform/PathHelpers.h"

namespace sonarel {

namespace {
std::string threeDecimals(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}
}  // namespace

std::string displayName(std::string_view path)
{
    return fileNameOfPath(path);
}

std::string secondsText(REFERENCE_TIME time)
{
    return threeDecimals(toSeconds(time));
}

std::string cellText(const MixItem& item, int column)
{
    switch (column) {
    case 0: return displayName(item.filePath);
    case 1: return secondsText(item.duration);
    case 2: return threeDecimals(item.volume);
    case 3: return secondsText(item.startTime);
    case 4: return threeDecimals(item.speed);
    default: return {};
    }
}

}  // namespace sonarel
