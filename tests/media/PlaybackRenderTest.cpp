// SPDX-License-Identifier: GPL-3.0-or-later
// Playback renders, from any frame, the samples the written file holds there: the list is written
// through the whole graph, then rendered for listening from several points, and the two compared
// sample by sample.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/media/core/PlaybackRender.h"
#include "tests/media/MediaTestSupport.h"

namespace sonarel::media::test {
namespace {

constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;

// The engine's entries for `entries`, placed as the render helper places them.
std::vector<core::SourceEntry> sourceEntries(MediaLibrary& lib, const std::vector<Entry>& entries)
{
    std::vector<core::SourceEntry> out;
    for (const Entry& e : entries) {
        const REFERENCE_TIME duration = e.duration >= 0 ? e.duration : probe(lib, e.path);
        core::SourceEntry s;
        s.name = media::core::sharedName(u16(e.path));
        s.timelineStart = e.start;
        s.mediaStart = e.mediaStart;
        s.mediaStop = e.mediaStop >= 0 ? e.mediaStop : duration;
        s.timelineStop = static_cast<REFERENCE_TIME>(static_cast<double>(e.start) +
                                                     static_cast<double>(s.mediaStop - s.mediaStart) / e.speed);
        s.volume = e.volume;
        s.shaping = e.shaping;
        out.push_back(s);
    }
    return out;
}

class PlaybackRenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(lib.initialize(), kOk);
        dir = scratchDir();
    }

    WavData written(const std::vector<Entry>& entries, const WaveFormat& format)
    {
        const auto out = dir / "out.wav";
        const RenderRun run = render(lib, entries, format, out);
        EXPECT_EQ(run.runStatus, kOk);
        WavData wav = readWav(out.string());
        EXPECT_TRUE(wav.valid) << wav.error;
        return wav;
    }

    // Plays `entries` from `fromFrame` to the end and checks every sample against the file.
    void expectSameAsFile(const std::vector<Entry>& entries, const WaveFormat& format, const WavData& file,
                          std::int64_t fromFrame)
    {
        SCOPED_TRACE("from frame " + std::to_string(fromFrame));
        core::PlaybackRender playback(sourceEntries(lib, entries), format, fromFrame, 2);
        ASSERT_EQ(playback.totalFrames(), file.frames());
        std::vector<std::uint8_t> pcm;
        std::int64_t frame = fromFrame;
        int mismatches = 0;
        for (;;) {
            std::int64_t frames = 0;
            ASSERT_EQ(playback.next(pcm, frames), kOk) << playback.failureDetail();
            if (frames == 0)
                break;
            ASSERT_LE(frames, core::PlaybackRender::kBlockFrames);
            for (std::int64_t k = 0; k < frames * format.channels; ++k) {
                const auto i = static_cast<std::size_t>(k);
                const std::int32_t got = format.bitsPerSample == 16
                                             ? static_cast<std::int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8)
                                             : pcm[i];
                const auto at = static_cast<std::size_t>(frame * format.channels + k);
                if (got != file.samples[at] && ++mismatches <= 5)
                    ADD_FAILURE() << "sample " << at << ": " << got << " instead of " << file.samples[at];
            }
            frame += frames;
        }
        EXPECT_EQ(frame, file.frames());
        EXPECT_EQ(mismatches, 0);
    }

    MediaLibrary lib;
    std::filesystem::path dir;
};

// Overlapping sources of every kind: PCM, FLAC, MP3, Vorbis, AAC (which decodes from its start),
// a mono file, a start before 0, a trimmed entry with fades, a faster one, and one that keeps its
// pitch (its stretcher runs from the start of its span). Played from the start, from a point
// inside all of them, from the last block and from past the end.
TEST_F(PlaybackRenderTest, FromAnyPointTheBlocksAreTheFilesSamples)
{
    Entry trimmed{mediaPath("seek.flac"), 2 * kSecond};
    trimmed.mediaStart = 3 * kSecond;
    trimmed.mediaStop = 6 * kSecond;
    trimmed.shaping.fadeIn = kSecond / 2;
    trimmed.shaping.fadeOut = kSecond / 3;
    trimmed.shaping.fadeShape = FadeShape::EqualPower;
    Entry stretched{mediaPath("tone.ogg"), kSecond};
    stretched.speed = 1.25;
    stretched.shaping.keepPitch = true;
    Entry faster{mediaPath("seek_cbr.mp3"), kSecond / 3};
    faster.speed = 1.5;
    faster.mediaStop = 4 * kSecond;
    const std::vector<Entry> entries = {
        {mediaPath("stereo16.wav"), -kSecond / 2, -1, 1.0, 0.7},
        trimmed,
        stretched,
        faster,
        {mediaPath("mono16.wav"), kSecond + 1234, -1, 1.0, 0.5},
        {mediaPath("tone.m4a"), 2 * kSecond},
        {mediaPath("vbr.mp3"), 3 * kSecond / 2, -1, 1.0, 1.2},
    };
    const WaveFormat format = pcmFormat(44100, 2, 16);
    const WavData file = written(entries, format);
    ASSERT_GT(file.frames(), 44100 * 4);
    for (const std::int64_t from : {std::int64_t{0}, std::int64_t{98765}, file.frames() - 100})
        expectSameAsFile(entries, format, file, from);

    core::PlaybackRender past(sourceEntries(lib, entries), format, file.frames() + 5, 1);
    std::vector<std::uint8_t> pcm;
    std::int64_t frames = -1;
    EXPECT_EQ(past.next(pcm, frames), kOk);
    EXPECT_EQ(frames, 0);
}

