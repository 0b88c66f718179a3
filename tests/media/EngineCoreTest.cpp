// SPDX-License-Identifier: GPL-3.0-or-later
// The core's own parts, below the editing-services objects: the worker pool, the injection point
// when nothing is armed, and the WAV writer's pad byte, also through a pipe.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/media/FaultInjector.h"
#include "platform/media/FaultPoints.h"
#include "platform/media/core/WavWriter.h"
#include "platform/media/core/WorkerPool.h"
#include "tests/media/MediaTestSupport.h"

namespace sonarel::media::test {
namespace {

TEST(WorkerPoolTest, AThrowingTaskNeitherStopsTheOthersNorThePool)
{
    for (int threads : {1, 3}) {
        SCOPED_TRACE(threads);
        core::WorkerPool pool(threads);
        std::atomic<int> done{0};
        EXPECT_THROW(pool.run(40,
                              [&](std::size_t i) {
                                  if (i % 7 == 3)
                                      throw std::runtime_error("task failed");
                                  ++done;
                              }),
                     std::runtime_error);
        EXPECT_EQ(done.load(), 40 - 6);  // every task that did not throw ran
        done = 0;
        pool.run(40, [&](std::size_t) { ++done; });
        EXPECT_EQ(done.load(), 40);
    }
}

TEST(FaultInjectorTest, CountsAndFailsOnlyOnceArmed)
{
    FaultInjector faults;
    EXPECT_EQ(faults.check(fault::kRun), kOk);
    EXPECT_EQ(faults.calls(fault::kRun), 0) << "an injector with nothing armed records nothing";
    faults.fail(fault::kRun, kErrWriteFault, 1, 2);
    EXPECT_EQ(faults.check(fault::kRun), kOk);
    EXPECT_EQ(faults.check(fault::kRun), kErrWriteFault);
    EXPECT_EQ(faults.check(fault::kConnect), kOk);
    EXPECT_EQ(faults.check(fault::kRun), kErrWriteFault);
    EXPECT_EQ(faults.check(fault::kRun), kOk);
    EXPECT_EQ(faults.calls(fault::kRun), 4);
    faults.clear();
    EXPECT_EQ(faults.check(fault::kRun), kOk);
    EXPECT_EQ(faults.calls(fault::kRun), 0);
}

TEST(WavWriterTest, AnOddDataLengthIsPaddedAndReadsBack)
{
    const auto path = (scratchDir() / "odd.wav").string();
    core::WavWriter writer;
    ASSERT_EQ(writer.open(path, pcmFormat(8000, 1, 8), 1ull << 40, nullptr), kOk);
    const std::uint8_t samples[] = {0, 128, 255, 17, 200};
    ASSERT_EQ(writer.write(samples, 2), kOk);
    ASSERT_EQ(writer.write(samples + 2, 3), kOk);
    ASSERT_EQ(writer.finish(), kOk);
    EXPECT_EQ(std::filesystem::file_size(path), core::WavWriter::kHeaderSize + 5 + 1);
    const WavData wav = readWav(path);
    ASSERT_TRUE(wav.valid) << wav.error;
    EXPECT_EQ(wav.dataBytes, 5u);
    EXPECT_EQ(wav.samples, (std::vector<std::int32_t>{0, 128, 255, 17, 200}));
    EXPECT_EQ(formatOf(wav), pcmFormat(8000, 1, 8));
}

// What a WAV writer sends down a pipe that holds all of it; the writer writes the pipe through its
// /proc name, as it would /dev/stdout.
struct PipedWav {
    Status opened = kOk;
    Status finished = kOk;
    std::string bytes;
};
PipedWav writeThroughPipe(std::uint64_t announced, const std::vector<std::uint8_t>& data)
{
    int ends[2];
    EXPECT_EQ(::pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
    PipedWav piped;
    {
        core::WavWriter writer;
        writer.expectDataBytes(announced);
        piped.opened = writer.open("/proc/self/fd/" + std::to_string(ends[1]), pcmFormat(8000, 1, 8), 0xFFFFFFFFull,
                                   nullptr);
        if (succeeded(piped.opened)) {
            EXPECT_TRUE(writer.isStream());
            EXPECT_EQ(writer.write(data.data(), data.size()), kOk);
            piped.finished = writer.finish();
        }
    }
    ::close(ends[1]);
    char chunk[4096];
    for (ssize_t n; (n = ::read(ends[0], chunk, sizeof chunk)) > 0;)
        piped.bytes.append(chunk, static_cast<std::size_t>(n));
    ::close(ends[0]);
    return piped;
}

TEST(WavWriterTest, APipeGetsTheAnnouncedSizesOnceAndNothingPastPlainRiff)
{
    const std::vector<std::uint8_t> samples{0, 128, 255, 17, 200};
    PipedWav piped = writeThroughPipe(5, samples);
    ASSERT_EQ(piped.opened, kOk);
    EXPECT_EQ(piped.finished, kOk);
    EXPECT_EQ(piped.bytes.size(), core::WavWriter::kHeaderSize + 5 + 1);  // with the pad byte
    const auto path = scratchDir() / "piped.wav";
    std::ofstream(path, std::ios::binary) << piped.bytes;
    const WavData wav = readWav(path);
    ASSERT_TRUE(wav.valid) << wav.error;
    EXPECT_EQ(wav.dataBytes, 5u);
    EXPECT_EQ(wav.riffSize, core::WavWriter::kHeaderSize - 8 + 6);
    EXPECT_EQ(wav.samples, (std::vector<std::int32_t>{0, 128, 255, 17, 200}));

    // A mix stopped early cannot take its header back: it names the whole, the pipe ends short.
    piped = writeThroughPipe(8, {1, 2, 3});
    EXPECT_EQ(piped.finished, kOk);
    EXPECT_EQ(piped.bytes.size(), core::WavWriter::kHeaderSize + 3);
    EXPECT_EQ(piped.bytes.substr(core::WavWriter::kHeaderSize - 4, 4), std::string("\x08\0\0\0", 4));

    // Past 4 GiB a plain header cannot say the size and RF64's cannot be filled in later.
    piped = writeThroughPipe(5ull << 30, samples);
    EXPECT_TRUE(failed(piped.opened));
    EXPECT_TRUE(piped.bytes.empty());
}

}  // namespace
}  // namespace sonarel::media::test
