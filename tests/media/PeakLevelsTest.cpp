// SPDX-License-Identifier: GPL-3.0-or-later
// Peak levels: where a known sine is found, how long files stay small, failures, and the workers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include "platform/media/core/PeakLevels.h"
#include "support/WavFile.h"
#include "tests/media/MediaTestSupport.h"

namespace sonarel::media {
namespace {

using test::scratchDir;

// Silence, then a 440 Hz sine of amplitude 0.5 from 1 s to 2 s, then silence up to 3 s.
std::string burstWav(const std::filesystem::path& dir, int rate, int channels)
{
    std::vector<std::int16_t> samples = testing::constant16(channels, rate, 1.0, 0);
    const auto tone = testing::sine16(channels, rate, 1.0, 440, 16384);
    samples.insert(samples.end(), tone.begin(), tone.end());
    const auto tail = testing::constant16(channels, rate, 1.0, 0);
    samples.insert(samples.end(), tail.begin(), tail.end());
    const auto path = (dir / ("burst" + std::to_string(rate) + ".wav")).string();
    testing::writeWav16(path, channels, rate, samples);
    return path;
}

// The same burst made by the ffmpeg command as 48 kHz mono FLAC: a compressed file that is
// resampled on its way to the levels.
std::string burstFlac(const std::filesystem::path& dir)
{
    const auto path = (dir / "burst48k.flac").string();
    const int status = test::runProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                         "aevalsrc=if(between(t\\,1\\,2)\\,0.5*sin(2*PI*440*t)\\,0):s=48000:d=3",
                                         "-c:a", "flac", path});
    return status == 0 ? path : std::string();
}

void expectBurst(const PeakLevels& peaks)
{
    ASSERT_EQ(peaks.framesPerLevel, PeakLevels::kFirstSliceFrames);
    EXPECT_NEAR(static_cast<double>(peaks.frames), 3.0 * PeakLevels::kRate, 64.0);
    // 10 ms slices: 300 of them, the sine in slices 100..199.
    ASSERT_NEAR(static_cast<double>(peaks.levels.size()), 300.0, 1.0);
    for (std::size_t i = 0; i < peaks.levels.size(); ++i) {
        const double level = PeakLevels::toLevel(peaks.levels[i]);
        SCOPED_TRACE("slice " + std::to_string(i));
        if (i >= 101 && i <= 198) {
            EXPECT_NEAR(level, 0.5, 0.02);
        } else if (i <= 98 || i >= 202) {
            EXPECT_LT(level, 0.02);
        }
    }
    EXPECT_NEAR(peaks.peakBetween(1.2, 1.8), 0.5, 0.02);
    EXPECT_LT(peaks.peakBetween(0.0, 0.9), 0.02);
    EXPECT_LT(peaks.peakBetween(2.1, 3.0), 0.02);
    EXPECT_EQ(peaks.peakBetween(5.0, 6.0), 0.0);  // past the end
}

TEST(PeakLevels, findTheSineWhereItIs)
{
    const auto dir = scratchDir();
    for (const std::string& path : {burstWav(dir, 44100, 2), burstWav(dir, 22050, 1), burstFlac(dir)}) {
        SCOPED_TRACE(path);
        ASSERT_FALSE(path.empty()) << "the ffmpeg command could not make the FLAC file";
        PeakLevels peaks;
        ASSERT_EQ(measurePeakLevels(path, peaks), kOk);
        expectBurst(peaks);
    }
}

TEST(PeakLevels, longFilesKeepABoundedNumberOfSlices)
{
    // 100 s at 8 kHz: 10,000 slices of 10 ms would be too many, so slices grow to 40 ms.
    const auto path = (scratchDir() / "long.wav").string();
    testing::writeWav16(path, 1, 8000, testing::constant16(1, 8000, 100.0, 8192));
    PeakLevels peaks;
    ASSERT_EQ(measurePeakLevels(path, peaks), kOk);
    EXPECT_LE(peaks.levels.size(), PeakLevels::kMaxLevels);
    EXPECT_EQ(peaks.framesPerLevel, 4 * PeakLevels::kFirstSliceFrames);
    EXPECT_NEAR(static_cast<double>(peaks.frames), 100.0 * PeakLevels::kRate, 64.0);
    EXPECT_NEAR(static_cast<double>(peaks.levels.size()), 2500.0, 1.0);
    EXPECT_NEAR(peaks.peakBetween(10.0, 90.0), 0.25, 0.01);
}

TEST(PeakLevels, refusesWhatCannotBeDecoded)
{
    const auto dir = scratchDir();
    const auto text = (dir / "notes.wav").string();
    std::ofstream(text) << "not a sound at all, only some words in a file that calls itself a WAV\n";
    std::filesystem::create_directories(dir / "folder.wav");
    std::atomic<bool> stop{true};
    struct Case {
        std::string path;
        const std::atomic<bool>* stop;
    };
    for (const Case& c : {Case{(dir / "missing.wav").string(), nullptr}, Case{text, nullptr},
                          Case{(dir / "folder.wav").string(), nullptr}, Case{burstWav(dir, 44100, 2), &stop}}) {
        SCOPED_TRACE(c.path);
        PeakLevels peaks;
        peaks.levels.assign(3, 7);
        EXPECT_TRUE(failed(measurePeakLevels(c.path, peaks, c.stop)));
        EXPECT_TRUE(peaks.levels.empty());
    }
}

TEST(PeakWorkers, measureOnTheirOwnThreadsAndAnswerEveryFile)
{
    const auto dir = scratchDir();
    const std::string good = burstWav(dir, 44100, 2);
    const std::string missing = (dir / "missing.wav").string();
    std::mutex mutex;
    std::condition_variable done;
    std::set<std::thread::id> threads;
    int answers = 0;
    int failures = 0;
    {
        PeakWorkers workers(2);
        EXPECT_EQ(workers.threadCount(), 2);
        for (int i = 0; i < 6; ++i) {
            workers.post(i == 3 ? missing : good, [&](Status status, PeakLevels&& levels) {
                std::lock_guard lock(mutex);
                threads.insert(std::this_thread::get_id());
                ++answers;
                if (failed(status))
                    ++failures;
                else
                    EXPECT_EQ(levels.levels.size(), 300u);
                done.notify_all();
            });
        }
        // An untimed wait (the test's own time limit guards it): ThreadSanitizer does not see a
        // timed wait on the steady clock retake the lock.
        std::unique_lock lock(mutex);
        done.wait(lock, [&] { return answers == 6; });
    }
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
}

TEST(PeakWorkers, goingAwayDropsQueuedWorkWithoutAnswering)
{
    const std::string good = burstWav(scratchDir(), 44100, 2);
    std::atomic<int> answers{0};
    {
        PeakWorkers workers(1);
        for (int i = 0; i < 200; ++i)
            workers.post(good, [&](Status, PeakLevels&&) { ++answers; });
        workers.dropQueued();
        EXPECT_EQ(workers.queued(), 0u);
        for (int i = 0; i < 200; ++i)
            workers.post(good, [&](Status, PeakLevels&&) { ++answers; });
    }  // joins without working through the queue
    EXPECT_LT(answers.load(), 200);
}

}  // namespace
}  // namespace sonarel::media
