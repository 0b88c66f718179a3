// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ChapterPlan.h"

#include <algorithm>
#include <cstdio>

namespace sonarel {

ChapterPlan planChapters(std::vector<ChapterMark> marks, std::int64_t mixEnd)
{
    for (ChapterMark& mark : marks)
        mark.start = std::max<std::int64_t>(mark.start, 0);
    // Stable: of two chapters at one time, the one earlier in the list comes first and is kept.
    std::stable_sort(marks.begin(), marks.end(),
                     [](const ChapterMark& a, const ChapterMark& b) { return a.start < b.start; });
    ChapterPlan plan;
    plan.mixEnd = mixEnd;
    for (ChapterMark& mark : marks) {
        if (mark.start >= mixEnd) {
            plan.leftOut.push_back({std::move(mark), ChapterProblem::AtOrPastEnd, -1});
        } else if (!plan.chapters.empty() && plan.chapters.back().start == mark.start) {
            const int kept = plan.chapters.back().entry;
            plan.leftOut.push_back({std::move(mark), ChapterProblem::SameStart, kept});
        } else {
            if (!plan.chapters.empty())
                plan.chapters.back().end = mark.start;
            plan.chapters.push_back({mark.start, mixEnd, std::move(mark.title), mark.entry});
        }
    }
    // Told in list order, as the person reads the list.
    std::stable_sort(plan.leftOut.begin(), plan.leftOut.end(),
                     [](const LeftOutChapter& a, const LeftOutChapter& b) { return a.mark.entry < b.mark.entry; });
    return plan;
}

std::string chapterTimeText(std::int64_t units, std::int64_t unitsPerSecond)
{
    if (unitsPerSecond <= 0)
        return {};
    const bool negative = units < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(units)
                                             : static_cast<std::uint64_t>(units);
    const auto per = static_cast<std::uint64_t>(unitsPerSecond);
    const std::uint64_t seconds = magnitude / per;
    // Rounded to the nearest millisecond, never up to the next second's text.
    const std::uint64_t millis = std::min<std::uint64_t>((magnitude % per * 1000 + per / 2) / per, 999);
    char text[48];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%s%llu:%02llu:%02llu.%03llu", negative ? "-" : "",
                      static_cast<unsigned long long>(seconds / 3600),
                      static_cast<unsigned long long>(seconds / 60 % 60), static_cast<unsigned long long>(seconds % 60),
                      static_cast<unsigned long long>(millis));
    else
        std::snprintf(text, sizeof text, "%s%llu:%02llu.%03llu", negative ? "-" : "",
                      static_cast<unsigned long long>(seconds / 60), static_cast<unsigned long long>(seconds % 60),
                      static_cast<unsigned long long>(millis));
    return text;
}

std::string leftOutChaptersText(const ChapterPlan& plan, std::int64_t unitsPerSecond)
{
    std::string text;
    for (const LeftOutChapter& left : plan.leftOut) {
        if (!text.empty())
            text += '\n';
        text += "The chapter \"" + left.mark.title + "\" of entry " + std::to_string(left.mark.entry + 1) +
                " starts at " + chapterTimeText(left.mark.start, unitsPerSecond);
        if (left.problem == ChapterProblem::AtOrPastEnd) {
            text += ", at or after the mix's end (" + chapterTimeText(plan.mixEnd, unitsPerSecond) +
                    "), so it is left out.";
            continue;
        }
        std::string keptTitle;
        for (const Chapter& chapter : plan.chapters)
            if (chapter.entry == left.keptEntry)
                keptTitle = chapter.title;
        text += ", as \"" + keptTitle + "\" of entry " + std::to_string(left.keptEntry + 1) +
                " does, so it is left out.";
    }
    return text;
}

}  // namespace sonarel
