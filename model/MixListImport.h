// Reading mix entries from text: "FILE[@START[:VOLUME[:SPEED]]]" arguments of the command-line
// mixer, and the values of one entry as the list file (model/MixListFile.h) holds them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/ReferenceTime.h"

namespace sonarel {

// One entry as a list file or an argument gives it. The start time is kept exactly in 100-ns
// units, so a start written as "1.2345678" reads back as 12,345,678 whatever doubles would do.
struct EntrySpec {
    std::string path;
    REFERENCE_TIME startTime = 0;
    double volume = 1.0;
    double speed = 1.0;
    friend bool operator==(const EntrySpec&, const EntrySpec&) = default;
};

struct ImportError {
    int line = 0;  // 1-based; 0 for a command-line argument or the file as a whole
    std::string message;
};

// Splits at the last '@' only when what follows is START[:VOLUME[:SPEED]], so a path that
// contains '@' still works. Values are checked: start >= 0, volume >= 0, speed > 0, all finite.
std::optional<EntrySpec> parseEntryArgument(std::string_view argument, std::string& error);

// Fills start, volume and speed from up to three texts (empty texts keep the defaults) and checks
// them as parseEntryArgument does.
bool readEntryValues(const std::vector<std::string_view>& texts, EntrySpec& entry, std::string& error);

// A decimal number of seconds ("12", "1.5000001", "2.5e-3") in 100-ns units, computed from the
// digits so no rounding of doubles creeps in; digits beyond the 7th decimal are cut toward zero.
// None for a text that is not a number or does not fit.
std::optional<REFERENCE_TIME> parseSeconds(std::string_view text);

// Text without the blanks (spaces, tabs, carriage returns) at either end.
std::string_view trimmedText(std::string_view text);

}  // namespace sonarel
