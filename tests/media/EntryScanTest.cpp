// SPDX-License-Identifier: GPL-3.0-or-later
// The scans behind Match Loudness and Trim Silence on generated media: where a take's sound lies,
// and the loudness of an entry's played part as the mix renders it, without its fades or volume.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/media/core/EntryScan.h"
#include "tests/media/MediaTestSupport.h"

namespace sonarel::media {
namespace {

using test::mediaPath;
using test::u16;

constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;
constexpr REFERENCE_TIME kMillisecond = kSecond / 1000;
const float kMinus50Dbfs = static_cast<float>(std::pow(10.0, -50.0 / 20.0));

TEST(EntryScanTest, FindsTheSoundOfATakeWithinTheGivenPart)
{
    struct Case {
        const char* name;
        const char* file;
        REFERENCE_TIME from, to;
        bool found;
        REFERENCE_TIME first, end;
    } const cases[] = {
        {"whole take", "padded_take.wav", 0, core::kToFileEnd, true, kSecond, 3 * kSecond},
        {"inside its sound", "padded_take.wav", 3 * kSecond / 2, 5 * kSecond / 2, true, 3 * kSecond / 2,
         5 * kSecond / 2},
        {"only its silence", "padded_take.wav", 3 * kSecond + kSecond / 10, core::kToFileEnd, false, 0, 0},
        {"silent throughout", "silence.wav", 0, core::kToFileEnd, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        core::SoundSpan span;
        std::string detail;
        ASSERT_EQ(core::findSound(mediaPath(c.file), c.from, c.to, kMinus50Dbfs, nullptr, span, detail), kOk) << detail;
        EXPECT_EQ(span.found, c.found);
        if (c.found) {
            EXPECT_NEAR(static_cast<double>(span.first), static_cast<double>(c.first),
                        static_cast<double>(kMillisecond));
            EXPECT_NEAR(static_cast<double>(span.end), static_cast<double>(c.end), static_cast<double>(kMillisecond));
        }
    }
    core::SoundSpan span;
    std::string detail;
    EXPECT_TRUE(failed(core::findSound(mediaPath("text.wav"), 0, core::kToFileEnd, kMinus50Dbfs, nullptr, span,
                                       detail)));
    EXPECT_NE(detail.find("text.wav"), std::string::npos);
    std::atomic<bool> stop{true};
    EXPECT_EQ(core::findSound(mediaPath("padded_take.wav"), 0, core::kToFileEnd, kMinus50Dbfs, &stop, span, detail),
              kErrAbort);
}

core::SourceEntry entryOf(const char* file, double seconds)
{
    core::SourceEntry entry;
    entry.name = core::sharedName(u16(mediaPath(file)));
    entry.timelineStart = 5 * kSecond;
    entry.timelineStop = entry.timelineStart + static_cast<REFERENCE_TIME>(seconds * kSecond);
    entry.mediaStop = static_cast<REFERENCE_TIME>(seconds * kSecond);
    return entry;
}

double loudnessOf(const core::SourceEntry& entry, int channels = 2)
{
    LoudnessFigures figures;
    std::string detail;
    EXPECT_EQ(core::measurePlayedLoudness(entry, 44100, channels, nullptr, figures, detail), kOk) << detail;
    EXPECT_TRUE(figures.measured);
    return figures.integratedLufs;
}

TEST(EntryScanTest, MeasuresThePlayedPartWithoutItsFadesOrVolume)
{
    const core::SourceEntry loud = entryOf("loud_phrase.flac", 6.0);
    const core::SourceEntry quiet = entryOf("quiet_phrase.mp3", 6.0);
    const double loudLufs = loudnessOf(loud);
    EXPECT_NEAR(loudLufs - loudnessOf(quiet), 18.0, 0.3);

    core::SourceEntry shaped = loud;
    shaped.volume = 0.25;
    shaped.shaping.fadeIn = 2 * kSecond;
    shaped.shaping.fadeOut = kSecond;
    shaped.shaping.cutRampOut = kSecond / 100;
    EXPECT_DOUBLE_EQ(loudnessOf(shaped), loudLufs);

    LoudnessFigures figures;
    std::string detail;
    std::atomic<bool> stop{true};
    EXPECT_EQ(core::measurePlayedLoudness(loud, 44100, 2, &stop, figures, detail), kErrAbort);
}

}  // namespace
}  // namespace sonarel::media
