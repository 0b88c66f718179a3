// SPDX-License-Identifier: GPL-3.0-or-later
// The size of a mix is known before it starts, and a mix that cannot fit on its disk is said
// before anything is written. The full-disk cases run on a 1 MiB tmpfs of their own (as root).
#include <gtest/gtest.h>

#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <limits>
#include <optional>

#include "render/MixRunControl.h"
#include "render/OutputSpace.h"
#include "support/MixRunFixture.h"
#include "support/SmallDisk.h"
#include "support/WavFile.h"

using namespace sonarel;
using sonarel::testing::contentsOf;
using sonarel::testing::SmallDisk;

namespace {

constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;

struct Entry {
    double start;
    double speed;
};

class OutputSpaceTest : public sonarel::testing::MixRunFixture {
protected:
    // Entries of the 0.5 s input.
    MixItemStore listOf(std::initializer_list<Entry> entries)
    {
        MixItemStore store;
        for (const Entry& e : entries) {
            EXPECT_EQ(store.append(input.toStdString(), kSecond / 2), AppendResult::Appended);
            MixItem& item = store.at(store.audioCount() - 1);
            item.startTime = static_cast<REFERENCE_TIME>(e.start * static_cast<double>(kSecond));
            item.speed = e.speed;
        }
        return store;
    }

    // A 1 MiB disk whose out.wav, the output of the mixes, holds `previous`; false when there is
    // none here (the reason is in disk->skipReason()).
    bool outputOnSmallDisk(const QByteArray& previous)
    {
        disk.emplace();
        if (!disk->isMounted())
            return false;
        settings.outputFile = disk->filePath(QStringLiteral("out.wav"));
        QFile file(settings.outputFile);
        return file.open(QIODevice::WriteOnly) && file.write(previous) == previous.size();
    }

    QString messages() const { return desktop.texts().join(QLatin1Char('|')); }

    std::optional<SmallDisk> disk;
    OutputSettings settings;
};

}  // namespace

TEST(SizeText, ThreeFiguresInDecimalUnitsRoundedTheWayAsked)
{
    struct Case {
        std::uint64_t bytes;
        bool up;
        const char* text;
    };
    for (const Case& c :
         {Case{0, false, "0 bytes"}, Case{999, true, "999 bytes"}, Case{1000, false, "1 kB"},
          Case{1'765'376, true, "1.77 MB"}, Case{1'048'576, false, "1.04 MB"}, Case{1'048'576, true, "1.05 MB"},
          Case{1'200'000'000, true, "1.2 GB"}, Case{300'000'000, false, "300 MB"}, Case{999'999, true, "1 MB"},
          Case{999'999, false, "999 kB"}, Case{12'345'678'901, false, "12.3 GB"},
          Case{std::numeric_limits<std::uint64_t>::max(), false, "18.4 EB"}}) {
        EXPECT_EQ(sizeText(c.bytes, c.up), QString::fromLatin1(c.text)) << c.bytes;
    }
}

// The size worked out before the mix is the size of the file the writer really makes, header and
// pad byte included, for every format and placement.
TEST_F(OutputSpaceTest, TheSizeKnownBeforehandIsTheSizeWritten)
{
    struct Case {
        int rate, channels, bits;  // indices of the output options
        std::initializer_list<Entry> entries;
    };
    const Case cases[] = {
        {0, 0, 0, {{0.0, 1.0}}},
        {1, 1, 1, {{0.0, 3.0}}},               // 8-bit mono, 3675 bytes: padded
        {3, 0, 1, {{0.0, 1.0}, {0.2, 0.5}}},   // the later, slower entry ends the mix
        {2, 1, 0, {{0.25, 1.0}, {0.0, 2.0}}},  // the list's order is not the timeline's
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "choices " << c.rate << c.channels << c.bits);
        const MixItemStore store = listOf(c.entries);
        settings.outputFile = dir.filePath(QStringLiteral("sized.wav"));
        settings.sampleRateIndex = c.rate;
        settings.channelsIndex = c.channels;
        settings.bitsIndex = c.bits;
        QFile::remove(settings.outputFile);
        control.mixCommand(store, settings);
        ASSERT_TRUE(control.isMixing()) << messages().toStdString();
        ASSERT_TRUE(view.runToEnd(control));
        ASSERT_EQ(control.lastOutcome(), MixOutcome::Completed) << messages().toStdString();
        const PcmFormat format = waveFormatFromChoices(c.rate, c.channels, c.bits);
        const std::vector<bool> usable(store.audioCount(), true);
        EXPECT_EQ(static_cast<std::uint64_t>(QFileInfo(settings.outputFile).size()),
                  mixFileBytes(store, usable, format));
    }
}

