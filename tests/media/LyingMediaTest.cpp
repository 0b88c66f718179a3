// Media whose contents or headers lie: samples that are not numbers, channel counts no standard
// layout names, size fields that do not match the file, lengths that cannot be true. Every file is
// made here, by writing its bytes or with the ffmpeg command.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/media/MediaTestSupport.h"

namespace sonarel::media::test {
namespace {

using sonarel::testing::writeWavFloat;

class LyingMediaTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(lib.initialize(), kOk);
        dir = scratchDir();
    }

    std::string file(const std::string& name) const { return (dir / name).string(); }

    // Renders and reads the result back, expecting a completed run; its event in `event`.
    WavData mix(const std::vector<Entry>& entries, GraphEvent* event = nullptr,
                const WaveFormat& format = pcmFormat(44100, 2, 16)) {
        const auto out = dir / "out.wav";
        const RenderRun run = render(lib, entries, format, out);
        EXPECT_EQ(run.runStatus, kOk) << errorText(run.runStatus);
        EXPECT_EQ(run.events.size(), 1u);
        if (!run.events.empty()) {
            EXPECT_EQ(run.events[0].code, kEventComplete) << run.events[0].detail;
            if (event)
                *event = run.events[0];
        }
        WavData wav = readWav(out);
        EXPECT_TRUE(wav.valid) << wav.error;
        return wav;
    }

    MediaLibrary lib;
    std::filesystem::path dir;
};

TEST_F(LyingMediaTest, SamplesThatAreNotNumbersAreSilencedInTheirOwnSourceOnly) {
    // Two seconds of float stereo: NaN for 1.5 s, then 0.25; in its own rate with an infinity
    // every 1000 frames, at 48 kHz (through the resampler) without.
    const WavData good = readWav(mediaPath("sine100.wav"));
    ASSERT_TRUE(good.valid);
    for (int rate : {44100, 48000}) {
        SCOPED_TRACE(rate);
        const std::int64_t frames = 2 * rate;
        std::vector<float> samples(static_cast<std::size_t>(frames) * 2, std::numeric_limits<float>::quiet_NaN());
        for (std::int64_t f = frames * 3 / 4; f < frames; ++f)
            for (int c = 0; c < 2; ++c)
                samples[static_cast<std::size_t>(f * 2 + c)] =
                    f % 1000 == 0 && rate == 44100 ? (c ? -1.0f : 1.0f) * std::numeric_limits<float>::infinity() : 0.25f;
        const std::string nan = file("nan" + std::to_string(rate) + ".wav");
        writeWavFloat(nan, 2, rate, samples);

        GraphEvent event;
        const WavData wav = mix({{nan}, {mediaPath("sine100.wav")}}, &event);
        ASSERT_EQ(wav.frames(), good.frames());
        // Where the file holds no numbers, the other entry comes out sample for sample.
        for (std::int64_t f = 0; f < 66150 - 100; ++f)
            for (int c = 0; c < 2; ++c)
                ASSERT_EQ(wav.at(f, c), good.at(f, c)) << "frame " << f;
        // Its own good samples still sound.
        for (std::int64_t f = 66150 + 200; f < wav.frames() - 200; f += 97)
            ASSERT_NEAR(wav.at(f, 0) - good.at(f, 0), f % 1000 == 0 && rate == 44100 ? 0 : 8192, rate == 44100 ? 1 : 400)
                << "frame " << f;
        EXPECT_EQ(event.silencedSources, std::vector<std::string>{nan});
        EXPECT_EQ(event.clippedSamples, 0);
    }
    // A clean mix names nothing.
    GraphEvent clean;
    mix({{mediaPath("sine100.wav")}}, &clean);
    EXPECT_TRUE(clean.silencedSources.empty());
}

TEST_F(LyingMediaTest, AnyChannelCountSoundsInTheMix) {
    // The same 1 kHz tone on every channel, 0.25 s at half scale, beside a good stereo file. Counts
    // with a standard layout get the standard downmix, the others equal weights: either way the
    // tone comes out at the level it has on each channel (the downmix is scaled so it cannot clip).
    constexpr double kAmplitude = 16384;
    for (int channels : {3, 6, 8, 9, 16, 17, 24, 32, 33, 64, 65, 255}) {
        SCOPED_TRACE(channels);
        const std::string many = file("ch" + std::to_string(channels) + ".wav");
        sonarel::testing::writeWav16(many, channels, 44100, sonarel::testing::sine16(channels, 44100, 0.25, 1000, kAmplitude));
        GraphEvent event;
        const WavData wav = mix({{many}, {mediaPath("sine100.wav"), 0, -1, 1.0, 0.0}}, &event);
        ASSERT_GE(wav.frames(), 44100 / 4);
        std::int32_t peak = 0;
        for (std::int64_t f = 1000; f < 44100 / 4 - 1000; ++f)
            for (int c = 0; c < 2; ++c)
                peak = std::max(peak, std::abs(wav.at(f, c)));
        EXPECT_NEAR(peak, kAmplitude, kAmplitude * 0.02);
        EXPECT_EQ(event.clippedSamples, 0);
    }
}

}  // namespace
}  // namespace sonarel::media::test
