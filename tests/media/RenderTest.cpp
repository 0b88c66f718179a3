// SPDX-License-Identifier: GPL-3.0-or-later
// What a render writes: placement on the exact sample, varispeed, levels, mixing, the output
// formats, and the decoding of every kind of input the product meets.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "tests/media/MediaTestSupport.h"

namespace sonarel::media::test {
namespace {

// Frequency of a channel from its zero crossings.
double frequency(const WavData& wav, int channel, std::int64_t from, std::int64_t to)
{
    const int zero = wav.bitsPerSample == 8 ? 128 : 0;
    int crossings = 0;
    for (std::int64_t f = from + 1; f < to; ++f)
        if ((wav.at(f - 1, channel) < zero) != (wav.at(f, channel) < zero))
            ++crossings;
    return crossings / 2.0 / (static_cast<double>(to - from) / wav.sampleRate);
}

double rms(const WavData& wav, int channel, std::int64_t from, std::int64_t to)
{
    double sum = 0;
    for (std::int64_t f = from; f < to; ++f)
        sum += static_cast<double>(wav.at(f, channel)) * wav.at(f, channel);
    return std::sqrt(sum / static_cast<double>(to - from));
}

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(lib.initialize(), kOk);
        dir = scratchDir();
    }

    // Renders and reads the result back, expecting a completed run.
    WavData mix(const std::vector<Entry>& entries, const WaveFormat& format = pcmFormat(44100, 2, 16),
                const std::string& name = "out.wav")
    {
        const auto out = dir / name;
        const RenderRun run = render(lib, entries, format, out);
        EXPECT_EQ(run.runStatus, kOk) << errorText(run.runStatus);
        EXPECT_EQ(run.events.size(), 1u);
        if (!run.events.empty()) {
            EXPECT_EQ(run.events[0].code, kEventComplete) << run.events[0].detail;
        }
        WavData wav = readWav(out);
        EXPECT_TRUE(wav.valid) << wav.error;
        EXPECT_EQ(formatOf(wav), format);
        return wav;
    }

    MediaLibrary lib;
    std::filesystem::path dir;
};

TEST_F(RenderTest, SourceInItsOwnFormatIsBitIdenticalAndLandsOnItsExactSample)
{
    const WavData source = readWav(mediaPath("stereo16.wav"));
    ASSERT_TRUE(source.valid) << source.error;
    // An existing, longer output file is replaced.
    {
        std::ofstream old(dir / "out.wav", std::ios::binary);
        old << std::string(2'000'000, 'x');
    }
    const WavData wav = mix({{mediaPath("stereo16.wav"), 25'000'000}});
    ASSERT_TRUE(wav.valid);
    ASSERT_EQ(wav.frames(), 110250 + source.frames());
    for (std::int64_t f = 0; f < 110250; ++f)
        ASSERT_EQ(wav.at(f, 0) | wav.at(f, 1), 0) << "frame " << f;
    for (std::int64_t f = 0; f < source.frames(); ++f)
        for (int c = 0; c < 2; ++c)
            ASSERT_EQ(wav.at(110250 + f, c), source.at(f, c)) << "frame " << f;
}

TEST_F(RenderTest, ManyShortEntriesEachStartOnTheirOwnSample)
{
    // 60 back-to-back pieces of 0.1 s, each the beginning of the same source.
    const WavData source = readWav(mediaPath("stereo16.wav"));
    std::vector<Entry> entries;
    for (int i = 0; i < 60; ++i)
        entries.push_back({mediaPath(i % 2 ? "stereo16.wav" : "tone.flac"), i * 1'000'000LL, 1'000'000});
    const WavData wav = mix(entries);
    ASSERT_EQ(wav.frames(), 60 * 4410);
    for (std::int64_t f = 0; f < wav.frames(); ++f)
        ASSERT_EQ(wav.at(f, 0), source.at(f % 4410, 0)) << "frame " << f;
}

