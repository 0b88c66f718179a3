// SPDX-License-Identifier: GPL-3.0-or-later
// The chapters an encoded output carries, as plain data: each from its first frame to the frame
// after its last, in frames of the rate the file is written at (its presentation time), with a
// title in UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sonarel::media::core {

struct OutputChapter {
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::string title;
    friend bool operator==(const OutputChapter&, const OutputChapter&) = default;
};

using OutputChapters = std::vector<OutputChapter>;

// An ID3v2 CTOC frame counts its chapters in one byte.
inline constexpr std::size_t kMostMp3Chapters = 255;

}  // namespace sonarel::media::core
