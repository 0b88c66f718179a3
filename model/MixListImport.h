// Reading mix entries from text: "FILE[@START[:VOLUME[:SPEED]]]" arguments and CSV files with the
// columns path, start seconds, volume, speed. Used by the command-line mixer.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/ReferenceTime.h"

namespace sonarel {

struct EntrySpec {
    std::string path;
    double startSeconds = 0.0;
    double volume = 1.0;
    double speed = 1.0;
};

struct ImportError {
    int line = 0;  // 1-based; 0 for a command-line argument
    std::string message;
};

// Splits at the last '@' only when what follows is START[:VOLUME[:SPEED]], so a path that
// contains '@' still works. Values are checked: start >= 0, volume >= 0, speed > 0, all finite.
std::optional<EntrySpec> parseEntryArgument(std::string_view argument, std::string& error);

// Parses CSV text. A first line whose start column is not a number is a header. Blank lines and
// lines starting with '#' are skipped. Relative paths are taken from `baseFolder`. Quoted fields
// ("a, b.wav", with "" for a quote) hold commas. Stops at the first malformed line.
bool parseMixListCsv(std::string_view text, const std::string& baseFolder, std::vector<EntrySpec>& entries,
                     ImportError& error);

// Seconds to 100-ns units, truncated toward zero.
REFERENCE_TIME secondsToReferenceTime(double seconds);

}  // namespace sonarel
