// SPDX-License-Identifier: GPL-3.0-or-later
// Mixes at scale and with inputs that change under the mix, through the run control on the real
// engine: a list far longer than the window's mixes to the sum of its halves, sample by sample, and
// exactly as its entries built one by one would; an
// input cut short while it plays is named at the end, and the rest of its entry is silent.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/media/FaultPoints.h"
#include "render/MediaProbe.h"
#include "support/MixRunFixture.h"
#include "support/WavFile.h"

namespace sonarel {
namespace {

using testing::WavData;

class LongListMixTest : public testing::MixRunFixture {
protected:
    WavData mix(const MixItemStore& store, const QString& name)
    {
        OutputSettings settings;
        settings.outputFile = dir.filePath(name);
        desktop.answers = {true, true};
        control.mixCommand(store, settings);
        EXPECT_TRUE(control.isMixing()) << desktop.texts().join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(view.runToEnd(control));
        EXPECT_EQ(control.lastOutcome(), MixOutcome::Completed);
        WavData wav;
        std::string error;
        EXPECT_TRUE(testing::readWav(settings.outputFile.toStdString(), wav, error)) << error;
        return wav;
    }

    std::int32_t sampleOr0(const WavData& wav, std::size_t i) { return i < wav.samples.size() ? wav.samples[i] : 0; }
};

// 20,000 overlapping entries of a few milliseconds (three sounds, four volumes) in one list, and
// the same entries as two lists whose mixes are summed: every sample agrees within the rounding of
// the two extra conversions to 16 bits.
TEST_F(LongListMixTest, TwentyThousandEntriesMixAsTheSumOfTheirHalves)
{
    std::vector<std::string> clips;
    for (int k = 0; k < 3; ++k) {
        const std::string clip = dir.filePath(QStringLiteral("clip%1.wav").arg(k)).toStdString();
        testing::writeWav16(clip, 2, 44100, testing::sine16(2, 44100, 0.004 + 0.002 * k, 500.0 + 300.0 * k, 3000));
        clips.push_back(clip);
    }
    constexpr int kEntries = 20000;
    MixItemStore all(kUnboundedCapacity);
    MixItemStore firstHalf(kUnboundedCapacity);
    MixItemStore secondHalf(kUnboundedCapacity);
    for (int i = 0; i < kEntries; ++i) {
        MixItem item;
        item.filePath = clips[static_cast<std::size_t>(i % 3)];
        item.duration = (40 + 20 * (i % 3)) * kReferenceUnitsPerSecond / 10000;
        item.startTime = i * kReferenceUnitsPerSecond / 400;  // every 2.5 ms: two or three at once
        item.volume = 0.2 + 0.1 * (i % 4);
        ASSERT_EQ(all.append(item), AppendResult::Appended);
        ASSERT_EQ((i < kEntries / 2 ? firstHalf : secondHalf).append(item), AppendResult::Appended);
    }
    const WavData whole = mix(all, QStringLiteral("all.wav"));
    const WavData first = mix(firstHalf, QStringLiteral("first.wav"));
    const WavData second = mix(secondHalf, QStringLiteral("second.wav"));
    ASSERT_EQ(whole.frames(), second.frames());  // the last entry ends both
    ASSERT_NEAR(whole.frames(), (kEntries - 1) * 44100 / 400.0 + 0.006 * 44100, 1.0);
    std::int32_t loudest = 0;
    for (std::size_t i = 0; i < whole.samples.size(); ++i) {
        ASSERT_NEAR(whole.samples[i], sampleOr0(first, i) + sampleOr0(second, i), 1) << "sample " << i;
        loudest = std::max(loudest, std::abs(whole.samples[i]));
    }
    EXPECT_GT(loudest, 1500);
    // The window's list keeps its capacity.
    MixItemStore window;
    for (int i = 0; i < kMixItemCapacity; ++i)
        ASSERT_EQ(window.append(clips[0], kReferenceUnitsPerSecond / 250), AppendResult::Appended);
    EXPECT_EQ(window.append(clips[0], kReferenceUnitsPerSecond / 250), AppendResult::ListFull);
}

// A list longer than the window's is built as one table of entries rather than three nodes per
// entry: with every kind of shaping, a missing file and a muted entry in it, it mixes to exactly
// the file its first thousand entries give through the window's way of building.
TEST_F(LongListMixTest, ALongListAsOneTableMixesAsItsEntriesOneByOne)
{
    std::vector<std::string> clips;
    for (int k = 0; k < 3; ++k) {
        const std::string clip = dir.filePath(QStringLiteral("shaped%1.wav").arg(k)).toStdString();
        testing::writeWav16(clip, 2, 22050, testing::sine16(2, 22050, 0.05 + 0.01 * k, 300.0 + 200.0 * k, 6000));
        clips.push_back(clip);
    }
    const std::string missing = dir.filePath(QStringLiteral("gone.wav")).toStdString();
    MixItemStore table(kUnboundedCapacity);
    MixItemStore oneByOne;
    for (int i = 0; i < kMixItemCapacity; ++i) {
        MixItem item;
        item.filePath = i == 500 ? missing : clips[static_cast<std::size_t>(i % 3)];
        item.duration = (500 + 100 * (i % 3)) * kReferenceUnitsPerSecond / 10000;
        item.startTime = i * kReferenceUnitsPerSecond / 100;
        item.volume = 0.1 + 0.05 * (i % 5);
        item.speed = i % 7 == 0 ? 1.5 : (i % 11 == 0 ? 0.75 : 1.0);
        item.keepPitch = i % 13 == 0;
        item.inPoint = i % 4 == 1 ? kReferenceUnitsPerSecond / 100 : 0;
        item.fadeIn = i % 6 == 2 ? kReferenceUnitsPerSecond / 50 : 0;
        item.fadeOut = i % 5 == 3 ? kReferenceUnitsPerSecond / 40 : 0;
        item.fadeCurve = i % 2 == 0 ? FadeCurve::EqualPower : FadeCurve::Linear;
        item.muted = i % 97 == 0;
        ASSERT_EQ(table.append(item), AppendResult::Appended);
        ASSERT_EQ(oneByOne.append(item), AppendResult::Appended);
    }
    MixItem muted;  // the one past the window's capacity, which makes the list long
    muted.filePath = clips[0];
    muted.duration = kReferenceUnitsPerSecond;
    muted.startTime = 20 * kReferenceUnitsPerSecond;
    muted.muted = true;
    ASSERT_EQ(table.append(muted), AppendResult::Appended);

    const WavData long_ = mix(table, QStringLiteral("table.wav"));
    const QString saidOfTable = desktop.texts().join(QLatin1Char('|'));
    desktop.messages.clear();
    const WavData short_ = mix(oneByOne, QStringLiteral("nodes.wav"));
    EXPECT_EQ(saidOfTable, desktop.texts().join(QLatin1Char('|')));
    EXPECT_TRUE(saidOfTable.contains(QString::fromStdString(missing))) << saidOfTable.toStdString();
    ASSERT_GT(short_.frames(), 10 * 44100);
    ASSERT_EQ(long_.samples.size(), short_.samples.size());
    for (std::size_t i = 0; i < short_.samples.size(); ++i)
        ASSERT_EQ(long_.samples[i], short_.samples[i]) << "sample " << i;
}

// The file is cut to 2 s of its 6 s while the mix reads it (the mix is held at a packet read
// meanwhile): the mix completes, the entry is silent from the cut on, and the message names it.
TEST_F(LongListMixTest, AnInputCutShortWhileItPlaysIsNamedAtTheEnd)
{
    const QString longInput = dir.filePath(QStringLiteral("long.wav"));
    testing::writeWav16(longInput.toStdString(), 2, 44100, testing::sine16(2, 44100, 6.0, 440, 8000));
    MixItemStore store;
    ASSERT_EQ(store.append(longInput.toStdString(), 6 * kReferenceUnitsPerSecond), AppendResult::Appended);
    const auto cutAt = static_cast<std::uintmax_t>(44 + 2 * 44100 * 4);
    library.faults().whenReached(media::fault::kReadSource, 8,
                                 [&] { std::filesystem::resize_file(longInput.toStdString(), cutAt); });
    const WavData wav = mix(store, QStringLiteral("out.wav"));
    ASSERT_EQ(wav.frames(), 6 * 44100);
    const auto loudestIn = [&](std::int64_t from, std::int64_t to) {
        std::int32_t loudest = 0;
        for (std::int64_t k = from; k < to; ++k)
            loudest = std::max(loudest, std::abs(wav.at(k, 0)));
        return loudest;
    };
    EXPECT_GT(loudestIn(0, 44100), 7000);
    EXPECT_EQ(loudestIn(2 * 44100, 6 * 44100), 0);
    const QString said = desktop.texts().join(QLatin1Char('|'));
    EXPECT_TRUE(said.contains(longInput + QStringLiteral(" ended early"))) << said.toStdString();

    // The same file whole again: nothing is said about it.
    testing::writeWav16(longInput.toStdString(), 2, 44100, testing::sine16(2, 44100, 6.0, 440, 8000));
    library.faults().clear();
    desktop.messages.clear();
    const WavData again = mix(store, QStringLiteral("again.wav"));
    EXPECT_EQ(again.frames(), 6 * 44100);
    EXPECT_FALSE(desktop.texts().join(QLatin1Char('|')).contains(QStringLiteral("ended early")));
}

// Files whose headers promise more sound than they hold (a download cut short): the header's 6 s
// are measured, the sound stops where the data does, and the message names the entry and the time
// its sound ended. A file whose length is only a little off says nothing.
TEST_F(LongListMixTest, AFileHoldingLessThanItsHeaderSaysIsNamedWithWhereItsSoundEnded)
{
    struct Case {
        const char* name;
        const char* made;          // the whole file, from the test media
        double keptShare;          // of the file's bytes
        REFERENCE_TIME inPoint;    // where the entry starts in the file
        REFERENCE_TIME startTime;  // where it starts in the mix
        double endedAt;            // where the message says its sound ended; negative: nothing is said
    };
    const Case cases[] = {
        {"cut.flac", "sine6.flac", 2.0 / 3.0, 0, 0, 4.0},
        // The index first, as downloads have it: its 6 s stay measurable when the data is cut.
        {"cut.m4a", "sine6_index_first.m4a", 1.0 / 3.0, 3 * kReferenceUnitsPerSecond, kReferenceUnitsPerSecond, 1.0},
        {"whole.flac", "sine6.flac", 1.0, 0, 0, -1.0},
    };
    const char* media = std::getenv("SONAREL_TEST_MEDIA");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        const std::filesystem::path made = std::filesystem::path(media ? media : "test-media") / c.made;
        std::filesystem::copy_file(made, path.toStdString(), std::filesystem::copy_options::overwrite_existing);
        std::filesystem::resize_file(path.toStdString(),
                                     static_cast<std::uintmax_t>(QFileInfo(path).size() * c.keptShare));
        MixItemStore store;
        MixItem first;  // a muted entry before it: the entry is named by its place in the list
        first.filePath = input.toStdString();
        first.muted = true;
        ASSERT_EQ(appendMeasured(store, library, first), AppendResult::Appended);
        MixItem entry;
        entry.filePath = path.toStdString();
        entry.inPoint = c.inPoint;
        entry.startTime = c.startTime;
        ASSERT_EQ(appendMeasured(store, library, entry), AppendResult::Appended);
        ASSERT_NEAR(static_cast<double>(store.at(1).duration) / kReferenceUnitsPerSecond, 6.0, 0.1);
        desktop.messages.clear();
        const WavData wav = mix(store, QString::fromLatin1(c.name) + QStringLiteral(".wav"));
        const QString said = desktop.texts().join(QLatin1Char('|'));
        if (c.endedAt < 0) {
            EXPECT_FALSE(said.contains(QStringLiteral("ended early"))) << said.toStdString();
            continue;
        }
        const QRegularExpressionMatch match =
            QRegularExpression(QRegularExpression::escape(path) +
                               QStringLiteral(" ended early, at ([0-9.]+) s of the mix \\(entry 2\\): the file holds "
                                              "less sound than its header says, so the rest of its entry is silent."))
                .match(said);
        ASSERT_TRUE(match.hasMatch()) << said.toStdString();
        // The time said is where the mix really falls silent (the entry's start when it never sounded).
        std::int64_t lastSound = -1;
        for (std::int64_t k = 0; k < wav.frames(); ++k)
            if (wav.at(k, 0) != 0)
                lastSound = k;
        const double silentFrom = lastSound < 0 ? static_cast<double>(c.startTime) / kReferenceUnitsPerSecond
                                                : static_cast<double>(lastSound + 1) / 44100;
        EXPECT_NEAR(match.captured(1).toDouble(), silentFrom, 0.051);
        EXPECT_NEAR(silentFrom, c.endedAt, 0.5);
    }
}

}  // namespace
}  // namespace sonarel
