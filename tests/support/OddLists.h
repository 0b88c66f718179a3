// SPDX-License-Identifier: GPL-3.0-or-later
// A mix list that tries every awkward corner of the list file: names with spaces, commas, quotes,
// non-ASCII letters, a leading dash, '#' or blank, a line break; files in subfolders and outside
// the list's folder; start times that are not whole milliseconds; volumes and speeds whose
// decimal texts are long.
#pragma once

#include <string>
#include <vector>

#include "model/MixListImport.h"

namespace sonarel::testing {

// File names relative to a media folder; each is a different awkward case.
inline const std::vector<std::string>& oddFileNames()
{
    static const std::vector<std::string> names{
        "plain.wav",          "with space.wav",         "comma, and more.wav",
        "quote \"live\".wav", "Grüße – ünïcödé 音.wav", "-leading dash.wav",
        "#not a comment.wav", " leading blank.wav",     "sub folder/deeper/take.wav",
    };
    return names;
}

// `count` entries cycling through `paths`, with start times, volumes and speeds that exercise
// the number texts.
inline std::vector<MixItem> oddEntries(const std::vector<std::string>& paths, int count)
{
    std::vector<MixItem> entries;
    for (int i = 0; i < count; ++i) {
        MixItem entry;
        entry.filePath = paths[static_cast<std::size_t>(i) % paths.size()];
        entry.startTime = static_cast<REFERENCE_TIME>(i) * 1'234'567 + (i % 7);  // 0.1234567 s steps
        entry.volume = (i % 5 == 0) ? 1.0 : 1.0 / (1 + i % 9);
        entry.speed = (i % 3 == 0) ? 1.0 : 0.75 + (i % 11) / 7.0;
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace sonarel::testing
