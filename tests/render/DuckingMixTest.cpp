// SPDX-License-Identifier: GPL-3.0-or-later
// Ducking through the whole mix: a constant level (the music) under silent duck entries (the
// voices), mixed to a file by the run control and read back, so every frame shows the gain that
// ducking gave the music there.
#include <gtest/gtest.h>

#include <cmath>

#include "support/MixRunFixture.h"

namespace sonarel {
namespace {

constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;
constexpr int kRate = 44100;
constexpr std::int16_t kLevel = 16000;

class DuckingMixTest : public testing::MixRunFixture {
protected:
    void SetUp() override
    {
        MixRunFixture::SetUp();
        music = dir.filePath(QStringLiteral("music.wav")).toStdString();
        voice = dir.filePath(QStringLiteral("voice.wav")).toStdString();
        testing::writeWav16(music, 1, kRate, testing::constant16(1, kRate, 6.0, kLevel));
        testing::writeWav16(voice, 1, kRate, testing::constant16(1, kRate, 1.0, 0));
    }

    void add(MixItemStore& store, const std::string& path, REFERENCE_TIME start, REFERENCE_TIME length, bool duck,
             bool muted = false)
    {
        MixItem item;
        item.filePath = path;
        item.duration = length;
        item.startTime = start;
        item.duck = duck;
        item.muted = muted;
        ASSERT_EQ(store.append(item), AppendResult::Appended);
    }

    // The music's gain at each frame of the mix.
    testing::WavData mixed(const MixItemStore& store)
    {
        OutputSettings settings;
        settings.channelsIndex = 1;  // mono
        settings.outputFile = dir.filePath(QStringLiteral("mix%1.wav").arg(++mixes));
        control.mixCommand(store, settings);
        EXPECT_TRUE(view.runToEnd(control));
        EXPECT_EQ(control.lastOutcome(), MixOutcome::Completed) << desktop.texts().join(QLatin1Char('|')).toStdString();
        return testing::readWav(settings.outputFile.toStdString());
    }

    std::string music;
    std::string voice;
    int mixes = 0;
};

double gainAt(const testing::WavData& wav, double seconds)
{
    return wav.at(std::llround(seconds * kRate), 0) / static_cast<double>(kLevel);
}

double decibels(double gain)
{
    return 20.0 * std::log10(gain);
}

// Voices 1 s long at the given starts; the music's gain at points of the mix, in dB (a ramp's
// middle is half way in amplitude, as the ramps are linear in it).
TEST_F(DuckingMixTest, TheMusicSitsAtTheDepthUnderAVoiceAndAtItsOwnLevelAwayFromIt)
{
    const double d12 = std::pow(10.0, -12.0 / 20.0);
    struct Case {
        const char* what;
        std::vector<double> voices;
        DuckSettings ducking;
        std::vector<std::pair<double, double>> gains;  // seconds, expected gain
    };
    const Case cases[] = {
        {"one voice, the defaults",
         {2.0},
         {},
         {{1.0, 1.0},
          {1.69, 1.0},
          {1.85, (1.0 + d12) / 2},
          {2.5, d12},
          {3.25, (1.0 + d12) / 2},
          {3.51, 1.0},
          {5.0, 1.0}}},
        {"a gap shorter than attack and release stays down",
         {1.0, 2.6},
         {},
         {{0.5, 1.0}, {1.5, d12}, {2.3, d12}, {3.0, d12}, {4.11, 1.0}}},
        {"a longer gap comes back up", {1.0, 3.0}, {}, {{2.5, 1.0}, {1.5, d12}, {3.5, d12}}},
        {"depth, attack and release of the list",
         {2.0},
         {-20.0, 0.0, 1.0},
         {{1.99, 1.0}, {2.0, 0.1}, {2.99, 0.1}, {3.5, 0.55}, {4.01, 1.0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MixItemStore store;
        add(store, music, 0, 6 * kSecond, false);
        for (double start : c.voices)
            add(store, voice, nearestReferenceTime(start), kSecond, true);
        store.setDucking(c.ducking);
        const testing::WavData wav = mixed(store);
        ASSERT_TRUE(wav.valid) << wav.error;
        ASSERT_EQ(wav.frames(), 6 * kRate);
        for (const auto& [seconds, gain] : c.gains) {
            SCOPED_TRACE(seconds);
            if (gain == 1.0)
                EXPECT_EQ(wav.at(std::llround(seconds * kRate), 0), kLevel);
            else
                EXPECT_NEAR(decibels(gainAt(wav, seconds)), decibels(gain), 0.1);
        }
    }
}

// A muted duck entry is not heard, so nothing ducks under it; the music plays as without one.
TEST_F(DuckingMixTest, AMutedVoiceDucksNothing)
{
    MixItemStore store;
    add(store, music, 0, 6 * kSecond, false);
    add(store, voice, 2 * kSecond, kSecond, true, true);
    const testing::WavData wav = mixed(store);
    ASSERT_TRUE(wav.valid) << wav.error;
    ASSERT_EQ(wav.frames(), 6 * kRate);
    for (std::int64_t frame = 0; frame < wav.frames(); ++frame)
        ASSERT_EQ(wav.at(frame, 0), kLevel) << frame;
}

}  // namespace
}  // namespace sonarel
