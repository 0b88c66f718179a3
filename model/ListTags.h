// SPDX-License-Identifier: GPL-3.0-or-later
// The list's tags: title, artist, album, date, genre, track and comment of the file its mix
// writes, and the cover picture's file. They belong to the list: a list file keeps them in
// "#tag.KEY=VALUE" and "#cover=PATH" lines (model/MixListFile.h), sonarel-mix takes them as --tag
// and --cover, and the window's Tags dialog edits them.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/media/core/OutputTags.h"

namespace sonarel {

struct ListTags {
    std::array<std::string, media::core::kTagFieldCount> values;  // UTF-8; empty: not set
    std::string coverPath;                                        // absolute; empty: no cover

    const std::string& value(media::core::TagField field) const { return values[static_cast<std::size_t>(field)]; }
    std::string& value(media::core::TagField field) { return values[static_cast<std::size_t>(field)]; }
    bool empty() const;

    friend bool operator==(const ListTags&, const ListTags&) = default;
};

inline constexpr std::string_view kListTagPrefix = "#tag.";
inline constexpr std::string_view kListCoverPrefix = "#cover=";

// Sets `tags` from "KEY=VALUE" as --tag and a "#tag." line give it; false with `problem` for an
// unknown key or a value that cannot be that tag (media::core::tagValueProblem).
bool setTagFromText(ListTags& tags, std::string_view keyAndValue, std::string& problem);

// The tags of a mix: the values, and the cover read from its file. Why the cover cannot be used
// ("it is not a PNG or JPEG picture"), or empty.
std::string outputTagsOf(const ListTags& tags, media::core::OutputTags& output);

}  // namespace sonarel
