// SPDX-License-Identifier: GPL-3.0-or-later
// How the engine shapes one source: trims exact to the sample (by seeking where the format allows
// it, for every common format), fades and cut ramps on a constant level, and keep pitch through
// the stretcher. Sources are real files made by the ffmpeg command; outputs are read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "platform/media/core/Placement.h"
#include "platform/media/core/SourceStream.h"
#include "tests/media/MediaTestSupport.h"
#include "tests/support/ToneFrequency.h"

namespace sonarel::media::test {
namespace {

constexpr int kRate = 44100;
constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;

// 16-bit output of a float sample, as the engine converts it.
int pcm16(double x)
{
    return static_cast<int>(std::clamp(std::nearbyint(x * 32768.0), -32768.0, 32767.0));
}

// The file decoded whole by the ffmpeg command, interleaved stereo float at 44.1 kHz.
std::vector<float> decodedByFfmpeg(const std::string& path, const std::filesystem::path& dir)
{
    const auto raw = dir / "decoded.f32";
    EXPECT_EQ(runProgram({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i", path, "-ac", "2",
                          "-ar", "44100", "-f", "f32le", raw.string()}),
              0);
    std::ifstream in(raw, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

WavData mix(MediaLibrary& lib, const std::vector<Entry>& entries, const std::filesystem::path& dir, int channels = 2)
{
    const auto out = dir / "out.wav";
    const RenderRun run = render(lib, entries, pcmFormat(kRate, static_cast<std::uint16_t>(channels), 16), out);
    EXPECT_EQ(run.runStatus, kOk);
    EXPECT_FALSE(run.events.empty());
    if (!run.events.empty()) {
        EXPECT_EQ(run.events[0].code, kEventComplete);
    }
    WavData wav = readWav(out.string());
    EXPECT_TRUE(wav.valid) << wav.error;
    return wav;
}

class ShapingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(lib.initialize(), kOk);
        dir = scratchDir();
    }
    WavData mix(const std::vector<Entry>& entries, int channels = 2) { return test::mix(lib, entries, dir, channels); }
    MediaLibrary lib;
    std::filesystem::path dir;
};

// in = 1.5 s, out = 3.25 s, placed at 0.5 s: the output is silence, then exactly the source's
// samples from 1.5 s on, with a 5 ms linear ramp at each cut edge, and ends with the last one.
TEST_F(ShapingTest, ATrimmedEntryPlaysExactlyItsPartOfTheFile)
{
    for (const std::string name : {"shape.wav", "shape.flac", "shape.mp3"}) {
        SCOPED_TRACE(name);
        const std::vector<float> source = decodedByFfmpeg(mediaPath(name), dir);
        Entry e{mediaPath(name), kSecond / 2};
        e.mediaStart = 15 * kSecond / 10;
        e.mediaStop = 325 * kSecond / 100;
        e.shaping.cutRampIn = e.shaping.cutRampOut = 50'000;  // 5 ms: 221 frames
        const WavData wav = mix({e});
        const std::int64_t start = kRate / 2;
        const std::int64_t length = 77'175;  // 1.75 s
        const std::int64_t ramp = 221;
        ASSERT_EQ(wav.frames(), start + length);
        for (std::int64_t f = 0; f < start; ++f)
            ASSERT_EQ(wav.at(f, 0), 0) << f;
        int mismatches = 0;
        for (std::int64_t k = 0; k < length; ++k) {
            double gain = 1.0;
            if (k < ramp)
                gain = static_cast<double>(k) / ramp;
            else if (k >= length - ramp)
                gain = static_cast<double>(length - k) / ramp;
            for (int c = 0; c < 2; ++c) {
                const double x = source[static_cast<std::size_t>((66'150 + k) * 2 + c)];
                const int got = wav.at(start + k, c);
                const bool same = gain == 1.0 ? got == pcm16(x) : std::abs(got - x * gain * 32768.0) <= 1.0;
                if (!same && ++mismatches < 5)
                    ADD_FAILURE() << "frame " << k << " channel " << c << ": " << got << " for " << x * 32768.0;
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

// Reading from far into a file gives the samples a read from the start gives, frame for frame,
// and for the formats that seek exactly only a second or so is decoded to get there. AAC decodes
// from the start: its seeking is not exact.
TEST_F(ShapingTest, StartingFarIntoAFileSeeksAndMatchesReadingFromTheStart)
{
    struct Case {
        std::string name;
        int outputRate;
        std::int64_t speedNum;
        std::int64_t speedDen;
        bool seeks;
    };
    const Case cases[] = {
        {"seek.wav", 44100, 1, 1, true},      {"seek.flac", 44100, 1, 1, true}, {"seek_cbr.mp3", 44100, 1, 1, true},
        {"seek_vbr.mp3", 44100, 1, 1, true},  {"seek.ogg", 44100, 1, 1, true},  {"seek.m4a", 44100, 1, 1, false},
        {"seek_alac.m4a", 44100, 1, 1, true}, {"seek.wv", 44100, 1, 1, true},   {"seek.aiff", 44100, 1, 1, true},
        {"seek48k.flac", 44100, 1, 1, true},  {"seek.flac", 22050, 1, 1, true}, {"seek_vbr.mp3", 44100, 3, 2, true},
        {"seek48k.flac", 8000, 7, 10, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " at " + std::to_string(c.outputRate) + " Hz, speed " + std::to_string(c.speedNum) + "/" +
                     std::to_string(c.speedDen));
        core::StreamSettings settings;
        settings.outputRate = c.outputRate;
        settings.speedNum = c.speedNum;
        settings.speedDen = c.speedDen;
        const std::int64_t skip = 25 * static_cast<std::int64_t>(c.outputRate) * c.speedDen / c.speedNum + 7;
        const std::int64_t wanted = c.outputRate / 2;

        core::SourceStream whole;
        ASSERT_EQ(whole.open(mediaPath(c.name), settings), kOk);
        const auto ch = static_cast<std::size_t>(whole.channels());
        std::vector<float> expected(static_cast<std::size_t>(skip + wanted) * ch);
        std::int64_t got = 0;
        ASSERT_EQ(whole.read(expected.data(), skip + wanted, got), kOk);
        ASSERT_EQ(got, skip + wanted);

        settings.skipFrames = skip;
        core::SourceStream sought;
        ASSERT_EQ(sought.open(mediaPath(c.name), settings), kOk);
        std::vector<float> samples(static_cast<std::size_t>(wanted) * ch);
        ASSERT_EQ(sought.read(samples.data(), wanted, got), kOk);
        ASSERT_EQ(got, wanted);
        int mismatches = 0;
        for (std::size_t i = 0; i < samples.size(); ++i)
            if (samples[i] != expected[static_cast<std::size_t>(skip) * ch + i] && ++mismatches < 5)
                ADD_FAILURE() << "sample " << i << ": " << samples[i] << " instead of "
                              << expected[static_cast<std::size_t>(skip) * ch + i];
        EXPECT_EQ(mismatches, 0);
        if (c.seeks)
            EXPECT_LT(sought.decodedPackets(), whole.decodedPackets() / 8);
        else
            EXPECT_GE(sought.decodedPackets(), whole.decodedPackets() * 9 / 10);
    }
}

// A constant level of 0.5 shows the envelope itself.
class EnvelopeTest : public ShapingTest {
protected:
    void SetUp() override
    {
        ShapingTest::SetUp();
        level = (dir / "level.wav").string();
        sonarel::testing::writeWav16(level, 1, kRate, sonarel::testing::constant16(1, kRate, 3.0, 16384));
    }

    // Checks every frame of channel 0 against 0.5 * volume * gain(k), within one step of 16 bits.
    static void expectGain(const WavData& wav, double volume, const std::function<double(std::int64_t)>& gain)
    {
        int off = 0;
        for (std::int64_t k = 0; k < wav.frames(); ++k) {
            const double want = 16384.0 * volume * gain(k);
            if (std::abs(wav.at(k, 0) - want) > 1.0 && ++off < 5)
                ADD_FAILURE() << "frame " << k << ": " << wav.at(k, 0) << " instead of " << want;
        }
        EXPECT_EQ(off, 0);
    }

    std::string level;
};

TEST_F(EnvelopeTest, ALinearFadeIsExactlyTOverT)
{
    Entry e{level, 0, 3 * kSecond};
    e.shaping.fadeIn = kSecond;
    e.shaping.fadeOut = kSecond / 2;
    e.volume = 0.75;
    const WavData wav = mix({e}, 1);
    ASSERT_EQ(wav.frames(), 3 * kRate);
    const double in = kRate;
    const double out = kRate / 2;
    const double length = 3 * kRate;
    expectGain(wav, 0.75, [&](std::int64_t k) {
        if (k < in)
            return k / in;
        if (k >= length - out)
            return (length - k) / out;
        return 1.0;
    });
    EXPECT_EQ(wav.at(0, 0), 0);
}

TEST_F(EnvelopeTest, AnEqualPowerFadeFollowsTheQuarterSine)
{
    Entry e{level, 0, 3 * kSecond};
    e.shaping.fadeIn = e.shaping.fadeOut = kSecond;
    e.shaping.fadeShape = FadeShape::EqualPower;
    const WavData wav = mix({e}, 1);
    ASSERT_EQ(wav.frames(), 3 * kRate);
    const double t = kRate;
    const double length = 3 * kRate;
    expectGain(wav, 1.0, [&](std::int64_t k) {
        if (k < t)
            return std::sin(k / t * std::numbers::pi / 2);
        if (k >= length - t)
            return std::sin((length - k) / t * std::numbers::pi / 2);
        return 1.0;
    });
    // Half-way through the fade the level is 1/sqrt(2), not 1/2.
    EXPECT_NEAR(wav.at(kRate / 2, 0), 16384.0 / std::sqrt(2.0), 1.0);
}

// Fades of 2 s and 4 s on a 3 s entry become 1 s and 2 s, and meet.
TEST_F(EnvelopeTest, FadesThatOverlapShrinkInProportion)
{
    Entry e{level, 0, 3 * kSecond};
    e.shaping.fadeIn = 2 * kSecond;
    e.shaping.fadeOut = 4 * kSecond;
    const WavData wav = mix({e}, 1);
    ASSERT_EQ(wav.frames(), 3 * kRate);
    const double in = kRate;
    const double out = 2 * kRate;
    const double length = 3 * kRate;
    expectGain(wav, 1.0, [&](std::int64_t k) { return k < in ? k / in : (length - k) / out; });
    EXPECT_EQ(wav.at(kRate, 0), 16384);
}

// A cut ramp is linear over its own length, only on the edge it is set for, and a trimmed and
// faded entry is faded on its own output frames, not the file's.
TEST_F(EnvelopeTest, CutRampsAndFadesApplyToTheTrimmedPart)
{
    Entry e{level, kSecond / 10, 3 * kSecond};
    e.mediaStart = kSecond;
    e.mediaStop = 2 * kSecond;
    e.shaping.fadeIn = kSecond / 4;
    e.shaping.cutRampOut = 100'000;  // 10 ms: 441 frames
    const WavData wav = mix({e}, 1);
    const std::int64_t start = kRate / 10;
    ASSERT_EQ(wav.frames(), start + kRate);
    const double fade = kRate / 4;
    const double ramp = 441;
    const double length = kRate;
    expectGain(wav, 1.0, [&](std::int64_t f) {
        const double k = static_cast<double>(f - start);
        if (k < 0)
            return 0.0;
        if (k < fade)
            return k / fade;
        return k >= length - ramp ? (length - k) / ramp : 1.0;
    });
}

// The level of `points` at `t` seconds of the file, linear between them.
double levelAt(const std::vector<GainPoint>& points, double t)
{
    const auto seconds = [](const GainPoint& p) { return static_cast<double>(p.time) / kSecond; };
    if (t <= seconds(points.front()))
        return points.front().level;
    for (std::size_t i = 1; i < points.size(); ++i)
        if (t < seconds(points[i]))
            return points[i - 1].level + (points[i].level - points[i - 1].level) * (t - seconds(points[i - 1])) /
                                             (seconds(points[i]) - seconds(points[i - 1]));
    return points.back().level;
}

// Volume points lie on the file's own time: output frame k of a source placed at `start` reads
// them at mediaStart + k * speed / rate, whatever the trim and the speed. On a point's frame the
// level is exactly the point's times the volume; between points linear within one 16-bit step.
TEST_F(EnvelopeTest, VolumePointsShapeTheLevelInTheFilesOwnTime)
{
    struct Case {
        const char* name;
        REFERENCE_TIME start;
        double speed;
        REFERENCE_TIME mediaStart;
        REFERENCE_TIME mediaStop;
        std::vector<GainPoint> points;
        std::vector<double> pointSeconds;  // output seconds (from the start) that fall on a point
    };
    const Case cases[] = {
        {"whole file",
         0,
         1.0,
         0,
         -1,
         {{kSecond / 2, 1.0}, {15 * kSecond / 10, 0.25}, {2 * kSecond, 1.5}},
         {0.5, 1.5, 2.0}},
        {"trimmed, twice as fast",
         kSecond / 10,
         2.0,
         kSecond / 2,
         29 * kSecond / 10,
         {{0, 1.9}, {kSecond, 0.2}, {25 * kSecond / 10, 1.2}},
         {0.25, 1.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Entry e{level, c.start};
        e.speed = c.speed;
        e.volume = 0.8;
        e.mediaStart = c.mediaStart;
        e.mediaStop = c.mediaStop;
        e.shaping.points = c.points;
        const WavData wav = mix({e}, 1);
        const std::int64_t start = c.start * kRate / kSecond;
        const double mediaStart = static_cast<double>(c.mediaStart) / kSecond;
        ASSERT_GT(wav.frames(), start + kRate / 2);
        expectGain(wav, 0.8, [&](std::int64_t f) {
            const double k = static_cast<double>(f - start);
            return k < 0 ? 0.0 : levelAt(c.points, mediaStart + k * c.speed / kRate);
        });
        for (const double at : c.pointSeconds) {
            const std::int64_t k = std::llround(at * kRate);
            const double t = mediaStart + static_cast<double>(k) * c.speed / kRate;
            const float gain = 0.8f * static_cast<float>(levelAt(c.points, t));
            EXPECT_EQ(wav.at(start + k, 0), pcm16(0.5 * static_cast<double>(gain))) << at;
        }
    }
}

// Frequency of channel 0 from its rising zero crossings between frames `from` and `to`.
double frequency(const WavData& wav, std::int64_t from, std::int64_t to)
{
    return sonarel::testing::toneFrequency([&](std::int64_t i) { return wav.at(i, 0); }, from, to, kRate);
}

class KeepPitchTest : public ShapingTest {
protected:
    void SetUp() override
    {
        ShapingTest::SetUp();
        tone = (dir / "tone.wav").string();
        sonarel::testing::writeWav16(tone, 2, kRate, sonarel::testing::sine16(2, kRate, 4.0, 440.0, 16000));
    }
    std::string tone;
};

// Stretched with its pitch kept, output frame k still reads the points at k * speed / rate of the
// file: the tone's peak follows the level the file's time gives.
TEST_F(KeepPitchTest, VolumePointsFollowTheFilesTimeWhenStretched)
{
    Entry e{tone, 0, 4 * kSecond, 1.5};
    e.shaping.keepPitch = true;
    e.shaping.points = {{kSecond, 1.0}, {2 * kSecond, 0.25}};
    const WavData wav = mix({e});
    for (const double output : {0.3, 1.0, 2.0}) {
        const std::int64_t from = std::llround(output * kRate) - 441;
        int peak = 0;
        for (std::int64_t f = from; f < from + 882; ++f)
            peak = std::max(peak, std::abs(wav.at(f, 0)));
        const double file = output * 1.5;
        const double level = file <= 1.0 ? 1.0 : file >= 2.0 ? 0.25 : 1.0 - 0.75 * (file - 1.0);
        EXPECT_NEAR(peak, 16000 * level, 16000 * 0.06) << output;
    }
}

TEST_F(KeepPitchTest, TwiceTheSpeedKeepsTheToneAndHalvesTheLength)
{
    Entry e{tone, 0, 4 * kSecond, 2.0};
    e.shaping.keepPitch = true;
    const WavData wav = mix({e});
    ASSERT_EQ(wav.frames(), 2 * kRate);
    EXPECT_NEAR(frequency(wav, kRate / 4, 7 * kRate / 4), 440.0, 2.0);
    EXPECT_NE(wav.at(100, 0), 0);  // sound from the start: no latency in front
}

TEST_F(KeepPitchTest, AnOctaveUpKeepsTheLength)
{
    Entry e{tone, 0, 4 * kSecond};
    e.shaping.keepPitch = true;
    e.shaping.pitchSemitones = 12.0;
    const WavData wav = mix({e});
    ASSERT_EQ(wav.frames(), 4 * kRate);
    EXPECT_NEAR(frequency(wav, kRate / 4, 15 * kRate / 4), 880.0, 4.0);
}

// Keep pitch on a trimmed part of a file: the stretched length is the placed one, to the sample.
TEST_F(KeepPitchTest, ATrimmedEntryStretchesToItsExactLength)
{
    Entry e{tone, kSecond / 3, 4 * kSecond, 0.75};
    e.mediaStart = 5 * kSecond / 10;
    e.mediaStop = 3 * kSecond;
    e.shaping.keepPitch = true;
    const WavData wav = mix({e});
    std::int64_t start = 0;
    ASSERT_TRUE(core::frameAt(kSecond / 3, kRate, start));
    const auto stop = static_cast<REFERENCE_TIME>(static_cast<double>(kSecond / 3) + 25.0 * kSecond / 10 / 0.75);
    std::int64_t length = 0;
    ASSERT_TRUE(core::frameAt(stop - kSecond / 3, kRate, length));
    EXPECT_EQ(wav.frames(), start + length);
    EXPECT_NEAR(frequency(wav, start + kRate / 4, start + length - kRate / 4), 440.0, 2.0);
}

}  // namespace
}  // namespace sonarel::media::test
