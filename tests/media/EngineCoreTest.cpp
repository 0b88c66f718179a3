// SPDX-License-Identifier: GPL-3.0-or-later
// The core's own parts, below the editing-services objects: the worker pool, the injection point
// when nothing is armed, and the WAV writer's pad byte.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
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

}  // namespace
}  // namespace sonarel::media::test
