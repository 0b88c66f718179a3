// SPDX-License-Identifier: GPL-3.0-or-later
// The Rubber Band stretcher: exact lengths, tones that keep (or move to) the right pitch, sound that
// starts where it should, and a failing input reported.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <vector>

#include "platform/media/core/TimeStretcher.h"
#include "tests/support/ToneFrequency.h"

namespace sonarel::media::core {
namespace {

constexpr int kRate = 44100;

// Channel `c` of input frame `i`.
using Signal = std::function<float(std::int64_t i, int c)>;

// A pull that makes `frames` frames of `signal`, computed as they are asked for.
FramePull signalPull(std::int64_t frames, int channels, Signal signal)
{
    auto next = std::make_shared<std::int64_t>(0);
    return [=](float* out, std::int64_t want, std::int64_t& got) {
        got = std::min(want, frames - *next);
        for (std::int64_t i = 0; i < got; ++i)
            for (int c = 0; c < channels; ++c)
                out[i * channels + c] = signal(*next + i, c);
        *next += got;
        return kOk;
    };
}

Signal sine(double hz, double amplitude = 0.5, std::int64_t silentFrames = 0, int rate = kRate)
{
    return [=](std::int64_t i, int) {
        if (i < silentFrames)
            return 0.0f;
        const double t = static_cast<double>(i - silentFrames) / rate;
        return static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * t));
    };
}

// Reads everything the stretcher gives, in blocks of an awkward size; fails the test on an error.
std::vector<float> readAll(TimeStretcher& stretcher, int channels, std::int64_t block = 777)
{
    std::vector<float> out;
    std::vector<float> buffer(static_cast<std::size_t>(block * channels));
    for (;;) {
        std::int64_t got = -1;
        EXPECT_EQ(stretcher.read(buffer.data(), block, got), kOk);
        EXPECT_GE(got, 0);
        EXPECT_LE(got, block);
        if (got <= 0)
            break;
        out.insert(out.end(), buffer.begin(), buffer.begin() + got * channels);
        if (got < block)
            break;
    }
    return out;
}

std::vector<float> stretch(const StretchSettings& settings, FramePull pull)
{
    TimeStretcher stretcher;
    EXPECT_EQ(stretcher.open(settings, std::move(pull)), kOk);
    return readAll(stretcher, settings.channels);
}

// Frequency of channel `c` between frames `from` and `to`, from its rising zero crossings.
double frequency(const std::vector<float>& samples, int channels, int c, std::int64_t from, std::int64_t to,
                 int rate = kRate)
{
    return sonarel::testing::toneFrequency(
        [&](std::int64_t i) { return samples[static_cast<std::size_t>(i * channels + c)]; }, from, to, rate);
}

double rms(const std::vector<float>& samples, std::int64_t from, std::int64_t to)
{
    double sum = 0;
    for (std::int64_t i = from; i < to; ++i)
        sum += double(samples[static_cast<std::size_t>(i)]) * samples[static_cast<std::size_t>(i)];
    return std::sqrt(sum / static_cast<double>(to - from));
}

StretchSettings settings(int channels, double timeRatio, std::int64_t outputFrames, double pitchScale = 1.0,
                         StretchEngine engine = StretchSettings{}.engine)
{
    StretchSettings s;
    s.channels = channels;
    s.rate = kRate;
    s.timeRatio = timeRatio;
    s.pitchScale = pitchScale;
    s.outputFrames = outputFrames;
    s.engine = engine;
    return s;
}

// Lengths, timing and failures, with either engine.
class StretcherTest : public ::testing::TestWithParam<StretchEngine> {
protected:
    StretchSettings settings(int channels, double timeRatio, std::int64_t outputFrames, double pitchScale = 1.0)
    {
        return core::settings(channels, timeRatio, outputFrames, pitchScale, GetParam());
    }
};

TEST_P(StretcherTest, OutputHasExactlyTheLengthAskedFor)
{
    for (const std::int64_t inputFrames : {std::int64_t{100}, std::int64_t{10 * kRate}}) {
        for (const double ratio : {0.5, 0.75, 1.333, 2.0, 3.0}) {
            SCOPED_TRACE(::testing::Message() << inputFrames << " frames at ratio " << ratio);
            const auto frames = std::llround(static_cast<double>(inputFrames) * ratio);
            const auto out = stretch(settings(1, ratio, frames), signalPull(inputFrames, 1, sine(440)));
            ASSERT_EQ(static_cast<std::int64_t>(out.size()), frames);
            if (inputFrames > kRate) {  // the tone to the last 20 ms, not silence in place of a lost tail
                EXPECT_GT(rms(out, frames - kRate / 50, frames), 0.1);
            }
        }
    }
    // An input longer than the output asks for is cut, and read only as far as the output needs
    // (here an hour, for a second); one shorter is padded with silence.
    std::int64_t pulled = 0;
    FramePull hour = [&, tone = signalPull(3600 * kRate, 2, sine(440))](float* to, std::int64_t want,
                                                                        std::int64_t& got) {
        const Status status = tone(to, want, got);
        pulled += got;
        return status;
    };
    auto out = stretch(settings(2, 1.0, kRate), hour);
    EXPECT_EQ(out.size(), 2u * kRate);
    EXPECT_LT(pulled, kRate + kRate / 2);
    out = stretch(settings(2, 2.0, 3 * kRate), signalPull(kRate / 2, 2, sine(440)));
    ASSERT_EQ(out.size(), 6u * kRate);
    EXPECT_EQ(rms(out, 4 * kRate, 6 * kRate), 0.0);
    out = stretch(settings(2, 2.0, 0), signalPull(kRate, 2, sine(440)));
    EXPECT_TRUE(out.empty());
}

