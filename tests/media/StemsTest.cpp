// SPDX-License-Identifier: GPL-3.0-or-later
// Stem files beside a mix: each holds its sources as the mix has them (ducked under every voice,
// at the mix's gain, through the limiter's gains), all are the mix's length, they add up to the
// mix, and the mix is the very file it is without them.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "tests/media/MediaTestSupport.h"

namespace sonarel::media::test {
namespace {

constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;
const WaveFormat kFloats{kWaveFormatIeeeFloat, 2, 44100, 352800, 8, 32, 0};

std::string bytesOf(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class StemsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(lib.initialize(), kOk); }

    // Two groups (0: bursts and a tone, 1: two tones) and a voice in none (stem 2) that the
    // others duck under.
    static std::vector<Entry> entries()
    {
        std::vector<Entry> list(5);
        list[0].path = mediaPath("bursts.wav");
        list[0].stem = 0;
        list[1].path = mediaPath("stereo16.wav");
        list[1].start = kSecond / 2;
        list[1].stem = 1;
        list[2].path = mediaPath("sine100.wav");
        list[2].start = 3 * kSecond;
        list[2].stem = 0;
        list[3].path = mediaPath("mono16.wav");
        list[3].start = 2 * kSecond;
        list[3].shaping.duck.others = true;
        list[3].stem = 2;
        list[4].path = mediaPath("loud.wav");
        list[4].start = 6 * kSecond;
        list[4].volume = 0.5;
        list[4].stem = 1;
        return list;
    }

    RenderRun mix(const std::filesystem::path& output, const core::OutputEncoding& encoding,
                  const std::vector<std::filesystem::path>& stems, const WaveFormat& format = kFloats)
    {
        RenderRun run = render(lib, entries(), format, output, true, encoding, stems);
        EXPECT_EQ(run.runStatus, kOk);
        EXPECT_EQ(run.events.size(), 1u);
        if (!run.events.empty()) {
            EXPECT_EQ(run.events[0].code, kEventComplete) << run.events[0].detail;
        }
        return run;
    }

    MediaLibrary lib;
};

// Plain, normalized with the limiter at work, and limited alone: every stem is the mix's length,
// the stems add up to the mix within 1e-6 in every sample, each stem holds sound, and the mix is
// byte for byte the one mixed without stems.
TEST_F(StemsTest, StemsAddUpToTheMixThroughGainAndLimiter)
{
    struct Case {
        const char* what;
        core::OutputEncoding encoding;
        bool limits;
    };
    core::OutputEncoding normalized;
    normalized.normalize = true;
    normalized.targetLufs = -6.0;
    core::OutputEncoding limited;
    limited.limit = true;
    limited.truePeakCeilingDbtp = -12.0;
    const Case cases[] = {{"plain", {}, false}, {"normalized", normalized, true}, {"limited", limited, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto dir = scratchDir();
        const std::vector<std::filesystem::path> stems = {dir / "a.wav", dir / "b.wav", dir / "ungrouped.wav"};
        const RenderRun run = mix(dir / "mix.wav", c.encoding, stems);
        ASSERT_EQ(run.events.size(), 1u);
        EXPECT_EQ(run.events[0].loudness.limited && run.events[0].loudness.limitedPeaks > 0, c.limits);
        const WavData wav = readWav((dir / "mix.wav").string());
        ASSERT_TRUE(wav.valid) << wav.error;
        ASSERT_EQ(wav.frames(), 8 * 44100);
        std::vector<double> sum(wav.samples.size(), 0.0);
        for (const auto& stem : stems) {
            const WavData part = readWav(stem.string());
            ASSERT_TRUE(part.valid) << stem << ": " << part.error;
            ASSERT_EQ(part.frames(), wav.frames()) << stem;
            double loudest = 0.0;
            for (std::size_t i = 0; i < sum.size(); ++i) {
                sum[i] += part.floatAt(i);
                loudest = std::max(loudest, std::abs(static_cast<double>(part.floatAt(i))));
            }
            EXPECT_GT(loudest, 0.01) << stem;
        }
        double worst = 0.0;
        for (std::size_t i = 0; i < sum.size(); ++i)
            worst = std::max(worst, std::abs(sum[i] - wav.floatAt(i)));
        EXPECT_LE(worst, 1e-6);

        const auto alone = dir / "alone.wav";
        mix(alone, c.encoding, {});
        EXPECT_TRUE(bytesOf(alone) == bytesOf(dir / "mix.wav")) << "the mix changed with its stems";
    }
}

// An encoded mix's stems are files of the same kind and, decoded, of the mix's length; a stem
// whose sources are all ducked still has every frame.
TEST_F(StemsTest, EncodedStemsHaveTheMixsLength)
{
    core::OutputEncoding flac;
    flac.container = core::OutputContainer::Flac;
    flac.normalize = true;
    const auto dir = scratchDir();
    const std::vector<std::filesystem::path> stems = {dir / "a.flac", dir / "b.flac", dir / "ungrouped.flac"};
    mix(dir / "mix.flac", flac, stems, pcmFormat(44100, 2, 16));
    int rate = 0;
    const std::int64_t frames = decodedFramesByFfmpeg((dir / "mix.flac").string(), rate);
    EXPECT_EQ(frames, 8 * 44100);
    for (const auto& stem : stems) {
        int stemRate = 0;
        EXPECT_EQ(decodedFramesByFfmpeg(stem.string(), stemRate), frames) << stem;
        EXPECT_EQ(stemRate, rate);
    }
}

}  // namespace
}  // namespace sonarel::media::test
