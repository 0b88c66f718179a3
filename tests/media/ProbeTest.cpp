// SPDX-License-Identifier: GPL-3.0-or-later
// Measuring media lengths: exact for PCM and FLAC, within one codec frame of what is decoded for
// compressed audio, and a clear failure for what cannot be played.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/media/FaultPoints.h"
#include "tests/media/MediaTestSupport.h"

namespace sonarel::media::test {
namespace {

class ProbeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(lib.initialize(), kOk); }

    Status probeStatus(const std::string& path, REFERENCE_TIME& duration)
    {
        duration = -1;
        std::shared_ptr<FilterGraph> graph;
        if (const Status s = lib.createFilterGraph(graph); failed(s))
            return s;
        if (const Status s = graph->renderFile(u16(path)); failed(s))
            return s;
        std::shared_ptr<MediaSeeking> seeking;
        if (const Status s = graph->queryMediaSeeking(seeking); failed(s))
            return s;
        return seeking->getStopPosition(duration);
    }

    MediaLibrary lib;
};

TEST_F(ProbeTest, DeclaredLengthsAreExact)
{
    // Lossless files, and compressed ones whose header or container declares the sample count.
    EXPECT_EQ(probe(lib, mediaPath("stereo16.wav")), 30'000'000);
    EXPECT_EQ(probe(lib, mediaPath("tone.flac")), 30'000'000);
    EXPECT_EQ(probe(lib, mediaPath("u8.wav")), 20'000'000);
    EXPECT_EQ(probe(lib, mediaPath("s24.wav")), 20'000'000);
    EXPECT_EQ(probe(lib, mediaPath("rate96k.wav")), 20'000'000);
    EXPECT_EQ(probe(lib, mediaPath("surround51.wav")), 20'000'000);
    EXPECT_EQ(probe(lib, mediaPath("cbr.mp3")), 30'000'000);  // LAME tag: delay and padding
    EXPECT_EQ(probe(lib, mediaPath("vbr.mp3")), 30'000'000);
    EXPECT_EQ(probe(lib, mediaPath("tone.m4a")), 30'000'000);  // edit list
    EXPECT_EQ(probe(lib, mediaPath("tone.ogg")), 30'000'000);  // Vorbis granule
    EXPECT_EQ(probe(lib, mediaPath("video.mp4")), 20'000'000);
}

TEST_F(ProbeTest, CompressedLengthsAreWithinOneFrameOfTheDecodedLength)
{
    struct Case {
        const char* name;
        int frameSize;
    };
    for (const Case& c : {Case{"cbr.mp3", 1152}, Case{"vbr.mp3", 1152}, Case{"vbr_noxing.mp3", 1152},
                          Case{"tone.ogg", 2048}, Case{"tone.m4a", 1024}, Case{"video.mp4", 1024}}) {
        SCOPED_TRACE(c.name);
        int rate = 0;
        const std::int64_t decoded = decodedFramesByFfmpeg(mediaPath(c.name), rate);
        ASSERT_GT(decoded, 0);
        ASSERT_GT(rate, 0);
        const REFERENCE_TIME measured = probe(lib, mediaPath(c.name));
        const double measuredFrames = static_cast<double>(measured) * rate / kReferenceUnitsPerSecond;
        std::printf("%s: decoded %lld measured %.1f\n", c.name, static_cast<long long>(decoded), measuredFrames);
        EXPECT_NEAR(measuredFrames, static_cast<double>(decoded), c.frameSize);
    }
}

