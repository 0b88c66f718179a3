// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/MixChapters.h"

#include <QStringList>
#include <limits>

#include "platform/media/core/Placement.h"
#include "render/EngineEntry.h"

namespace sonarel {

ChapterPlan mixChapters(const MixItemStore& store, const std::vector<bool>& usable, int rate)
{
    std::vector<ChapterMark> marks;
    for (int i = 0; i < store.audioCount(); ++i) {
        const MixItem& item = store.at(i);
        if (item.chapter.empty())
            continue;
        std::int64_t start = 0;
        // A start the engine cannot place lies past any mix's end.
        if (!media::core::frameAt(item.startTime, rate, start))
            start = item.startTime < 0 ? 0 : std::numeric_limits<std::int64_t>::max();
        marks.push_back({start, item.chapter, i});
    }
    if (marks.empty())
        return {};
    return planChapters(std::move(marks), mixFrames(store, usable, rate));
}

media::core::OutputChapters outputChaptersOf(const ChapterPlan& plan)
{
    media::core::OutputChapters chapters;
    chapters.reserve(plan.chapters.size());
    for (const Chapter& chapter : plan.chapters)
        chapters.push_back({chapter.start, chapter.end, chapter.title});
    return chapters;
}

QString chapterCountProblem(const ChapterPlan& plan, media::core::OutputContainer container)
{
    if (container != media::core::OutputContainer::Mp3 || plan.chapters.size() <= media::core::kMostMp3Chapters)
        return {};
    return QStringLiteral(
               "The mix has %1 chapters, and an MP3 file holds at most %2. Nothing was mixed. Give fewer entries "
               "a chapter title, or choose an output that holds them all (M4A, FLAC, Ogg Vorbis or Opus), or "
               "mix to WAV and write the chapters to a file beside it.")
        .arg(plan.chapters.size())
        .arg(media::core::kMostMp3Chapters);
}

QString chapterWarningText(const ChapterPlan& plan, int rate, bool wavOutput)
{
    QStringList lines;
    if (!plan.leftOut.empty())
        lines << QString::fromStdString(leftOutChaptersText(plan, rate));
    if (wavOutput && !plan.chapters.empty())
        lines << QStringLiteral(
                     "A WAV file cannot hold chapters, so the mix's %1 %2 not in it; a chapters file "
                     "(.cue, .txt, .vtt or .json) beside it can hold them.")
                     .arg(plan.chapters.size())
                     .arg(plan.chapters.size() == 1 ? QStringLiteral("chapter is") : QStringLiteral("chapters are"));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace sonarel
