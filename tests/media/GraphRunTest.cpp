// SPDX-License-Identifier: GPL-3.0-or-later
// Running a render: stopping it, failures while it runs, the RF64 switch, the position it reports,
// and output that does not depend on the number of worker threads or on how far the workers
// decode ahead of the mixing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include <sys/stat.h>

#include "platform/media/FaultPoints.h"
#include "tests/media/MediaTestSupport.h"

namespace sonarel::media::test {
namespace {

std::vector<char> bytesOf(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Sixteen sources of half a minute that overlap all the time: the workers have far more to decode
// than threads to do it.
std::vector<Entry> busyEntries()
{
    const char* files[] = {"seek.wav", "seek.flac", "seek_cbr.mp3", "seek.ogg", "seek.wv", "seek.aiff"};
    std::vector<Entry> entries;
    for (int i = 0; i < 16; ++i)
        entries.push_back({mediaPath(files[i % 6]), i * 1'300'000LL, 300'000'000, 1.0, 0.1});
    return entries;
}

// Whether `part`, cut short, begins as `whole`: sample by sample, with at least one block written.
::testing::AssertionResult isPrefixOf(const WavData& part, const WavData& whole)
{
    if (!part.valid || !whole.valid)
        return ::testing::AssertionFailure() << "not a valid WAV: " << part.error << whole.error;
    if (part.frames() == 0 || part.frames() >= whole.frames())
        return ::testing::AssertionFailure() << part.frames() << " frames of " << whole.frames();
    for (std::size_t i = 0; i < part.samples.size(); ++i)
        if (part.samples[i] != whole.samples[i])
            return ::testing::AssertionFailure() << "frame " << i / 2 << " differs";
    return ::testing::AssertionSuccess();
}

class GraphRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(lib.initialize(), kOk);
        dir = scratchDir();
    }

    // The one event of a run that is expected to end with an error.
    GraphEvent failingRun(const std::vector<Entry>& entries, const std::filesystem::path& out)
    {
        const RenderRun run = render(lib, entries, pcmFormat(44100, 2, 16), out);
        EXPECT_EQ(run.runStatus, kOk);
        EXPECT_EQ(run.events.size(), 1u);
        return run.events.empty() ? GraphEvent{} : run.events[0];
    }

