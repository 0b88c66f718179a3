// SPDX-License-Identifier: GPL-3.0-or-later
// Playback and the file mix render through one core: a list that uses every kind of shaping (and
// ducking under a voice) is mixed to a file through the run control, then played through the feed
// that the sound device reads, from several points, and every sample played is the file's sample
// at that place.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "render/PlaybackControl.h"
#include "render/PlaybackFeed.h"
#include "render/RenderPipeline.h"
#include "support/MixRunFixture.h"
#include "support/WavFile.h"

namespace sonarel {
namespace {

constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;

// A sample of `pcm` as the WAV reader gives it: 8 bits unsigned, 16 bits signed.
std::int32_t sampleOf(const std::vector<char>& pcm, int bits, std::size_t i)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(pcm.data());
    return bits == 8 ? bytes[i] : static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
}

class PlaybackAsMixedTest : public testing::MixRunFixture {
protected:
    void SetUp() override
    {
        MixRunFixture::SetUp();
        const auto file = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)).toStdString(); };
        testing::writeWav16(file("a.wav"), 2, 44100, testing::sine16(2, 44100, 3.0, 440, 9000));
        testing::writeWav16(file("b.wav"), 1, 22050, testing::sine16(1, 22050, 3.0, 330, 12000));
        std::vector<float> chord;
        for (int f = 0; f < 48000 * 2; ++f)
            for (int c = 0; c < 2; ++c)
                chord.push_back(0.3f * static_cast<float>(std::sin(f * (0.05 + 0.02 * c)) + std::sin(f * 0.011)));
        testing::writeWavFloat(file("c.wav"), 2, 48000, chord);

        add(file("a.wav"), 3,
            {.startTime = 0,
             .volume = 0.8,
             .inPoint = kSecond / 2,
             .outPoint = 5 * kSecond / 2,
             .fadeIn = 3 * kSecond / 10,
             .fadeOut = 4 * kSecond / 10,
             .fadeCurve = FadeCurve::EqualPower});
        add(file("b.wav"), 3, {.startTime = kSecond, .speed = 1.5, .fadeIn = kSecond / 5});
        add(file("c.wav"), 2,
            {.startTime = 7 * kSecond / 10,
             .volume = 0.6,
             .speed = 0.8,
             .fadeOut = kSecond / 2,
             .keepPitch = true,
             .pitchSemitones = 3.0});
        add(file("a.wav"), 3, {.startTime = kSecond / 5, .muted = true});
        add(file("c.wav"), 2,
            {.startTime = 2 * kSecond,
             .speed = 1.25,
             .inPoint = 3 * kSecond / 10,
             .keepPitch = true,
             .pitchSemitones = -5.0});
        add(file("b.wav"), 3,
            {.startTime = 22 * kSecond / 10,
             .volume = 1.3,
             .speed = 0.7,
             .outPoint = 2 * kSecond,
             .fadeIn = kSecond / 4,
             .fadeOut = kSecond / 4});
        // Volume points in the file's own time, on a trimmed entry at a speed, one with keep pitch.
        add(file("a.wav"), 3,
            {.startTime = kSecond / 2,
             .speed = 1.2,
             .inPoint = kSecond / 4,
             .volumePoints = {{0, 1.5}, {kSecond / 2, 0.2}, {3 * kSecond / 2, 0.9}, {2 * kSecond, 0.0}}});
        add(file("c.wav"), 2,
            {.startTime = kSecond / 3,
             .speed = 0.9,
             .keepPitch = true,
             .volumePoints = {{kSecond / 2, 0.4}, {kSecond, 1.1}}});
        add(file("a.wav"), 3, {.startTime = 30 * kSecond, .muted = true});  // would make the mix long
        // A voice: every other entry ducks under it, those that began before it too.
        add(file("b.wav"), 3, {.startTime = 3 * kSecond / 2, .outPoint = kSecond, .duck = true});
        store.setDucking({-9.0, 0.2, 0.3});
    }

    void add(const std::string& path, int seconds, const EntryProperties& properties)
    {
        MixItem item;
        item.properties() = properties;
        item.filePath = path;
        item.duration = seconds * kSecond;
        ASSERT_EQ(store.append(item), AppendResult::Appended);
    }

    testing::WavData mixed(const OutputSettings& settings)
    {
        control.mixCommand(store, settings);
        EXPECT_TRUE(control.isMixing()) << desktop.texts().join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(view.runToEnd(control));
        EXPECT_EQ(control.lastOutcome(), MixOutcome::Completed);
        return testing::readWav(settings.outputFile.toStdString());
    }

    // What the feed plays of the list from `fromFrame` to its end.
    static std::vector<char> played(const std::vector<media::core::SourceEntry>& entries,
                                    const media::WaveFormat& format, std::int64_t fromFrame, std::string& failure)
    {
        PlaybackFeed feed(2);
        feed.start(entries, format, fromFrame);
        std::vector<char> pcm;
        char buffer[8192];
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (!feed.atEnd() && std::chrono::steady_clock::now() < deadline) {
            const std::size_t n = feed.read(buffer, sizeof buffer);
            pcm.insert(pcm.end(), buffer, buffer + n);
            if (n == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        failure = feed.failure();
        return pcm;
    }

    MixItemStore store;
};

// Each wave format the output offers by its lists, played from the start, from inside every
// overlapping entry (both that keep their pitch among them) and from near the end.
TEST_F(PlaybackAsMixedTest, EverySamplePlayedIsTheFilesSample)
{
    struct Case {
        int rateIndex, channelsIndex, bitsIndex;
        std::vector<double> fromSeconds;
    };
    const Case cases[] = {
        {0, 0, 0, {0.0, 1.3, 4.9}},
        {1, 1, 1, {0.0, 2.25}},
    };
    for (const Case& c : cases) {
        OutputSettings settings;
        settings.sampleRateIndex = c.rateIndex;
        settings.channelsIndex = c.channelsIndex;
        settings.bitsIndex = c.bitsIndex;
        settings.outputFile = dir.filePath(QStringLiteral("out%1.wav").arg(c.rateIndex));
        const testing::WavData file = mixed(settings);
        ASSERT_TRUE(file.valid) << file.error;
        media::WaveFormat format;
        format.formatTag = media::kWaveFormatPcm;
        applyPcmFormat(format, waveFormatFromChoices(c.rateIndex, c.channelsIndex, c.bitsIndex));
        // The last entry that is not muted ends the mix.
        ASSERT_NEAR(static_cast<double>(file.frames()), (2.2 + 2.0 / 0.7) * format.samplesPerSec, 1.0);

        for (const double seconds : c.fromSeconds) {
            const auto from = static_cast<std::int64_t>(seconds * format.samplesPerSec);
            SCOPED_TRACE(std::to_string(format.samplesPerSec) + " Hz from frame " + std::to_string(from));
            std::string failure;
            const std::vector<char> pcm = played(playbackEntries(store, settings), format, from, failure);
            ASSERT_EQ(failure, "");
            const auto first = static_cast<std::size_t>(from * format.channels);
            ASSERT_EQ(pcm.size() / format.blockAlign * format.channels, file.samples.size() - first);
            int mismatches = 0;
            for (std::size_t i = 0; first + i < file.samples.size(); ++i)
                if (sampleOf(pcm, format.bitsPerSample, i) != file.samples[first + i] && ++mismatches <= 5)
                    ADD_FAILURE() << "sample " << first + i << ": " << sampleOf(pcm, format.bitsPerSample, i)
                                  << " instead of " << file.samples[first + i];
            EXPECT_EQ(mismatches, 0);
        }
    }
}

// A volume changed while playing goes to its new level in a short ramp, not in one step (a
// click); the file mix has no such change, and playback without one is the file's (above).
TEST_F(PlaybackAsMixedTest, AVolumeChangedWhilePlayingRampsToItsLevel)
{
    const std::string path = dir.filePath(QStringLiteral("level.wav")).toStdString();
    testing::writeWav16(path, 2, 44100, testing::constant16(2, 44100, 2.0, 16000));
    MixItemStore one;
    MixItem item;
    item.filePath = path;
    item.duration = 2 * kSecond;
    item.volume = 0.5;
    ASSERT_EQ(one.append(item), AppendResult::Appended);
    const OutputSettings settings;
    media::WaveFormat format;
    format.formatTag = media::kWaveFormatPcm;
    applyPcmFormat(format, waveFormatFromChoices(0, 0, 0));
    std::vector<media::core::SourceEntry> entries = playbackEntries(one, settings);

    PlaybackFeed feed(2);
    feed.start(entries, format, 0);
    std::vector<char> pcm;
    char buffer[4096];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    bool changed = false;
    while (!feed.atEnd() && std::chrono::steady_clock::now() < deadline) {
        const std::size_t n = feed.read(buffer, sizeof buffer);
        pcm.insert(pcm.end(), buffer, buffer + n);
        if (!changed && pcm.size() >= 22050 * format.blockAlign) {
            entries[0].volume = 1.0;
            feed.change(entries);
            changed = true;
        }
        if (n == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(feed.failure(), "");
    const std::size_t frames = pcm.size() / format.blockAlign;
    ASSERT_EQ(frames, std::size_t{2 * 44100});
    // Away from the entry's own cut edges: the old level, a ramp of about 10 ms, the new level.
    int largestStep = 0;
    std::size_t between = 0;
    for (std::size_t f = 1000; f + 1000 < frames; ++f) {
        const std::int32_t sample = sampleOf(pcm, 16, 2 * f);
        largestStep = std::max(largestStep, std::abs(sampleOf(pcm, 16, 2 * f + 2) - sample));
        between += sample > 8001 && sample < 15999;
    }
    EXPECT_EQ(sampleOf(pcm, 16, 2 * 1000), 8000);
    EXPECT_EQ(sampleOf(pcm, 16, 2 * (frames - 1000)), 16000);
    EXPECT_LT(largestStep, 100);
    EXPECT_GT(between, std::size_t{380});
    EXPECT_LT(between, std::size_t{500});
}

}  // namespace
}  // namespace sonarel
