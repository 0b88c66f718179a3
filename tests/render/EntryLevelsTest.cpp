// SPDX-License-Identifier: GPL-3.0-or-later
// Match Loudness and Trim Silence without a window: two entries 18 LU apart, shaped (trim, speed,
// keep pitch), are matched and then mixed each alone through the run control, and each mix
// measures the target; takes are trimmed to their sound with the margin, and the entries that
// cannot be measured or trimmed are named and left as they are.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/media/core/LoudnessMeter.h"
#include "render/EngineEntry.h"
#include "render/EntryLevels.h"
#include "render/MediaProbe.h"
#include "support/MixRunFixture.h"

namespace sonarel {
namespace {

constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;
constexpr REFERENCE_TIME kMillisecond = kSecond / 1000;

std::string testMedia(const char* name)
{
    const char* folder = std::getenv("SONAREL_TEST_MEDIA");
    return (std::filesystem::path(folder ? folder : "test-media") / name).string();
}

class EntryLevelsTest : public testing::MixRunFixture {
protected:
    MixItem measured(const std::string& path, const EntryProperties& properties)
    {
        MixItem item;
        item.properties() = properties;
        item.filePath = path;
        item.duration = MeasureAudioDuration(library, QString::fromStdString(path));
        return item;
    }

    std::vector<LevelScanResult> scanned(const std::vector<MixItem>& entries, LevelTask task, double target)
    {
        LevelScan scan(entries, {task, target, 44100, 2});
        EXPECT_TRUE(scan.start());
        while (!scan.finished())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        scan.stop();
        EXPECT_EQ(scan.done(), static_cast<int>(entries.size()));
        return scan.results();
    }

    // The integrated loudness of `item` mixed alone into a 16-bit stereo WAV file.
    double mixedAlone(const MixItem& item, const QString& name)
    {
        MixItemStore alone;
        EXPECT_EQ(alone.append(item), AppendResult::Appended);
        OutputSettings settings;
        settings.outputFile = dir.filePath(name);
        control.mixCommand(alone, settings);
        EXPECT_TRUE(view.runToEnd(control));
        EXPECT_EQ(control.lastOutcome(), MixOutcome::Completed) << desktop.texts().join(u'|').toStdString();
        const testing::WavData wav = testing::readWav(settings.outputFile.toStdString());
        std::vector<float> samples;
        for (std::int32_t s : wav.samples)
            samples.push_back(static_cast<float>(s) / 32768.0f);
        media::core::LoudnessMeter meter(2, 44100);
        meter.add(samples.data(), samples.size() / 2);
        return meter.figures().integratedLufs;
    }
};

TEST_F(EntryLevelsTest, EntriesEighteenLuApartEachMeasureTheTargetWhenMixedAloneAfterMatching)
{
    std::vector<MixItem> entries{
        measured(testMedia("loud_phrase.flac"), {.volume = 0.3, .speed = 1.5, .inPoint = kSecond / 2}),
        measured(testMedia("quiet_phrase.mp3"), {.startTime = 2 * kSecond,
                                                 .volume = 2.0,
                                                 .speed = 0.8,
                                                 .outPoint = 5 * kSecond,
                                                 .keepPitch = true,
                                                 .pitchSemitones = 3.0}),
    };
    const std::vector<LevelScanResult> results = scanned(entries, LevelTask::MatchLoudness, -20.0);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_NEAR(results[0].measuredLufs - results[1].measuredLufs, 18.0, 0.5);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(results[i].result, LevelResult::Changed);
        EXPECT_EQ(results[i].properties.speed, entries[i].speed);  // only the volume changes
        entries[i].properties() = EntryProperties(results[i].properties);
        EXPECT_NEAR(mixedAlone(entries[i], QStringLiteral("alone%1.wav").arg(i)), -20.0, 0.5);
    }
}

TEST_F(EntryLevelsTest, TrimsToTheSoundWithItsMarginAndKeepsATrimFurtherIn)
{
    struct Case {
        const char* name;
        EntryProperties properties;
        REFERENCE_TIME in, out;  // expected; kToSourceEnd: unchanged
    } const cases[] = {
        {"untrimmed", {}, 9 * kSecond / 10, 31 * kSecond / 10},
        {"trimmed further in",
         {.inPoint = 3 * kSecond / 2, .outPoint = 5 * kSecond / 2},
         3 * kSecond / 2,
         5 * kSecond / 2},
        {"trimmed into the silence",
         {.inPoint = kSecond / 2, .outPoint = 7 * kSecond / 2},
         9 * kSecond / 10,
         31 * kSecond / 10},
    };
    std::vector<MixItem> entries;
    for (const Case& c : cases)
        entries.push_back(measured(testMedia("padded_take.wav"), c.properties));
    const std::vector<LevelScanResult> results = scanned(entries, LevelTask::TrimSilence, kDefaultSilenceDbfs);
    ASSERT_EQ(results.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_NEAR(static_cast<double>(results[i].properties.inPoint), static_cast<double>(cases[i].in),
                    static_cast<double>(kMillisecond));
        EXPECT_NEAR(static_cast<double>(results[i].properties.outPoint), static_cast<double>(cases[i].out),
                    static_cast<double>(kMillisecond));
    }
    EXPECT_EQ(results[1].result, LevelResult::Unchanged);
    EXPECT_TRUE(entriesLeftText(entries, results, LevelTask::TrimSilence).isEmpty());
}

TEST_F(EntryLevelsTest, EntriesThatCannotBeMeasuredAreNamedAndLeftAsTheyAre)
{
    struct Case {
        const char* name;
        LevelTask task;
        std::string file;
        EntryProperties properties;
        LevelResult result;
    } const cases[] = {
        {"too short",
         LevelTask::MatchLoudness,
         testMedia("loud_phrase.flac"),
         {.outPoint = 3 * kSecond / 10},
         LevelResult::TooShort},
        {"silent", LevelTask::MatchLoudness, testMedia("silence.wav"), {}, LevelResult::Silent},
        {"silent throughout", LevelTask::TrimSilence, testMedia("silence.wav"), {}, LevelResult::Silent},
        {"unreadable", LevelTask::MatchLoudness, testMedia("text.wav"), {}, LevelResult::Unreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EntryProperties properties = c.properties;
        properties.volume = 0.7;
        const std::vector<MixItem> entries{measured(c.file, properties)};
        const std::vector<LevelScanResult> results = scanned(entries, c.task, -20.0);
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].result, c.result);
        EXPECT_TRUE(sameProperties(results[0].properties, entries[0].properties()));
        const QString text = entriesLeftText(entries, results, c.task);
        EXPECT_TRUE(text.contains(QString::fromStdString(std::filesystem::path(c.file).filename().string())))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("left as they are"))) << text.toStdString();
    }
}

}  // namespace
}  // namespace sonarel