    MediaLibrary lib;
    std::filesystem::path dir;
};

TEST_F(GraphRunTest, StopLeavesAValidWavOfWhatWasWritten)
{
    const auto out = dir / "stopped.wav";
    // An hour of output: far more than is written before the stop.
    RenderRun run = render(lib, {{mediaPath("cbr.mp3"), 0}, {mediaPath("tone.ogg"), 36'000'000'000LL, 30'000'000}},
                           pcmFormat(44100, 2, 16), out, false);
    ASSERT_EQ(run.runStatus, kOk);
    REFERENCE_TIME stop = 0;
    ASSERT_EQ(run.graph->getStopPosition(stop), kOk);
    EXPECT_EQ(stop, 36'030'000'000LL);
    REFERENCE_TIME position = 0;
    for (int i = 0; i < 30'000 && position == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(run.graph->getCurrentPosition(position), kOk);
    }
    ASSERT_GT(position, 0);
    ASSERT_EQ(run.graph->stop(), kOk);
    ASSERT_EQ(run.graph->getCurrentPosition(position), kOk);
    GraphEvent event;
    EXPECT_EQ(run.graph->getEvent(event, 0), kErrTimeout) << "a stop queues no event";
    EXPECT_EQ(run.engine->scrapIt(), kOk);

    const WavData wav = readWav(out);
    ASSERT_TRUE(wav.valid) << wav.error;
    EXPECT_GT(wav.frames(), 0);
    EXPECT_LT(wav.frames(), 44100LL * 3600);
    EXPECT_EQ(wav.frames(), std::llround(static_cast<double>(position) * 44100 / kReferenceUnitsPerSecond));
    // The standard tool agrees on the length.
    EXPECT_EQ(runProgram({"ffprobe", "-v", "error", out.string()}), 0);

    // Stopped at once, before anything was mixed: still a valid (possibly empty) file.
    const auto early = dir / "early.wav";
    RenderRun second = render(lib, {{mediaPath("cbr.mp3"), 36'000'000'000LL}}, pcmFormat(44100, 2, 16), early, false);
    ASSERT_EQ(second.runStatus, kOk);
    ASSERT_EQ(second.graph->stop(), kOk);
    EXPECT_TRUE(readWav(early).valid) << readWav(early).error;
}

TEST_F(GraphRunTest, FailedWritesEndTheRunWithAnErrorEvent)
{
    // A full disk.
    GraphEvent full = failingRun({{mediaPath("stereo16.wav")}}, "/dev/full");
    EXPECT_EQ(full.code, kEventErrorAbort);
    EXPECT_EQ(full.status, kErrDiskFull);
    EXPECT_NE(full.detail.find("/dev/full"), std::string::npos) << full.detail;
    EXPECT_NE(full.detail.find(errorText(kErrDiskFull)), std::string::npos) << full.detail;

    // A write that fails after two blocks: the file keeps what was written before, with sizes to match.
    lib.faults().fail(fault::kWriteOutput, kErrWriteFault, 2);
    const auto out = dir / "broken.wav";
    GraphEvent broken = failingRun({{mediaPath("stereo16.wav")}}, out);
    EXPECT_EQ(broken.code, kEventErrorAbort);
    EXPECT_EQ(broken.status, kErrWriteFault);
    const WavData wav = readWav(out);
    ASSERT_TRUE(wav.valid) << wav.error;
    EXPECT_GT(wav.frames(), 0);
    EXPECT_LT(wav.frames(), 132300);
    const WavData source = readWav(mediaPath("stereo16.wav"));
    for (std::int64_t f = 0; f < wav.frames(); ++f)
        ASSERT_EQ(wav.at(f, 0), source.at(f, 0));

    // An output folder that does not exist: run() itself says so.
    const RenderRun missing = render(lib, {{mediaPath("stereo16.wav")}}, pcmFormat(44100, 2, 16), dir / "no" / "x.wav");
    EXPECT_EQ(missing.runStatus, kErrPathNotFound);
    EXPECT_TRUE(missing.events.empty());

    // A FIFO that nobody reads: refused at once by every writer, never waited on.
    const std::string fifo = (dir / "pipe.flac").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const core::OutputContainer container : {core::OutputContainer::Wav, core::OutputContainer::Flac}) {
        core::OutputEncoding encoding;
        encoding.container = container;
        const RenderRun piped = render(lib, {{mediaPath("stereo16.wav")}}, pcmFormat(44100, 2, 16), fifo, true,
                                       encoding);
        EXPECT_EQ(piped.runStatus, kErrNotRegularFile) << errorText(piped.runStatus);
    }
}

TEST_F(GraphRunTest, UnreadableSourcesEndTheRunWithAnErrorNamingTheFile)
{
    const std::string fifo = (dir / "pipe.mp3").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        Status expected;
        std::string ffmpegSaid = {};  // FFmpeg's own words, kept in the detail
    };
    for (const Case& c :
         {Case{fifo, kErrNotRegularFile}, Case{mediaPath("folder.wav"), kErrNotRegularFile},
          Case{mediaPath("empty.wav"), kErrUnsupportedFormat}, Case{mediaPath("gone.wav"), kErrFileNotFound},
          Case{mediaPath("silent_video.mp4"), kErrNoAudioStream},
          Case{mediaPath("text.wav"), kErrUnsupportedFormat, "(FFmpeg: Invalid data found"}}) {
        SCOPED_TRACE(c.path);
        const auto out = dir / "out.wav";
        const GraphEvent event = failingRun({{mediaPath("sine100.wav")}, {c.path, 5'000'000, 10'000'000}}, out);
        EXPECT_EQ(event.code, kEventErrorAbort);
        EXPECT_EQ(event.status, c.expected) << errorText(event.status);
        EXPECT_NE(event.detail.find(c.path), std::string::npos) << event.detail;
        EXPECT_NE(event.detail.find(c.ffmpegSaid), std::string::npos) << event.detail;
        EXPECT_TRUE(readWav(out).valid);
    }
    // A read that fails while decoding.
    lib.faults().fail(fault::kReadSource, kErrReadFault, 5);
    const GraphEvent event = failingRun({{mediaPath("cbr.mp3")}}, dir / "read.wav");
    EXPECT_EQ(event.code, kEventErrorAbort);
    EXPECT_EQ(event.status, kErrReadFault);
    EXPECT_NE(event.detail.find("cbr.mp3"), std::string::npos) << event.detail;
}

TEST_F(GraphRunTest, LargeDataSwitchesTheHeaderToRf64)
{
    const WavData source = readWav(mediaPath("stereo16.wav"));
    const auto dataBytes = static_cast<std::uint64_t>(source.samples.size() * 2);
    lib.options().rf64Threshold = dataBytes;  // not passed: plain RIFF
    ASSERT_EQ(render(lib, {{mediaPath("stereo16.wav")}}, pcmFormat(44100, 2, 16), dir / "riff.wav").events.size(), 1u);
    lib.options().rf64Threshold = dataBytes - 1;
    ASSERT_EQ(render(lib, {{mediaPath("stereo16.wav")}}, pcmFormat(44100, 2, 16), dir / "rf64.wav").events.size(), 1u);

    const WavData riff = readWav(dir / "riff.wav");
    ASSERT_TRUE(riff.valid) << riff.error;
    EXPECT_FALSE(riff.rf64);
    const WavData rf64 = readWav(dir / "rf64.wav");
    ASSERT_TRUE(rf64.valid) << rf64.error;
    EXPECT_TRUE(rf64.rf64);
    EXPECT_EQ(rf64.dataBytes, dataBytes);
    EXPECT_EQ(rf64.samples, source.samples);
    // The ds64 chunk takes the place of the reserved JUNK chunk.
    const auto plain = bytesOf(dir / "riff.wav");
    const auto big = bytesOf(dir / "rf64.wav");
    EXPECT_EQ(std::string(plain.begin() + 12, plain.begin() + 16), "JUNK");
    EXPECT_EQ(std::string(big.begin() + 12, big.begin() + 16), "ds64");
    EXPECT_EQ(plain.size(), big.size());
}

TEST_F(GraphRunTest, OutputDoesNotDependOnTheNumberOfWorkers)
{
    const std::vector<Entry> entries = {
        {mediaPath("cbr.mp3"), 0, -1, 1.3, 0.7},
        {mediaPath("tone.ogg"), 5'000'000, -1, 0.8, 1.0},
        {mediaPath("tone.m4a"), 10'000'000, -1, 1.0, 1.5},
        {mediaPath("surround51.wav"), 2'000'000, -1, 2.0, 1.0},
        {mediaPath("rate48k.wav"), 3'000'000, -1, 1.0, 2.0},
        {mediaPath("video.mp4"), 15'000'000, -1, 1.1, 0.5},
        {mediaPath("ratechange.mp3"), 0, -1, 0.9, 1.0},
        {mediaPath("vbr.mp3"), 7'000'000, -1, 3.0, 1.0},
    };
    lib.options().workerThreads = 1;
    const RenderRun one = render(lib, entries, pcmFormat(22050, 2, 16), dir / "one.wav");
    lib.options().workerThreads = 2;
    const RenderRun two = render(lib, entries, pcmFormat(22050, 2, 16), dir / "two.wav");
    lib.options().workerThreads = 5;
    const RenderRun five = render(lib, entries, pcmFormat(22050, 2, 16), dir / "five.wav");
    for (const RenderRun* run : {&one, &two, &five}) {
        ASSERT_EQ(run->events.size(), 1u);
        EXPECT_EQ(run->events[0].code, kEventComplete) << run->events[0].detail;
    }
    const auto reference = bytesOf(dir / "one.wav");
    EXPECT_GT(reference.size(), 100'000u);
    EXPECT_TRUE(reference == bytesOf(dir / "two.wav"));
    EXPECT_TRUE(reference == bytesOf(dir / "five.wav"));
    // The loudness is measured beside the mixing, block after block in their order.
    const LoudnessFigures& measured = one.events[0].loudness;
    ASSERT_TRUE(measured.measured);
    for (const RenderRun* run : {&two, &five}) {
        EXPECT_EQ(run->events[0].loudness.integratedLufs, measured.integratedLufs);
        EXPECT_EQ(run->events[0].loudness.rangeLu, measured.rangeLu);
        EXPECT_EQ(run->events[0].loudness.truePeakDbtp, measured.truePeakDbtp);
    }
}

// Hundreds of sources of a few milliseconds: many start and end inside one block, up to a dozen
// sound at once. Mixed as a whole they sound as the sum of their two halves mixed apart, whatever
// the number of workers.
TEST_F(GraphRunTest, ManyShortSourcesMixAsTheSumOfTheirHalves)
{
    const char* files[] = {"stereo16.wav", "mono16.wav", "tone.flac", "s24.wav", "rate48k.wav"};
    std::vector<Entry> all, even, odd;
    for (int i = 0; i < 1200; ++i) {
        const REFERENCE_TIME length = 30'000 + (i % 7) * 20'000;  // 3 to 15 ms
        const REFERENCE_TIME from = (i % 13) * 100'000;
        const Entry entry{mediaPath(files[i % 5]), i * 10'000LL, 20'000'000,   1.0,
                          0.05 + 0.01 * (i % 4),   from,         from + length};
        all.push_back(entry);
        (i % 2 ? odd : even).push_back(entry);
    }
    lib.options().workerThreads = 4;
    for (const auto& [entries, name] : {std::pair{&all, "all.wav"}, {&even, "even.wav"}, {&odd, "odd.wav"}}) {
        const RenderRun run = render(lib, *entries, pcmFormat(44100, 2, 16), dir / name);
        ASSERT_EQ(run.events.size(), 1u);
        ASSERT_EQ(run.events[0].code, kEventComplete) << run.events[0].detail;
    }
    lib.options().workerThreads = 1;
    ASSERT_EQ(render(lib, all, pcmFormat(44100, 2, 16), dir / "alone.wav").events.size(), 1u);
    EXPECT_TRUE(bytesOf(dir / "all.wav") == bytesOf(dir / "alone.wav"));

    const WavData whole = readWav(dir / "all.wav");
    const WavData first = readWav(dir / "even.wav");
    const WavData second = readWav(dir / "odd.wav");
    ASSERT_EQ(whole.frames(), std::max(first.frames(), second.frames()));
    const auto sampleOf = [](const WavData& wav, std::size_t i) { return i < wav.samples.size() ? wav.samples[i] : 0; };
    std::int32_t loudest = 0;
    for (std::size_t i = 0; i < whole.samples.size(); ++i) {
        // Each half rounds its own sum to 16 bits: they may differ by one step.
        ASSERT_LE(std::abs(whole.samples[i] - sampleOf(first, i) - sampleOf(second, i)), 1) << "frame " << i / 2;
        loudest = std::max(loudest, std::abs(whole.samples[i]));
    }
    EXPECT_GT(loudest, 3000);  // sound, not silence matching silence
}

// A source whose reading fails while fifteen others play: the mix ends with the block before the
// failure, every block in it complete, and the error names a file of the list.
TEST_F(GraphRunTest, ASourceFailingWhileOthersPlayEndsTheMixAtItsBlock)
{
    const std::vector<Entry> entries = busyEntries();
    lib.options().workerThreads = 4;
    const RenderRun clean = render(lib, entries, pcmFormat(44100, 2, 16), dir / "clean.wav");
    ASSERT_EQ(clean.events.size(), 1u);
    ASSERT_EQ(clean.events[0].code, kEventComplete);

    lib.faults().fail(fault::kReadSource, kErrReadFault, 2000);
    const GraphEvent event = failingRun(entries, dir / "failed.wav");
    EXPECT_EQ(event.code, kEventErrorAbort);
    EXPECT_EQ(event.status, kErrReadFault);
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [&](const Entry& e) {
        return event.detail.find(e.path) != std::string::npos;
    })) << event.detail;
    EXPECT_TRUE(isPrefixOf(readWav(dir / "failed.wav"), readWav(dir / "clean.wav")));
}

// A stop while the workers are busy ahead of the mixing: the file holds exactly the frames the
// position reported, each as the whole mix has it.
TEST_F(GraphRunTest, AStopWhileWorkersDecodeAheadKeepsWholeBlocks)
{
    const std::vector<Entry> entries = busyEntries();
    lib.options().workerThreads = 4;
    const RenderRun clean = render(lib, entries, pcmFormat(44100, 2, 16), dir / "clean.wav");
    ASSERT_EQ(clean.events.size(), 1u);

    RenderRun run = render(lib, entries, pcmFormat(44100, 2, 16), dir / "stopped.wav", false);
    ASSERT_EQ(run.runStatus, kOk);
    REFERENCE_TIME position = 0;
    for (int i = 0; i < 30'000 && position == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(run.graph->getCurrentPosition(position), kOk);
    }
    ASSERT_EQ(run.graph->stop(), kOk);
    ASSERT_EQ(run.graph->getCurrentPosition(position), kOk);
    GraphEvent event;
    EXPECT_EQ(run.graph->getEvent(event, 0), kErrTimeout) << "a stop queues no event";
    EXPECT_EQ(run.engine->scrapIt(), kOk);
    const WavData stopped = readWav(dir / "stopped.wav");
    EXPECT_TRUE(isPrefixOf(stopped, readWav(dir / "clean.wav")));
    EXPECT_EQ(stopped.frames(), std::llround(static_cast<double>(position) * 44100 / kReferenceUnitsPerSecond));
}

TEST_F(GraphRunTest, PositionReachesTheStopPositionAndTheGraphRunsAgain)
{
    const auto out = dir / "again.wav";
    RenderRun run = render(lib, {{mediaPath("sine100.wav"), 10'000'000}}, pcmFormat(44100, 2, 16), out, false);
    ASSERT_EQ(run.runStatus, kOk);
    GraphEvent event;
    ASSERT_EQ(run.graph->getEvent(event, 60'000), kOk);
    EXPECT_EQ(event.code, kEventComplete);
    EXPECT_EQ(run.graph->freeEventParams(event), kOk);
    REFERENCE_TIME position = 0;
    REFERENCE_TIME stop = 0;
    ASSERT_EQ(run.graph->getCurrentPosition(position), kOk);
    ASSERT_EQ(run.graph->getStopPosition(stop), kOk);
    EXPECT_EQ(position, 30'000'000);
    EXPECT_EQ(stop, 30'000'000);
    // A second run writes the same file again.
    ASSERT_EQ(run.graph->run(), kOk);
    ASSERT_EQ(run.graph->getEvent(event, 60'000), kOk);
    EXPECT_EQ(event.code, kEventComplete);
    EXPECT_EQ(readWav(out).frames(), 132300);
    EXPECT_EQ(run.engine->scrapIt(), kOk);
}

}  // namespace
}  // namespace sonarel::media::test