TEST_P(StretcherTest, SoundStartsOnTimeAndAtItsLevel)
{
    // Half a second of silence, then 440 Hz; at speed 2 the tone starts at 0.25 s.
    const std::int64_t silence = kRate / 2;
    const std::int64_t input = 4 * kRate;
    const auto out = stretch(settings(1, 0.5, input / 2), signalPull(input, 1, sine(440, 0.5, silence)));
    ASSERT_EQ(static_cast<std::int64_t>(out.size()), input / 2);

    // The onset: where the level first reaches half the tone's (1 ms windows). The library smears an
    // onset over a few ms either side; the half-way point stays put.
    const std::int64_t window = kRate / 1000;
    const double half = 0.5 * 0.5 / std::sqrt(2.0);
    std::int64_t onset = -1;
    for (std::int64_t at = 0; at + window <= static_cast<std::int64_t>(out.size()) && onset < 0; at += window)
        if (rms(out, at, at + window) > half)
            onset = at + window / 2;
    EXPECT_NEAR(static_cast<double>(onset), static_cast<double>(silence / 2), 0.005 * kRate);
    EXPECT_NEAR(rms(out, kRate / 2, 3 * kRate / 2), 2 * half, 0.1 * 2 * half);  // and at its own level
}

// Tones with the default engine, which entries use. (R2 bends steady tones by up to 10 cents.)
TEST(StretcherToneTest, SpeedKeepsThePitch)
{
    for (const int rate : {kRate, 8000}) {  // the output's highest and lowest rates
        SCOPED_TRACE(rate);
        const std::int64_t input = 4 * rate;
        StretchSettings s = settings(1, 0.5, input / 2);
        s.rate = rate;
        const auto out = stretch(s, signalPull(input, 1, sine(440, 0.5, 0, rate)));
        ASSERT_EQ(static_cast<std::int64_t>(out.size()), input / 2);
        EXPECT_NEAR(frequency(out, 1, 0, rate / 2, 3 * rate / 2, rate), 440.0, 2.0);
    }
}

TEST(StretcherToneTest, PitchShiftKeepsTheLength)
{
    const std::int64_t input = 3 * kRate;
    const auto out = stretch(settings(1, 1.0, input, 2.0), signalPull(input, 1, sine(440)));
    ASSERT_EQ(static_cast<std::int64_t>(out.size()), input);
    EXPECT_NEAR(frequency(out, 1, 0, kRate / 2, 5 * kRate / 2), 880.0, 4.0);
}

TEST(StretcherToneTest, StereoChannelsStayApart)
{
    // Left 440 Hz, right 660 Hz, slowed down to two thirds of the speed.
    const std::int64_t input = 3 * kRate;
    const Signal left = sine(440);
    const Signal right = sine(660);
    const auto out = stretch(settings(2, 1.5, input * 3 / 2), signalPull(input, 2, [&](std::int64_t i, int c) {
                                 return c == 0 ? left(i, c) : right(i, c);
                             }));
    ASSERT_EQ(static_cast<std::int64_t>(out.size()), input * 3);
    EXPECT_NEAR(frequency(out, 2, 0, kRate, 3 * kRate), 440.0, 2.0);
    EXPECT_NEAR(frequency(out, 2, 1, kRate, 3 * kRate), 660.0, 2.0);
}

TEST_P(StretcherTest, FailuresAreReported)
{
    // The input fails after a second: the failure comes back, and again on the next read.
    std::int64_t pulled = 0;
    FramePull failing = [&](float* out, std::int64_t want, std::int64_t& got) {
        if (pulled >= kRate) {
            got = 0;
            return kErrReadFault;
        }
        got = want;
        std::fill(out, out + want, 0.25f);
        pulled += want;
        return kOk;
    };
    TimeStretcher stretcher;
    ASSERT_EQ(stretcher.open(settings(1, 1.0, 4 * kRate), failing), kOk);
    std::vector<float> buffer(4 * kRate);
    std::int64_t got = 0;
    EXPECT_EQ(stretcher.read(buffer.data(), 4 * kRate, got), kErrReadFault);
    EXPECT_EQ(stretcher.read(buffer.data(), 4 * kRate, got), kErrReadFault);
    EXPECT_EQ(got, 0);

    // A pull that throws is a failure too, not an exception out of the engine.
    ASSERT_EQ(stretcher.open(settings(1, 1.0, kRate),
                             [](float*, std::int64_t, std::int64_t&) -> Status { throw std::runtime_error("broken"); }),
              kOk);
    EXPECT_TRUE(failed(stretcher.read(buffer.data(), kRate, got)));

    // Settings the library cannot work with are refused when opening, and reading then fails.
    StretchSettings badRate = settings(1, 1.0, 10);
    badRate.rate = 0;
    for (StretchSettings bad : {settings(3, 1.0, 10), settings(1, 0.0, 10), settings(1, NAN, 10), settings(1, 1e-9, 10),
                                settings(1, 1.0, 10, 1e6), settings(1, 1.0, 10, -1.0), settings(1, 1.0, -1), badRate}) {
        EXPECT_EQ(stretcher.open(bad, signalPull(10, 1, sine(440))), kErrInvalidArg);
        EXPECT_TRUE(failed(stretcher.read(buffer.data(), 10, got)));
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, StretcherTest, ::testing::Values(StretchEngine::Finer, StretchEngine::Faster),
                         [](const auto& test) { return test.param == StretchEngine::Finer ? "Finer" : "Faster"; });

}  // namespace
}  // namespace sonarel::media::core