TEST_F(RenderTest, SpeedChangesLengthAndPitch)
{
    const WavData normal = mix({{mediaPath("sine100.wav"), 0, 20'000'000, 1.0}}, pcmFormat(44100, 2, 16), "1.wav");
    const WavData fast = mix({{mediaPath("sine100.wav"), 0, 20'000'000, 2.0}}, pcmFormat(44100, 2, 16), "2.wav");
    const WavData slow = mix({{mediaPath("sine100.wav"), 0, 20'000'000, 0.5}}, pcmFormat(44100, 2, 16), "05.wav");
    // Speed 3 leaves a fraction of a unit: the timeline length is truncated, then rounded to frames.
    const WavData third = mix({{mediaPath("sine100.wav"), 0, 10'000'000, 3.0}}, pcmFormat(44100, 2, 16), "3.wav");
    ASSERT_EQ(normal.frames(), 88200);
    ASSERT_EQ(fast.frames(), 44100);
    ASSERT_EQ(slow.frames(), 176400);
    ASSERT_EQ(third.frames(), 14700);
    EXPECT_NEAR(frequency(normal, 0, 0, normal.frames()), 100.0, 1.0);
    EXPECT_NEAR(frequency(fast, 0, 100, fast.frames() - 100), 200.0, 2.0);
    EXPECT_NEAR(frequency(slow, 1, 100, slow.frames() - 100), 50.0, 1.0);
    EXPECT_NEAR(frequency(third, 0, 100, third.frames() - 100), 300.0, 3.0);
    // Varispeed keeps the level.
    EXPECT_NEAR(rms(fast, 0, 100, 40000), rms(normal, 0, 100, 40000), 200.0);
}

