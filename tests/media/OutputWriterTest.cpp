// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's writers beyond 16-bit WAV: the deep formats' extensible header also as RF64, an
// encoded file that cannot be written, and an encoded mix stopped part-way.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "tests/media/MediaTestSupport.h"

namespace sonarel::media::test {
namespace {

class OutputWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(lib.initialize(), kOk);
        dir = scratchDir();
    }
    MediaLibrary lib;
    std::filesystem::path dir;
};

std::string headerTag(const std::filesystem::path& file, std::size_t offset)
{
    std::ifstream in(file, std::ios::binary);
    std::string tag(4, '\0');
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(tag.data(), 4);
    return tag;
}

TEST_F(OutputWriterTest, DeepFormatsKeepTheirExtensibleHeaderAsRf64)
{
    const WavData source = readWav(mediaPath("stereo16.wav"));
    ASSERT_TRUE(source.valid) << source.error;
    lib.options().rf64Threshold = 1000;  // every file here passes it
    const WaveFormat floats{kWaveFormatIeeeFloat, 2, 44100, 352800, 8, 32, 0};
    for (const WaveFormat& format : {pcmFormat(44100, 2, 24), floats}) {
        SCOPED_TRACE(format.bitsPerSample);
        const auto out = dir / ("deep" + std::to_string(format.bitsPerSample) + ".wav");
        const RenderRun run = render(lib, {{mediaPath("stereo16.wav")}}, format, out);
        ASSERT_EQ(run.events.size(), 1u);
        EXPECT_EQ(run.events[0].code, kEventComplete);
        EXPECT_EQ(headerTag(out, 0), "RF64");
        EXPECT_EQ(headerTag(out, 12), "ds64");
        int rate = 0;
        EXPECT_EQ(decodedFramesByFfmpeg(out.string(), rate), source.frames());
        EXPECT_EQ(rate, 44100);
        if (format.bitsPerSample == 24) {
            const WavData deep = readWav(out);
            ASSERT_TRUE(deep.valid) << deep.error;
            EXPECT_TRUE(deep.rf64);
            EXPECT_EQ(deep.formatTag, 0xFFFE);
            ASSERT_EQ(deep.samples.size(), source.samples.size());
            for (std::size_t i = 0; i < source.samples.size(); ++i)
                ASSERT_EQ(deep.samples[i], source.samples[i] * 256) << i;
        }
    }
}

TEST_F(OutputWriterTest, AnEncodedFileThatCannotBeWrittenEndsTheMixNamingIt)
{
    core::OutputEncoding flac;
    flac.container = core::OutputContainer::Flac;
    const RenderRun run = render(lib, {{mediaPath("stereo16.wav")}}, pcmFormat(44100, 2, 16), "/dev/full", true, flac);
    if (failed(run.runStatus)) {
        EXPECT_EQ(run.runStatus, kErrDiskFull);  // refused at the header already
        return;
    }
    ASSERT_EQ(run.events.size(), 1u);
    EXPECT_EQ(run.events[0].code, kEventErrorAbort);
    EXPECT_NE(run.events[0].detail.find("/dev/full"), std::string::npos) << run.events[0].detail;
}

TEST_F(OutputWriterTest, AStoppedEncodedMixIsAValidFileOfWhatWasWritten)
{
    std::vector<Entry> entries;
    for (int i = 0; i < 20; ++i)
        entries.push_back({mediaPath("stereo16.wav"), static_cast<REFERENCE_TIME>(i) * 3 * kReferenceUnitsPerSecond});
    for (const core::OutputContainer container : {core::OutputContainer::Flac, core::OutputContainer::Mp3}) {
        core::OutputEncoding encoding;
        encoding.container = container;
        const auto out = dir / (std::string("stopped") + core::containerInfo(container).extension);
        RenderRun run = render(lib, entries, pcmFormat(44100, 2, 16), out, false, encoding);
        ASSERT_EQ(run.runStatus, kOk);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::shared_ptr<MediaControl> control;
        ASSERT_EQ(run.graph->queryMediaControl(control), kOk);
        EXPECT_EQ(control->stop(), kOk);
        run.graph.reset();
        static_cast<void>(run.engine->scrapIt());
        int rate = 0;
        const std::int64_t frames = decodedFramesByFfmpeg(out.string(), rate);
        EXPECT_GE(frames, 0) << out;
        EXPECT_LT(frames, 60 * 44100);
    }
}

}  // namespace
}  // namespace sonarel::media::test
