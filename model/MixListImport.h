// SPDX-License-Identifier: GPL-3.0-or-later
// Reading mix entries from text: "FILE[@START[:VOLUME[:SPEED]][,KEY[=VALUE]]...]" arguments of
// the command-line mixer, and the values of one entry as the list file (model/MixListFile.h)
// holds them. Start times are kept exactly in 100-ns units, so "1.2345678" reads back as
// 12,345,678 whatever doubles would do; the other times are rounded to the nearest 100 ns.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/EntryPropertyTable.h"
#include "model/MixItem.h"

namespace sonarel {

struct ImportError {
    int line = 0;  // 1-based; 0 for a command-line argument or the file as a whole
    std::string message;
};

// Splits at the last '@' only when what follows is START[:VOLUME[:SPEED]], so a path that
// contains '@' still works. Values are checked: start >= 0, volume >= 0, speed > 0, all finite.
// After the placement may come shaping keys, each after a comma: in=S, out=S, fade-in=S,
// fade-out=S, fade-curve=linear|equal-power, keep-pitch, pitch=N, muted (keep-pitch and muted
// also take =0 or =1), ... (every key of the entry property table). They count only when the first
// one is a known key, so a file named "take@1,2.wav" is still a file; after a known key, an unknown
// one is refused. A text value (chapter=TITLE) runs on over commas up to the next known key, and
// may hold an '@'.
// The entry's duration is left 0: it is measured when the entry is added to a list.
std::optional<MixItem> parseEntryArgument(std::string_view argument, std::string& error);

// Fills start, volume and speed from up to three texts (empty texts keep the defaults) and checks
// them as parseEntryArgument does.
bool readEntryValues(const std::vector<std::string_view>& texts, EntryProperties& properties, std::string& error);

// Reads one shaping value (a property of model/EntryPropertyTable.h beyond start, volume and
// speed) into `properties`; an empty text keeps the default. Times are seconds (at most a thousand
// days, never negative), keep pitch and muted 0 or 1, the pitch a number of semitones, the fade
// curve "linear" or "equal_power" ("equal-power" too).
bool readShapingValue(const EntryProperty& property, std::string_view text, EntryProperties& properties,
                      std::string& error);

// Checks the shaping values together, the one place for the rules between properties: the out
// point after the in point, then each value within its range, then a value that needs a switch
// (the pitch needs keep pitch) at its default unless the switch is on.
bool checkShaping(const EntryProperties& properties, std::string& error);

// Whether the in point lies before the end of the file, where its length has been measured.
bool checkInPointWithinFile(const MixItem& item, std::string& error);

}  // namespace sonarel
