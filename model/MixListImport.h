// SPDX-License-Identifier: GPL-3.0-or-later
// Reading mix entries from text: "FILE[@START[:VOLUME[:SPEED]]]" arguments of the command-line
// mixer, and the values of one entry as the list file (model/MixListFile.h) holds them. Start
// times are kept exactly in 100-ns units, so "1.2345678" reads back as 12,345,678 whatever
// doubles would do.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/MixItem.h"

namespace sonarel {

struct ImportError {
    int line = 0;  // 1-based; 0 for a command-line argument or the file as a whole
    std::string message;
};

// Splits at the last '@' only when what follows is START[:VOLUME[:SPEED]], so a path that
// contains '@' still works. Values are checked: start >= 0, volume >= 0, speed > 0, all finite.
// The entry's duration is left 0: it is measured when the entry is added to a list.
std::optional<MixItem> parseEntryArgument(std::string_view argument, std::string& error);

// Fills start, volume and speed from up to three texts (empty texts keep the defaults) and checks
// them as parseEntryArgument does.
bool readEntryValues(const std::vector<std::string_view>& texts, EntryProperties& properties, std::string& error);

}  // namespace sonarel
