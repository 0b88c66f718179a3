// SPDX-License-Identifier: GPL-3.0-or-later
// The true-peak limiter holds the true peak (as libebur128 measures it) at the ceiling, touches
// nothing away from the peaks, and lets a normalized mix reach its target.
#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/media/core/TruePeakLimiter.h"
#include "tests/media/MediaTestSupport.h"

namespace sonarel::media::test {
namespace {

struct Reference {
    double integratedLufs = 0.0;
    double truePeakDbtp = 0.0;
};

Reference measured(const std::vector<float>& samples, int channels, int rate)
{
    ebur128_state* state = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                                        EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_float(state, samples.data(), samples.size() / static_cast<std::size_t>(channels));
    Reference figures;
    ebur128_loudness_global(state, &figures.integratedLufs);
    double peak = 0.0;
    for (int c = 0; c < channels; ++c) {
        double channelPeak = 0.0;
        ebur128_true_peak(state, static_cast<unsigned>(c), &channelPeak);
        peak = std::max(peak, channelPeak);
    }
    figures.truePeakDbtp = 20.0 * std::log10(peak);
    ebur128_destroy(&state);
    return figures;
}

// A quiet tone with a loud 5 ms burst at 3 kHz every two seconds, the first at 0.5 s.
std::vector<float> tonesWithBursts(int channels, int rate, double seconds)
{
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<float> samples(frames * static_cast<std::size_t>(channels));
    for (std::size_t f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / rate;
        const double sinceBurst = std::fmod(t + 1.5, 2.0);
        double value = 0.1 * std::sin(2.0 * M_PI * 220.0 * t);
        if (sinceBurst < 0.005)
            value += 0.85 * std::sin(2.0 * M_PI * 3000.0 * t + 0.3);
        for (int c = 0; c < channels; ++c)
            samples[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = static_cast<float>(
                c == 0 ? value : -0.9 * value);
    }
    return samples;
}

// At several rates, in mono and stereo, fed in blocks of any length: as many frames come out as
// went in, the true peak is at or below the ceiling, every burst is one peak lowered, and a
// second after a burst until just before the next the samples are the input's, to the bit.
TEST(LimiterTest, HoldsTheTruePeakAndLeavesTheRestAlone)
{
    constexpr double kCeiling = -6.0;
    for (const int rate : {44100, 48000, 96000}) {
        for (const int channels : {1, 2}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " channels");
            const std::vector<float> input = tonesWithBursts(channels, rate, 6.0);
            ASSERT_GT(measured(input, channels, rate).truePeakDbtp, kCeiling + 4.0);
            core::TruePeakLimiter limiter(channels, rate, kCeiling);
            std::vector<float> output;
            const std::size_t frames = input.size() / static_cast<std::size_t>(channels);
            for (std::size_t at = 0, block = 1000; at < frames; at += block, block = block * 7 % 4093 + 1)
                limiter.process(input.data() + at * static_cast<std::size_t>(channels), std::min(block, frames - at),
                                output);
            limiter.finish(output);
            ASSERT_EQ(output.size(), input.size());
            EXPECT_LE(measured(output, channels, rate).truePeakDbtp, kCeiling + 0.05);
            EXPECT_EQ(limiter.peaksLowered(), 3);
            EXPECT_GT(limiter.mostReductionDb(), 4.0);
            const auto second = static_cast<std::size_t>(rate);
            for (const std::size_t burst : {second / 2, second * 5 / 2}) {
                const std::size_t from = (burst + second + second / 5) * static_cast<std::size_t>(channels);
                const std::size_t to = (burst + 2 * second - second / 100) * static_cast<std::size_t>(channels);
                std::size_t changed = 0;
                for (std::size_t i = from; i < to; ++i)
                    changed += output[i] != input[i];
                EXPECT_EQ(changed, 0u) << "after the burst at frame " << burst;
            }
        }
    }
}

class NormalizedLimitTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(lib.initialize(), kOk); }

    // Mixes bursts.wav normalized to -16 LUFS under a -1 dBTP ceiling; the written samples and
    // what the mix said of its loudness.
    std::vector<float> normalized(bool limiter, LoudnessFigures& said)
    {
        core::OutputEncoding encoding;
        encoding.normalize = true;
        encoding.targetLufs = -16.0;
        encoding.truePeakCeilingDbtp = -1.0;
        encoding.limiter = limiter;
        const auto out = scratchDir() / "normalized.wav";
        const RenderRun run = render(lib, {{mediaPath("bursts.wav")}}, pcmFormat(44100, 2, 24), out, true, encoding);
        EXPECT_EQ(run.runStatus, kOk);
        EXPECT_EQ(run.events.size(), 1u);
        said = run.events.empty() ? LoudnessFigures{} : run.events[0].loudness;
        const WavData wav = readWav(out.string());
        EXPECT_TRUE(wav.valid) << wav.error;
        std::vector<float> samples;
        for (const std::int32_t s : wav.samples)
            samples.push_back(static_cast<float>(s / 8388608.0));
        return samples;
    }

    MediaLibrary lib;
};

// Peaks 20 dB above the loudness: the ceiling alone holds the mix far below the target; with the
// limiter it measures the target within 0.2 LU and keeps the ceiling, and says what it lowered.
TEST_F(NormalizedLimitTest, TheLimiterLetsTheMixReachItsTarget)
{
    LoudnessFigures held;
    const Reference heldFigures = measured(normalized(false, held), 2, 44100);
    EXPECT_GT(held.belowTargetLu, 4.0);
    EXPECT_FALSE(held.limited);
    EXPECT_LE(heldFigures.truePeakDbtp, -1.0 + 0.01);

    LoudnessFigures limited;
    const Reference limitedFigures = measured(normalized(true, limited), 2, 44100);
    EXPECT_NEAR(limitedFigures.integratedLufs, -16.0, 0.2);
    EXPECT_LE(limitedFigures.truePeakDbtp, -1.0 + 0.01);
    EXPECT_TRUE(limited.limited);
    EXPECT_EQ(limited.belowTargetLu, 0.0);
    EXPECT_GE(limited.limitedPeaks, 3);
    EXPECT_GT(limited.limiterMostDb, 5.0);
    EXPECT_NEAR(limited.integratedLufs, limitedFigures.integratedLufs, 0.01);
}

}  // namespace
}  // namespace sonarel::media::test