// A 10 s mix (1.76 MB) on a 1 MiB disk that holds the previous mix.
TEST_F(OutputSpaceTest, AMixThatCannotFitIsAskedAboutBeforeAnythingIsWritten)
{
    if (!outputOnSmallDisk("the previous mix"))
        GTEST_SKIP() << disk->skipReason().toStdString();
    const MixItemStore store = listOf({{9.5, 1.0}});

    // No: nothing starts, and the previous mix is still there as it was.
    desktop.answers = {true, false};
    control.mixCommand(store, settings);
    EXPECT_FALSE(control.isMixing());
    ASSERT_EQ(desktop.messages.size(), 2u) << messages().toStdString();
    EXPECT_TRUE(desktop.messages[1].question);
    EXPECT_EQ(desktop.messages[1].caption, QStringLiteral("Warning"));
    EXPECT_EQ(desktop.messages[1].text,
              QStringLiteral("The mix needs 1.77 MB but only 1.04 MB are free on %1.\n\nMix anyway? The mix stops "
                             "when the disk is full, and what was mixed until then is kept.")
                  .arg(disk->path()));
    EXPECT_EQ(contentsOf(settings.outputFile), QByteArray("the previous mix"));
    EXPECT_EQ(QDir(disk->path()).entryList(QDir::Files), QStringList{QStringLiteral("out.wav")});

    // Yes: the mix runs until the disk is full and ends as any failed write does.
    desktop.messages.clear();
    desktop.answers = {true, true};
    control.mixCommand(store, settings);
    ASSERT_TRUE(control.isMixing()) << messages().toStdString();
    ASSERT_TRUE(view.runToEnd(control));
    EXPECT_EQ(control.lastOutcome(), MixOutcome::Failed);
    const QString last = desktop.messages.back().text;
    EXPECT_TRUE(last.contains(QString::fromStdString(media::errorText(media::kErrDiskFull)))) << last.toStdString();
    EXPECT_TRUE(last.contains(QStringLiteral("What was mixed so far is kept in ") + settings.outputFile));
    sonarel::testing::WavData wav;
    std::string error;
    ASSERT_TRUE(sonarel::testing::readWav(settings.outputFile.toStdString(), wav, error)) << error;
    EXPECT_GT(wav.frames(), 44100);
    EXPECT_LE(QFileInfo(settings.outputFile).size(), 1 << 20);
}

// Replacing the previous mix counts its room only when deleting it gives that room back.
TEST_F(OutputSpaceTest, TheRoomOfTheReplacedFileCountsOnlyWhenItIsFreed)
{
    const QByteArray previous(700'000, 'p');
    if (!outputOnSmallDisk(previous))
        GTEST_SKIP() << disk->skipReason().toStdString();
    const MixItemStore store = listOf({{2.5, 1.0}});  // 3 s: 529,280 bytes, 348 kB free beside the old file

    // A second name keeps the old file's blocks: it does not fit, and No keeps both names.
    const QString otherName = disk->filePath(QStringLiteral("kept.wav"));
    ASSERT_EQ(::link(QFile::encodeName(settings.outputFile).constData(), QFile::encodeName(otherName).constData()), 0);
    desktop.answers = {true, false};
    control.mixCommand(store, settings);
    EXPECT_FALSE(control.isMixing());
    ASSERT_EQ(desktop.messages.size(), 2u) << messages().toStdString();
    EXPECT_TRUE(desktop.messages[1].text.startsWith(QStringLiteral("The mix needs 533 kB but only 348 kB are free")))
        << desktop.messages[1].text.toStdString();
    EXPECT_EQ(contentsOf(settings.outputFile), previous);

    // Its only name: deleting it makes the room, and the mix runs without a second question.
    ASSERT_TRUE(QFile::remove(otherName));
    desktop.messages.clear();
    desktop.answers = {true};
    control.mixCommand(store, settings);
    ASSERT_TRUE(control.isMixing()) << messages().toStdString();
    ASSERT_TRUE(view.runToEnd(control));
    EXPECT_EQ(control.lastOutcome(), MixOutcome::Completed) << messages().toStdString();
    EXPECT_EQ(desktop.messages.size(), 1u) << messages().toStdString();
    sonarel::testing::WavData wav;
    std::string error;
    ASSERT_TRUE(sonarel::testing::readWav(settings.outputFile.toStdString(), wav, error)) << error;
    EXPECT_EQ(wav.frames(), 3 * 44100);
}
