// SPDX-License-Identifier: GPL-3.0-or-later
// The loudness meter against the figures BS.1770 and EBU Tech 3341 give for test signals.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/media/core/LoudnessMeter.h"

namespace sonarel::media::core {
namespace {

std::vector<float> stereoSine(int rate, double seconds, double frequency, double amplitude, double phase)
{
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<float> samples(frames * 2);
    for (std::size_t f = 0; f < frames; ++f)
        samples[2 * f] = samples[2 * f + 1] = static_cast<float>(
            amplitude * std::sin(2.0 * M_PI * frequency * static_cast<double>(f) / rate + phase));
    return samples;
}

LoudnessFigures measure(const std::vector<float>& samples, int rate, std::size_t block, std::int64_t expected = 0)
{
    LoudnessMeter meter(2, rate, expected);
    const std::size_t frames = samples.size() / 2;
    for (std::size_t at = 0; at < frames; at += block)
        meter.add(samples.data() + 2 * at, std::min(block, frames - at));
    return meter.figures();
}

TEST(LoudnessMeterTest, SineLevelsAndPeaksBetweenSamples)
{
    // 1 kHz at -20 dBFS on both channels reads -20 LUFS, as EBU Tech 3341's first case says of -23.
    for (const int rate : {44100, 48000, 96000}) {
        SCOPED_TRACE(rate);
        const LoudnessFigures tone = measure(stereoSine(rate, 10.0, 1000.0, 0.1, 0.0), rate, 8192);
        ASSERT_TRUE(tone.measured);
        EXPECT_NEAR(tone.integratedLufs, -20.0, 0.1);
        EXPECT_NEAR(tone.rangeLu, 0.0, 0.1);
        EXPECT_NEAR(tone.samplePeakDbfs, -20.0, 0.01);
        EXPECT_NEAR(tone.truePeakDbtp, -20.0, 0.1);
    }
    // A quarter of the rate, 45 degrees off the samples: every sample is at 0.707 of the peak, so
    // the true peak lies 3 dB above the sample peak. Odd block sizes cross the interpolator's
    // history at every block.
    for (const std::size_t block : {std::size_t{8192}, std::size_t{7}}) {
        const LoudnessFigures quarter = measure(stereoSine(48000, 2.0, 12000.0, 0.5, M_PI / 4), 48000, block);
        EXPECT_NEAR(quarter.samplePeakDbfs, 20.0 * std::log10(0.5 * std::sqrt(0.5)), 0.01);
        EXPECT_NEAR(quarter.truePeakDbtp, 20.0 * std::log10(0.5), 0.3);
    }
    // A peak between samples that comes after a louder sample peak: the quarter-rate sine's
    // samples (0.42) stay below the 0.5 already met, yet its true peak (0.6) is above it. A meter
    // that passed over stretches by their samples alone would keep 0.5.
    std::vector<float> louderBetween = stereoSine(48000, 1.0, 440.0, 0.5, 0.0);
    const std::vector<float> quarter = stereoSine(48000, 1.0, 12000.0, 0.6, M_PI / 4);
    louderBetween.insert(louderBetween.end(), quarter.begin(), quarter.end());
    const LoudnessFigures late = measure(louderBetween, 48000, 8192);
    EXPECT_NEAR(late.samplePeakDbfs, 20.0 * std::log10(0.5), 0.01);
    EXPECT_NEAR(late.truePeakDbtp, 20.0 * std::log10(0.6), 0.3);
    // Silence has no loudness, and says so instead of a number.
    const LoudnessFigures silence = measure(std::vector<float>(48000 * 2, 0.0f), 48000, 8192);
    EXPECT_FALSE(std::isfinite(silence.integratedLufs));
    EXPECT_FALSE(std::isfinite(silence.truePeakDbtp));
}

// A mix longer than a few hours is measured in bins rather than keeping every gating block; on a
// signal whose loudness moves (so that the range and the relative gate have work to do), the
// figures agree with the exact measure to within a few hundredths.
TEST(LoudnessMeterTest, LongMixesAreMeasuredInBinsWithTheSameFigures)
{
    constexpr int kRate = 8000;
    std::vector<float> varied;
    for (int part = 0; part < 12; ++part) {
        const std::vector<float> piece = stereoSine(kRate, 5.0, 300.0 + 50.0 * part, 0.02 + 0.03 * (part % 5), 0.0);
        varied.insert(varied.end(), piece.begin(), piece.end());
    }
    const LoudnessFigures exact = measure(varied, kRate, 4096);
    const LoudnessFigures binned = measure(varied, kRate, 4096,
                                           (kLongestExactlyMeasuredSeconds + 1) * static_cast<std::int64_t>(kRate));
    ASSERT_TRUE(exact.measured && binned.measured);
    EXPECT_GT(exact.rangeLu, 5.0);
    EXPECT_NEAR(binned.integratedLufs, exact.integratedLufs, 0.05);
    EXPECT_NEAR(binned.rangeLu, exact.rangeLu, 0.1);
    EXPECT_DOUBLE_EQ(binned.samplePeakDbfs, exact.samplePeakDbfs);
    EXPECT_DOUBLE_EQ(binned.truePeakDbtp, exact.truePeakDbtp);
}

}  // namespace
}  // namespace sonarel::media::core
