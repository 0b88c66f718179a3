// SPDX-License-Identifier: GPL-3.0-or-later
// The loudness meter against the figures BS.1770 and EBU Tech 3341 give for test signals.
#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
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

// Every output of every phase, each a sum over the taps in order, with nothing passed over: the
// true peak must be this to the bit, however wide the loop that finds it and whatever it skips.
float plainTruePeak(const TruePeakMeter& meter, const std::vector<float>& samples, int channels)
{
    const std::vector<float>& taps = meter.taps();
    const auto frames = static_cast<std::ptrdiff_t>(samples.size()) / channels;
    float peak = 0.0f;
    for (int c = 0; c < channels; ++c)
        for (int phase = 0; phase < meter.factor(); ++phase)
            for (std::ptrdiff_t n = 0; n < frames; ++n) {
                float sum = 0.0f;
                for (std::ptrdiff_t k = 0; k < TruePeakMeter::kTaps; ++k)
                    sum += taps[static_cast<std::size_t>(phase * TruePeakMeter::kTaps + k)] *
                           (n - k >= 0 ? samples[static_cast<std::size_t>((n - k) * channels + c)] : 0.0f);
                peak = std::max(peak, std::abs(sum));
            }
    return peak;
}

TEST(LoudnessMeterTest, TruePeakIsThePlainInterpolatorsToTheBit)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<float> noise(-0.3f, 0.3f);
    for (const int rate : {44100, 96000, 192000}) {
        for (const int channels : {1, 2, 3}) {
            // Noise, then a quieter stretch whose peaks lie between its samples, then a louder
            // burst on the last channel only.
            std::vector<float> samples;
            for (int i = 0; i < 3000 * channels; ++i)
                samples.push_back(noise(random));
            for (int n = 0; n < 3000; ++n)
                for (int c = 0; c < channels; ++c)
                    samples.push_back(static_cast<float>(0.33 * std::sin(M_PI / 2 * n + M_PI / 4)));
            for (int n = 0; n < 500; ++n)
                for (int c = 0; c < channels; ++c)
                    samples.push_back(c == channels - 1 ? 2.0f * noise(random) : 0.0f);
            for (const std::size_t block : {std::size_t{7}, std::size_t{4096}}) {
                SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " channels, blocks of " << block);
                TruePeakMeter meter(channels, rate);
                const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
                for (std::size_t at = 0; at < frames; at += block)
                    meter.add(samples.data() + at * static_cast<std::size_t>(channels), std::min(block, frames - at));
                EXPECT_EQ(meter.peak(), plainTruePeak(meter, samples, channels));
            }
        }
    }
}

// A programme whose loudness moves: tones at several levels, different on each channel, noise,
// a silence (below the absolute gate) and a quiet stretch (below the relative gate).
std::vector<float> movingProgramme(int rate, int channels)
{
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.1f);
    std::vector<float> samples;
    const auto addSeconds = [&](double seconds, auto sample) {
        const auto frames = static_cast<std::size_t>(seconds * rate);
        for (std::size_t f = 0; f < frames; ++f)
            for (int c = 0; c < channels; ++c)
                samples.push_back(sample(static_cast<double>(f) / rate, c));
    };
    for (int part = 0; part < 4; ++part)
        addSeconds(1.2, [&](double t, int c) {
            return static_cast<float>((0.05 + 0.1 * part) *
                                      std::sin(2.0 * M_PI * (200.0 + 400.0 * part + 50.0 * c) * t));
        });
    addSeconds(1.5, [&](double, int) { return noise(random); });
    addSeconds(1.0, [](double, int) { return 0.0f; });
    addSeconds(3.0, [](double t, int c) { return static_cast<float>(0.002 * std::sin(2.0 * M_PI * (60.0 + c) * t)); });
    addSeconds(1.2, [&](double t, int) { return static_cast<float>(0.9 * std::sin(2.0 * M_PI * 5000.0 * t)); });
    return samples;
}

// The figures are libebur128's: at every rate a mix may have, mono and stereo, exact and binned,
// fed in blocks that do not line up with its 100 ms steps.
TEST(LoudnessMeterTest, FiguresAreLibebur128s)
{
    for (const int rate : {8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000, 176400, 192000}) {
        for (const int channels : {1, 2}) {
            const std::vector<float> samples = movingProgramme(rate, channels);
            const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
            for (const bool binned : {false, true}) {
                SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " channels, binned " << binned);
                const std::int64_t expected = binned ? (kLongestExactlyMeasuredSeconds + 1) * std::int64_t{rate} : 0;
                LoudnessMeter meter(channels, rate, expected);
                ebur128_state* reference = ebur128_init(static_cast<unsigned>(channels),
                                                        static_cast<unsigned long>(rate),
                                                        EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_SAMPLE_PEAK |
                                                            (binned ? EBUR128_MODE_HISTOGRAM : 0));
                ASSERT_NE(reference, nullptr);
                constexpr std::size_t kBlock = 1237;
                for (std::size_t at = 0; at < frames; at += kBlock) {
                    const float* block = samples.data() + at * static_cast<std::size_t>(channels);
                    meter.add(block, std::min(kBlock, frames - at));
                    ebur128_add_frames_float(reference, block, std::min(kBlock, frames - at));
                }
                double integrated = 0.0, range = 0.0, peak = 0.0, channelPeak = 0.0;
                ebur128_loudness_global(reference, &integrated);
                ebur128_loudness_range(reference, &range);
                for (int c = 0; c < channels; ++c) {
                    ebur128_sample_peak(reference, static_cast<unsigned>(c), &channelPeak);
                    peak = std::max(peak, channelPeak);
                }
                ebur128_destroy(&reference);
                const LoudnessFigures figures = meter.figures();
                EXPECT_NEAR(figures.integratedLufs, integrated, 1e-6);
                EXPECT_NEAR(figures.rangeLu, range, 1e-6);
                EXPECT_GT(figures.rangeLu, 3.0);
                EXPECT_EQ(figures.samplePeakDbfs, 20.0 * std::log10(peak));
            }
        }
    }
}

}  // namespace
}  // namespace sonarel::media::core