TEST_F(ProbeTest, UnreadableFilesFailWithAClearStatus)
{
    const auto dir = scratchDir();
    const std::string fifo = (dir / "pipe.wav").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        Status expected;
    };
    const std::vector<Case> cases = {
        {mediaPath("does-not-exist.wav"), kErrFileNotFound},
        {mediaPath("stereo16.wav/inside"), kErrPathNotFound},
        {mediaPath("folder.wav"), kErrNotRegularFile},
        {fifo, kErrNotRegularFile},
        {"/dev/zero", kErrNotRegularFile},
        {mediaPath("empty.wav"), kErrUnsupportedFormat},
        {mediaPath("silent_video.mp4"), kErrNoAudioStream},
        {mediaPath("playlist.m3u8"), kErrUnsupportedFormat},
        {mediaPath("list.ffconcat"), kErrUnsupportedFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        REFERENCE_TIME duration = 0;
        EXPECT_EQ(probeStatus(c.path, duration), c.expected) << errorText(probeStatus(c.path, duration));
        EXPECT_EQ(probe(lib, c.path), -1);
    }
    // Random bytes: either refused or measured, but never a crash or a hang.
    REFERENCE_TIME duration = 0;
    const Status random = probeStatus(mediaPath("random.mp3"), duration);
    EXPECT_TRUE(failed(random) || duration >= 0);
    // A truncated file measures what is there.
    EXPECT_GT(probe(lib, mediaPath("truncated.wav")), 0);
    EXPECT_LT(probe(lib, mediaPath("truncated.wav")), 30'000'000);
}

// Only the start of a PCM stream is searched for compressed audio in disguise; the files a name
// or a header misrepresents are still told for what they hold.
TEST_F(ProbeTest, FilesInDisguiseAreMeasuredAsWhatTheyHold)
{
    const std::filesystem::path dir = scratchDir();
    const auto copy = [&](const std::string& from, const std::string& name) {
        std::filesystem::copy_file(mediaPath(from), dir / name);
        return (dir / name).string();
    };
    EXPECT_EQ(probe(lib, copy("cbr.mp3", "mp3.wav")), probe(lib, mediaPath("cbr.mp3")));
    EXPECT_EQ(probe(lib, copy("stereo16.wav", "wav.mp3")), 30'000'000);
    EXPECT_EQ(probe(lib, copy("tone.flac", "flac.ogg")), 30'000'000);
    EXPECT_EQ(probe(lib, copy("text.wav", "text.mp3")), -1);
    // Rewritten in place (the same inode) with other media, a file is read as what it now holds.
    const std::string rewritten = copy("tone.flac", "rewritten.media");
    EXPECT_EQ(probe(lib, rewritten), 30'000'000);
    std::filesystem::copy_file(mediaPath("sine100.wav"), rewritten, std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(probe(lib, rewritten), 20'000'000);
    // MPEG audio behind a header that declares 16-bit PCM: read as PCM it would last 0.3 s.
    const std::string wrapped = (dir / "mp3-as-pcm.wav").string();
    {
        std::ifstream in(mediaPath("cbr.mp3"), std::ios::binary);
        const std::string mp3((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream out(wrapped, std::ios::binary);
        sonarel::testing::detail::writeHeader(out, 2, 44100, 16, static_cast<std::uint32_t>(mp3.size()));
        out.write(mp3.data(), static_cast<std::streamsize>(mp3.size()));
    }
    EXPECT_NEAR(probe(lib, wrapped), 30'000'000, 1'000'000);
    std::string detail;
    int rate = 0;
    EXPECT_EQ(lib.checkSource(u16(wrapped), 48000, detail, &rate), kOk);
    EXPECT_EQ(rate, 44100);
}

TEST_F(ProbeTest, EachStepCanBeMadeToFail)
{
    lib.faults().fail(fault::kCreateFilterGraph, kErrOutOfMemory);
    EXPECT_EQ(probe(lib, mediaPath("stereo16.wav")), 0);
    lib.faults().fail(fault::kRenderFile, kErrUnsupportedFormat);
    EXPECT_EQ(probe(lib, mediaPath("stereo16.wav")), -1);
    lib.faults().fail(fault::kQueryMediaSeeking);
    EXPECT_EQ(probe(lib, mediaPath("stereo16.wav")), -1);
    lib.faults().fail(fault::kGetStopPosition);
    EXPECT_EQ(probe(lib, mediaPath("stereo16.wav")), -1);
    EXPECT_EQ(probe(lib, mediaPath("stereo16.wav")), 30'000'000);
    EXPECT_EQ(lib.faults().calls(fault::kGetStopPosition), 2);
}

}  // namespace
}  // namespace sonarel::media::test