// The output's own format: mono, 8 bits, 22050 Hz, from the second source's middle.
TEST_F(PlaybackRenderTest, EveryWaveFormatOfTheOutputPlaysAsWritten)
{
    const std::vector<Entry> entries = {
        {mediaPath("stereo16.wav"), 0},
        {mediaPath("tone.flac"), kSecond, -1, 1.0, 0.4},
    };
    const WaveFormat format = pcmFormat(22050, 1, 8);
    const WavData file = written(entries, format);
    expectSameAsFile(entries, format, file, 22050 * 2 + 17);
}

// Speed 100 from 44.1 kHz to 8 kHz converts at a ratio of 551.25, beyond one resampler's usual
// reach: played from the start and from inside the entry (a seek), the same samples as the file.
TEST_F(PlaybackRenderTest, AFarRateRatioPlaysAsWritten)
{
    const std::vector<Entry> entries = {{mediaPath("seek.wav"), kSecond / 10, -1, 100.0}};
    const WaveFormat format = pcmFormat(8000, 2, 16);
    const WavData file = written(entries, format);
    ASSERT_EQ(file.frames(), 800 + 2400);
    for (const std::int64_t from : {std::int64_t{0}, std::int64_t{1999}})
        expectSameAsFile(entries, format, file, from);
}

// 12.345 s into a list of compressed sources that all play there: the file's samples from that
// frame on, at once.
TEST_F(PlaybackRenderTest, StartingFarIntoCompressedSourcesIsExact)
{
    const std::vector<Entry> entries = {
        {mediaPath("seek.flac"), 0},
        {mediaPath("seek_vbr.mp3"), kSecond / 4, -1, 1.0, 0.5},
        {mediaPath("seek.ogg"), 2 * kSecond, -1, 1.0, 0.3},
        {mediaPath("seek.m4a"), 5 * kSecond, -1, 1.0, 0.2},
    };
    const WaveFormat format = pcmFormat(44100, 2, 16);
    const WavData file = written(entries, format);
    expectSameAsFile(entries, format, file, 44100 * 12345 / 1000);
}

// Rising zero crossings of channel 0 in frames [first, first + count) of interleaved samples.
int risingCrossings(const std::vector<std::int32_t>& samples, int channels, std::int64_t first, std::int64_t count)
{
    int crossings = 0;
    for (std::int64_t k = first + 1; k < first + count; ++k)
        crossings += samples[static_cast<std::size_t>((k - 1) * channels)] < 0 &&
                     samples[static_cast<std::size_t>(k * channels)] >= 0;
    return crossings;
}

// After a live edit, a stretched entry that plays on starts stretching at the play-head: it
// plays the part of the file that belongs there (the rising tone's pitch there, within 2 %),
// at the file's level, and ends where the file does.
TEST_F(PlaybackRenderTest, AStretchedEntryRestartsAtThePlayHead)
{
    Entry stretched{mediaPath("chirp.flac"), kSecond / 2};
    stretched.speed = 1.6;
    stretched.shaping.keepPitch = true;
    const WaveFormat format = pcmFormat(44100, 2, 16);
    const WavData file = written({stretched}, format);
    const std::int64_t from = 44100 * 7 / 2;  // 3.5 s: 4.8 s into the file, at about 680 Hz
    core::PlaybackRender playback(sourceEntries(lib, {stretched}), format, from, 2);
    playback.stretchFromStart();
    std::vector<std::int32_t> played;
    std::vector<std::uint8_t> pcm;
    for (std::int64_t frames = 1; frames > 0;) {
        ASSERT_EQ(playback.next(pcm, frames), kOk) << playback.failureDetail();
        for (std::size_t i = 0; i < static_cast<std::size_t>(frames) * 4; i += 2)
            played.push_back(static_cast<std::int16_t>(pcm[i] | pcm[i + 1] << 8));
    }
    ASSERT_EQ(static_cast<std::int64_t>(played.size()) / 2, file.frames() - from);
    const std::int64_t settled = 4410;  // the stretcher's first tenth of a second
    const std::int64_t span = 22050;
    const int expected = risingCrossings(file.samples, 2, from + settled, span);
    EXPECT_GT(expected, 300);
    EXPECT_NEAR(risingCrossings(played, 2, settled, span), expected, expected / 50);
    double playedEnergy = 0;
    double fileEnergy = 0;
    for (std::int64_t k = settled; k < settled + span; ++k) {
        playedEnergy += std::pow(played[static_cast<std::size_t>(2 * k)], 2.0);
        fileEnergy += std::pow(file.samples[static_cast<std::size_t>(2 * (from + k))], 2.0);
    }
    EXPECT_NEAR(10 * std::log10(playedEnergy / fileEnergy), 0.0, 1.0);
}

TEST_F(PlaybackRenderTest, AnUnreadableSourceNamesItsFileAndEndsPlayback)
{
    const std::string missing = (dir / "gone.wav").string();
    const std::vector<core::SourceEntry> entries = sourceEntries(lib, {{mediaPath("stereo16.wav"), 0},
                                                                       {missing, kSecond / 10, 3 * kSecond}});
    core::PlaybackRender playback(entries, pcmFormat(44100, 2, 16), 0, 1);
    std::vector<std::uint8_t> pcm;
    std::int64_t frames = 0;
    Status status = kOk;
    for (int block = 0; block < 10 && succeeded(status); ++block)
        status = playback.next(pcm, frames);
    EXPECT_TRUE(failed(status));
    EXPECT_NE(playback.failureDetail().find(missing), std::string::npos) << playback.failureDetail();
    EXPECT_TRUE(failed(playback.next(pcm, frames)));
    EXPECT_EQ(frames, 0);
}

}  // namespace
}  // namespace sonarel::media::test