TEST_F(RenderTest, SpeedsFarFromTheRateRatioPlayTheWholeSourceAtTheRightPitch)
{
    // The resampler's ratio is the speed times the source rate over the output rate: 551.25, 6123
    // and 1/1200 here. The sine's samples are known exactly.
    struct Case {
        int sourceRate;
        double seconds;
        double frequency;
        double speed;
        std::uint32_t outputRate;
        REFERENCE_TIME half = 0;  // of the source, when it falls on an output frame (0: it does not)
    };
    for (const Case& c : {Case{44100, 10.0, 17.0, 100.0, 8000, 50'000'000}, Case{192000, 10.0, 7.0, 255.123, 8000},
                          Case{8000, 0.05, 400.0, 1.0 / 200, 48000, 250'000}}) {
        SCOPED_TRACE(c.speed);
        const auto source = (dir / "source.wav").string();
        sonarel::testing::writeWav16(source, 2, c.sourceRate,
                                     sonarel::testing::sine16(2, c.sourceRate, c.seconds, c.frequency, 16000));
        const WavData wav = mix({{source, 0, -1, c.speed}}, pcmFormat(c.outputRate, 2, 16), "far.wav");
        const auto frames = std::llround(c.seconds / c.speed * c.outputRate);
        ASSERT_EQ(wav.frames(), frames);
        const double step = 2.0 * M_PI * c.frequency * c.speed / c.outputRate;
        // The filter's reach at either end, where the file's edges are heard: 32 output frames, or
        // 32 input samples where those are longer.
        const auto edge = 20 + std::llround(32.0 * std::max(1.0, c.outputRate / (c.sourceRate * c.speed)));
        for (std::int64_t f = edge; f < frames - edge; ++f)
            for (int ch = 0; ch < 2; ++ch)
                ASSERT_NEAR(wav.at(f, ch), 16000.0 * std::sin(step * static_cast<double>(f)), 20.0) << "frame " << f;
        if (c.half == 0)
            continue;
        // The second half alone starts by seeking into the file: the same samples as the whole.
        Entry second{source, 0, -1, c.speed};
        second.mediaStart = c.half;
        const WavData tail = mix({second}, pcmFormat(c.outputRate, 2, 16), "tail.wav");
        ASSERT_EQ(tail.frames(), frames / 2);
        for (std::int64_t f = 0; f < tail.frames(); ++f)
            ASSERT_EQ(tail.at(f, 0), wav.at(frames / 2 + f, 0)) << "frame " << f;
    }

    // Beyond what the resampler's rates can express (a 30 MHz file sped up 256 times to 8 kHz),
    // the mix stops with an error rather than playing the file at another ratio. A tenth of a
    // second gives three frames.
    const auto radio = (dir / "radio.wav").string();
    sonarel::testing::writeWav16(radio, 1, 30'000'000, sonarel::testing::constant16(1, 30'000'000, 0.1, 1000));
    const RenderRun run = render(lib, {{radio, 0, -1, 256.0}}, pcmFormat(8000, 2, 16), dir / "radio-out.wav");
    ASSERT_EQ(run.events.size(), 1u);
    EXPECT_EQ(run.events[0].code, kEventErrorAbort);
}

TEST_F(RenderTest, VolumeScalesAndTheSumSaturatesWithoutWrapping)
{
    const WavData source = readWav(mediaPath("sine100.wav"));
    const WavData half = mix({{mediaPath("sine100.wav"), 0, -1, 1.0, 0.5}}, pcmFormat(44100, 2, 16), "half.wav");
    const WavData mute = mix({{mediaPath("sine100.wav"), 0, -1, 1.0, 0.0}}, pcmFormat(44100, 2, 16), "mute.wav");
    const WavData loud = mix({{mediaPath("sine100.wav"), 0, -1, 1.0, 4.0}}, pcmFormat(44100, 2, 16), "loud.wav");
    const WavData sum = mix({{mediaPath("loud.wav")}, {mediaPath("loud.wav")}}, pcmFormat(44100, 2, 16), "sum.wav");
    ASSERT_EQ(half.frames(), source.frames());
    ASSERT_EQ(loud.frames(), source.frames());
    int clipped = 0;
    for (std::int64_t f = 0; f < source.frames(); ++f) {
        const int s = source.at(f, 0);
        ASSERT_NEAR(half.at(f, 0), s / 2.0, 0.5) << "frame " << f;
        ASSERT_EQ(mute.at(f, 0), 0);
        ASSERT_EQ(loud.at(f, 0), std::clamp(4 * s, -32768, 32767)) << "frame " << f;
        clipped += loud.at(f, 0) == 32767;
    }
    EXPECT_GT(clipped, 1000);
    const WavData one = readWav(mediaPath("loud.wav"));
    for (std::int64_t f = 0; f < one.frames(); ++f)
        ASSERT_EQ(sum.at(f, 1), std::clamp(2 * one.at(f, 1), -32768, 32767)) << "frame " << f;
}

TEST_F(RenderTest, ClippingIsCountedWithThePeakLevel)
{
    // Two full-scale sines of different pitch, overlapping for one second.
    const auto a = (dir / "a.wav").string();
    const auto b = (dir / "b.wav").string();
    sonarel::testing::writeWav16(a, 2, 44100, sonarel::testing::sine16(2, 44100, 1.0, 300, 32767));
    sonarel::testing::writeWav16(b, 2, 44100, sonarel::testing::sine16(2, 44100, 1.0, 440, 32767));
    const WavData sa = readWav(a);
    const WavData sb = readWav(b);
    struct Case {
        double volume;
        bool clips;
    };
    for (const Case& c : {Case{1.0, true}, Case{0.5, false}}) {
        SCOPED_TRACE(c.volume);
        const auto out = dir / "clipped.wav";
        const RenderRun run = render(lib, {{a, 0, -1, 1.0, c.volume}, {b, 0, -1, 1.0, c.volume}},
                                     pcmFormat(44100, 2, 16), out);
        ASSERT_EQ(run.events.size(), 1u);
        ASSERT_EQ(run.events[0].code, kEventComplete);
        const WavData wav = readWav(out);
        ASSERT_TRUE(wav.valid) << wav.error;
        std::int64_t beyond = 0;  // read back: at a rail, and the true sum past it
        for (std::size_t i = 0; i < wav.samples.size(); ++i) {
            const double sum = c.volume * (sa.samples[i] + sb.samples[i]);
            const bool atRail = wav.samples[i] == 32767 || wav.samples[i] == -32768;
            beyond += atRail && (sum > 32767.0 || sum < -32768.0);
        }
        EXPECT_EQ(run.events[0].clippedSamples, beyond);
        EXPECT_EQ(run.events[0].clippedSamples > 0, c.clips);
        EXPECT_GT(run.events[0].peakLevel, c.volume * 1.9);
        EXPECT_LE(run.events[0].peakLevel, c.volume * 2.0);
    }
}

TEST_F(RenderTest, OverlappingEntriesSum)
{
    const WavData a = readWav(mediaPath("stereo16.wav"));
    const WavData b = readWav(mediaPath("sine100.wav"));
    const WavData wav = mix({{mediaPath("stereo16.wav"), 0}, {mediaPath("sine100.wav"), 10'000'000}});
    ASSERT_EQ(wav.frames(), a.frames());
    for (std::int64_t f = 0; f < wav.frames(); ++f)
        for (int c = 0; c < 2; ++c) {
            const int other = f >= 44100 ? b.at(f - 44100, c) : 0;
            ASSERT_EQ(wav.at(f, c), std::clamp(a.at(f, c) + other, -32768, 32767)) << "frame " << f;
        }
}

TEST_F(RenderTest, OutputFormatsConvertChannelsAndSampleSize)
{
    const WavData stereo = readWav(mediaPath("stereo16.wav"));
    const WavData mono = readWav(mediaPath("mono16.wav"));
    // Stereo to mono is the mean of the two channels.
    const WavData down = mix({{mediaPath("stereo16.wav")}}, pcmFormat(44100, 1, 16), "mono.wav");
    ASSERT_EQ(down.frames(), stereo.frames());
    for (std::int64_t f = 0; f < down.frames(); ++f)
        ASSERT_EQ(down.at(f, 0), std::nearbyint((stereo.at(f, 0) + stereo.at(f, 1)) / 2.0)) << "frame " << f;
    // A mono source plays on both channels at its full level.
    const WavData up = mix({{mediaPath("mono16.wav")}}, pcmFormat(44100, 2, 16), "up.wav");
    ASSERT_EQ(up.frames(), mono.frames());
    for (std::int64_t f = 0; f < up.frames(); ++f) {
        ASSERT_EQ(up.at(f, 0), mono.at(f, 0));
        ASSERT_EQ(up.at(f, 1), mono.at(f, 0));
    }
    // 8-bit output is unsigned with 128 as silence.
    const WavData eight = mix({{mediaPath("stereo16.wav"), 5'000'000}}, pcmFormat(22050, 2, 8), "8.wav");
    ASSERT_EQ(eight.frames(), 11025 + 66150);
    for (std::int64_t f = 0; f < 11025; ++f)
        ASSERT_EQ(eight.at(f, 0), 128);
    int below = 0;
    for (std::int64_t f = 11025; f < eight.frames(); ++f) {
        ASSERT_GE(eight.at(f, 0), 128 - 80);
        ASSERT_LE(eight.at(f, 0), 128 + 80);
        below += eight.at(f, 0) < 128;
    }
    EXPECT_GT(below, 20000);
    EXPECT_NEAR(frequency(eight, 0, 11025 + 100, eight.frames() - 100), 440.0, 3.0);
    // Resampled to 8000 Hz: the tone and its level survive.
    const WavData low = mix({{mediaPath("stereo16.wav")}}, pcmFormat(8000, 2, 16), "8k.wav");
    ASSERT_EQ(low.frames(), 24000);
    EXPECT_NEAR(frequency(low, 0, 100, 23900), 440.0, 3.0);
    EXPECT_NEAR(rms(low, 0, 100, 23900), 0.6 * 32768 / std::sqrt(2.0), 300.0);
}

TEST_F(RenderTest, EveryInputKindDecodesToTheSameSound)
{
    // Every file holds 0.6 sin(440 Hz) left and 0.3 sin(1000 Hz) right (5.1: 300 Hz everywhere).
    struct Case {
        const char* name;
        bool aligned;  // the sound starts on its exact sample (no undeclared encoder delay)
    };
    const WavData reference = readWav(mediaPath("stereo16.wav"));
    for (const Case& c :
         {Case{"tone.flac", true}, Case{"u8.wav", true}, Case{"s24.wav", true}, Case{"rate48k.wav", true},
          Case{"rate96k.wav", true}, Case{"cbr.mp3", true}, Case{"vbr.mp3", true}, Case{"vbr_noxing.mp3", false},
          Case{"tone.ogg", true}, Case{"tone.m4a", true}, Case{"video.mp4", false}}) {
        SCOPED_TRACE(c.name);
        const REFERENCE_TIME length = probe(lib, mediaPath(c.name));
        ASSERT_GT(length, 0);
        const WavData wav = mix({{mediaPath(c.name), 0, length}}, pcmFormat(44100, 2, 16),
                                std::string(c.name) + ".wav");
        ASSERT_EQ(wav.frames(), std::llround(static_cast<double>(length) * 44100 / kReferenceUnitsPerSecond));
        const std::int64_t from = 4410;
        const std::int64_t to = 44100 + 4410;
        EXPECT_NEAR(frequency(wav, 0, from, to), 440.0, 3.0);
        EXPECT_NEAR(frequency(wav, 1, from, to), 1000.0, 5.0);
        EXPECT_NEAR(rms(wav, 0, from, to), 0.6 * 32768 / std::sqrt(2.0), 0.06 * 13900);
        EXPECT_NEAR(rms(wav, 1, from, to), 0.3 * 32768 / std::sqrt(2.0), 0.06 * 6950);
        if (c.aligned) {
            // Matches the reference sample for sample, up to the codec's own error.
            double error = 0;
            for (std::int64_t f = from; f < to; ++f)
                error += std::pow(wav.at(f, 0) - reference.at(f, 0), 2.0);
            EXPECT_LT(std::sqrt(error / static_cast<double>(to - from)), 0.05 * 13900);
        }
    }
}

TEST_F(RenderTest, SurroundAndChangingRatesAreHandled)
{
    // 5.1 is downmixed to stereo without clipping.
    const WavData surround = mix({{mediaPath("surround51.wav")}}, pcmFormat(44100, 2, 16), "51.wav");
    ASSERT_EQ(surround.frames(), 88200);
    for (int c = 0; c < 2; ++c) {
        EXPECT_NEAR(frequency(surround, c, 4410, 84000), 300.0, 3.0);
        const double level = rms(surround, c, 4410, 84000);
        EXPECT_GT(level, 0.2 * 32768 / std::sqrt(2.0));
        EXPECT_LT(level, 0.72 * 32768);
    }
    // A stream whose rate halves after one second plays on at the same pitch.
    const REFERENCE_TIME length = probe(lib, mediaPath("ratechange.mp3"));
    ASSERT_GT(length, 19'000'000);
    ASSERT_LT(length, 22'000'000);
    const WavData changing = mix({{mediaPath("ratechange.mp3"), 0, length}}, pcmFormat(44100, 2, 16), "rate.wav");
    EXPECT_NEAR(frequency(changing, 0, 4410, 40000), 440.0, 4.0);
    EXPECT_NEAR(frequency(changing, 0, 50000, 84000), 440.0, 4.0);
    EXPECT_GT(rms(changing, 0, 50000, 84000), 0.4 * 32768 / std::sqrt(2.0));
    // So does AAC, beside a file that keeps its samples.
    const REFERENCE_TIME aacLength = probe(lib, mediaPath("ratechange.aac"));
    ASSERT_GT(aacLength, 12'000'000);
    const WavData aac = mix({{mediaPath("ratechange.aac"), 0, aacLength, 1.0, 0.0}, {mediaPath("sine100.wav")}},
                            pcmFormat(44100, 2, 16), "aac.wav");
    EXPECT_EQ(aac.samples, readWav(mediaPath("sine100.wav")).samples);
    const WavData alone = mix({{mediaPath("ratechange.aac"), 0, aacLength}}, pcmFormat(44100, 2, 16), "aac1.wav");
    EXPECT_NEAR(frequency(alone, 0, 4410, 40000), 440.0, 4.0);
    EXPECT_NEAR(frequency(alone, 0, 50000, alone.frames() - 100), 440.0, 4.0);
}

TEST_F(RenderTest, DamagedSourcesPlayWhatCanBeDecoded)
{
    // Given a longer duration than they hold, truncated files are padded with silence.
    const WavData wav = mix({{mediaPath("truncated.wav"), 0, 30'000'000}, {mediaPath("truncated.mp3"), 0, 30'000'000}});
    ASSERT_EQ(wav.frames(), 132300);
    EXPECT_GT(rms(wav, 0, 1000, 20000), 10000.0);
    for (std::int64_t f = 100000; f < wav.frames(); ++f)
        ASSERT_EQ(wav.at(f, 0), 0);
    // An entry whose measurement failed (duration -1) plays nothing; the others still do.
    const WavData rest = mix({{mediaPath("random.mp3"), 0, -1}, {mediaPath("sine100.wav"), 0}}, pcmFormat(44100, 2, 16),
                             "rest.wav");
    EXPECT_EQ(rest.frames(), 88200);
}

}  // namespace
}  // namespace sonarel::media::test
