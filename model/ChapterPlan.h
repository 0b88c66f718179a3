// SPDX-License-Identifier: GPL-3.0-or-later
// The one rule of a mix's chapters, on plain data in any whole unit of time (frames of the output
// rate for the mix and its chapter files, the same for the timeline): a chapter starts at its
// entry's start and ends where the next chapter starts, or at the mix's end. A chapter that starts
// at the same time as one before it in the list, or at or after the mix's end, is left out and
// said why.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sonarel {

// An entry that starts a chapter: where it starts (before 0 counts as 0), its title and its
// 0-based place in the list.
struct ChapterMark {
    std::int64_t start = 0;
    std::string title;
    int entry = 0;
};

struct Chapter {
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::string title;
    int entry = 0;
    friend bool operator==(const Chapter&, const Chapter&) = default;
};

enum class ChapterProblem {
    SameStart,    // another chapter, earlier in the list, starts at that time
    AtOrPastEnd,  // nothing of the mix is left for it
};

struct LeftOutChapter {
    ChapterMark mark;
    ChapterProblem problem = ChapterProblem::SameStart;
    int keptEntry = -1;  // SameStart: the entry whose chapter is kept
};

struct ChapterPlan {
    std::vector<Chapter> chapters;  // in time order, each ending where the next starts
    std::vector<LeftOutChapter> leftOut;
    std::int64_t mixEnd = 0;
    bool empty() const { return chapters.empty() && leftOut.empty(); }
};

// The chapters of a mix that ends at `mixEnd`, from the marks in list order.
ChapterPlan planChapters(std::vector<ChapterMark> marks, std::int64_t mixEnd);

// "m:ss.mmm" or "h:mm:ss.mmm" of `units` at `unitsPerSecond`, for messages.
std::string chapterTimeText(std::int64_t units, std::int64_t unitsPerSecond);

// The left-out chapters in words, one line each ("The chapter "B" of entry 3 starts at 0:05.000,
// as "A" of entry 1 does, so it is left out."); empty when none is left out.
std::string leftOutChaptersText(const ChapterPlan& plan, std::int64_t unitsPerSecond);

}  // namespace sonarel
