// SPDX-License-Identifier: GPL-3.0-or-later
// The chapter rule (which chapters a mix keeps, where each ends, what is said of the others) and the
// four chapter files' exact text.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "model/ChapterFiles.h"
#include "model/ChapterPlan.h"

namespace sonarel {
namespace {

constexpr int kRate = 48000;

struct RuleCase {
    const char* name;
    std::vector<ChapterMark> marks;  // in list order
    std::int64_t mixEnd;
    std::vector<Chapter> kept;
    std::string said;
};

TEST(ChapterPlan, KeepsOneChapterPerStartWithinTheMix)
{
    const std::vector<RuleCase> cases = {
        {"ordered by time, each ending at the next",
         {{96000, "B", 0}, {0, "A", 1}, {240000, "C", 2}},
         480000,
         {{0, 96000, "A", 1}, {96000, 240000, "B", 0}, {240000, 480000, "C", 2}},
         ""},
        {"a start before the mix counts as its beginning", {{-500, "A", 0}}, 1000, {{0, 1000, "A", 0}}, ""},
        {"the same time: the later entry is left out",
         {{48000, "First", 0}, {48000, "Second", 1}, {0, "Open", 2}},
         96000,
         {{0, 48000, "Open", 2}, {48000, 96000, "First", 0}},
         "The chapter \"Second\" of entry 2 starts at 0:01.000, as \"First\" of entry 1 does, so it is left out."},
        {"at and after the end: left out, the last kept one ends at the end",
         {{0, "A", 0}, {96000, "At", 1}, {200000, "After", 2}},
         96000,
         {{0, 96000, "A", 0}},
         "The chapter \"At\" of entry 2 starts at 0:02.000, at or after the mix's end (0:02.000), so it is left "
         "out.\nThe chapter \"After\" of entry 3 starts at 0:04.167, at or after the mix's end (0:02.000), so it is "
         "left out."},
        {"a silent mix keeps none",
         {{0, "A", 0}},
         0,
         {},
         "The chapter \"A\" of entry 1 starts at 0:00.000, at or "
         "after the mix's end (0:00.000), so it is left out."},
        {"an hour and more",
         {{0, "A", 0}, {3723LL * kRate + 24, "B", 1}},
         4000LL * kRate,
         {{0, 3723LL * kRate + 24, "A", 0}, {3723LL * kRate + 24, 4000LL * kRate, "B", 1}},
         ""},
    };
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ChapterPlan plan = planChapters(c.marks, c.mixEnd);
        EXPECT_EQ(plan.chapters, c.kept);
        EXPECT_EQ(leftOutChaptersText(plan, kRate), c.said);
    }
    EXPECT_EQ(chapterTimeText(3723LL * kRate + 24, kRate), "1:02:03.001");
}

// Three chapters at 0, 1.5 s and 62.25 s of a mix of 70 s, at 44100 Hz.
std::vector<Chapter> threeChapters()
{
    return {{0, 66150, "Intro", 0},
            {66150, 2745225, "Caf\xc3\xa9 \"Talk\" & <more>", 1},
            {2745225, 3087000, "Tab\there\nand a line", 2}};
}

TEST(ChapterFiles, WriteEachKindExactly)
{
    const struct {
        ChapterFileKind kind;
        std::string text;
    } cases[] = {
        {ChapterFileKind::CueSheet,
         "FILE \"mix 'one'.mp3\" MP3\n"
         "  TRACK 01 AUDIO\n    TITLE \"Intro\"\n    INDEX 01 00:00:00\n"
         "  TRACK 02 AUDIO\n    TITLE \"Caf\xc3\xa9 'Talk' & <more>\"\n    INDEX 01 00:01:38\n"
         "  TRACK 03 AUDIO\n    TITLE \"Tab here and a line\"\n    INDEX 01 01:02:19\n"},
        {ChapterFileKind::Labels,
         "0.000000\t1.500000\tIntro\n"
         "1.500000\t62.250000\tCaf\xc3\xa9 \"Talk\" & <more>\n"
         "62.250000\t70.000000\tTab here and a line\n"},
        {ChapterFileKind::WebVtt,
         "WEBVTT\n\n00:00:00.000 --> 00:00:01.500\nIntro\n\n"
         "00:00:01.500 --> 00:01:02.250\nCaf\xc3\xa9 \"Talk\" &amp; &lt;more&gt;\n\n"
         "00:01:02.250 --> 00:01:10.000\nTab here and a line\n"},
        {ChapterFileKind::PodcastJson,
         "{\n  \"version\": \"1.2.0\",\n  \"chapters\": [\n"
         "    {\"startTime\": 0, \"title\": \"Intro\"},\n"
         "    {\"startTime\": 1.5, \"title\": \"Caf\xc3\xa9 \\\"Talk\\\" & <more>\"},\n"
         "    {\"startTime\": 62.25, \"title\": \"Tab\\there\\nand a line\"}\n  ]\n}\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        EXPECT_EQ(chapterFileText(c.kind, threeChapters(), 44100, "mix \"one\".mp3"), c.text);
    }
}

TEST(ChapterFiles, AreChosenByExtensionAndNeverTheMix)
{
    EXPECT_EQ(chapterFileKindOf(QStringLiteral("a/b.CUE")), ChapterFileKind::CueSheet);
    EXPECT_EQ(chapterFileKindOf(QStringLiteral("b.txt")), ChapterFileKind::Labels);
    EXPECT_EQ(chapterFileKindOf(QStringLiteral("b.vtt")), ChapterFileKind::WebVtt);
    EXPECT_EQ(chapterFileKindOf(QStringLiteral("b.json")), ChapterFileKind::PodcastJson);
    EXPECT_FALSE(chapterFileKindOf(QStringLiteral("b.srt")));
    EXPECT_FALSE(chapterFileKindOf(QStringLiteral("b")));
    QTemporaryDir dir;
    const QString mix = dir.filePath(QStringLiteral("mix.json"));
    EXPECT_TRUE(chapterFileProblem(dir.filePath(QStringLiteral("c.srt")), mix).contains(QStringLiteral(".cue, .txt")));
    EXPECT_FALSE(chapterFileProblem(mix, mix).isEmpty());
    EXPECT_TRUE(chapterFileProblem(dir.filePath(QStringLiteral("c.json")), mix).isEmpty());

    const QString path = dir.filePath(QStringLiteral("c.vtt"));
    ASSERT_TRUE(writeChapterFile(path, "WEBVTT\n").isEmpty());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("WEBVTT\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);  // no temporary left beside it
    EXPECT_FALSE(writeChapterFile(dir.filePath(QStringLiteral("missing/c.vtt")), "WEBVTT\n").isEmpty());
}

}  // namespace
}  // namespace sonarel
