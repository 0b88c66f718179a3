// SPDX-License-Identifier: GPL-3.0-or-later
// Measuring a file's length also learns what the check before a mix needs: the check then answers
// without the file exactly as opening it answers (status, FFmpeg's words, rate), and a list of
// distinct files, measured several at once, is opened once to measure and check and once to mix.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/media/core/MediaInput.h"
#include "platform/media/core/SourceStream.h"
#include "tests/media/MediaTestSupport.h"

namespace sonarel::media::test {
namespace {

using sonarel::testing::sine16;
using sonarel::testing::writeWav16;

class MeasureOnceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(lib.initialize(), kOk); }

    std::string file(const std::string& name) const { return (dir / name).string(); }
    std::string copyOf(const std::string& from, const std::string& name) const
    {
        std::filesystem::copy_file(from, file(name), std::filesystem::copy_options::overwrite_existing);
        return file(name);
    }

    MediaLibrary lib;
    std::filesystem::path dir = scratchDir();
};

struct CheckAnswer {
    Status status = kOk;
    std::string detail;
    int sourceRate = 0;
    friend bool operator==(const CheckAnswer&, const CheckAnswer&) = default;
};

std::ostream& operator<<(std::ostream& out, const CheckAnswer& a)
{
    return out << errorText(a.status) << a.detail << " at " << a.sourceRate << " Hz";
}

TEST_F(MeasureOnceTest, TheCheckAfterMeasuringAnswersAsOpeningTheFileDoes)
{
    std::vector<std::string> files;
    for (const char* name :
         {"stereo16.wav",   "mono16.wav",  "u8.wav",           "s24.wav",        "rate48k.wav",   "rate96k.wav",
          "surround51.wav", "tone.flac",   "tone.ogg",         "tone.m4a",       "cbr.mp3",       "vbr.mp3",
          "vbr_noxing.mp3", "part22k.aac", "ratechange.mp3",   "ratechange.aac", "seek.aiff",     "seek.wv",
          "seek_alac.m4a",  "video.mp4",   "silent_video.mp4", "truncated.mp3",  "truncated.wav", "random.mp3",
          "text.wav",       "empty.wav",   "playlist.m3u8",    "list.ffconcat"})
        files.push_back(mediaPath(name));
    // Files in disguise, and what the converter cannot or need not take as it is: channels beyond
    // its matrices, a rate no exact fraction of its reach converts, a rate far above the output.
    files.push_back(copyOf(mediaPath("cbr.mp3"), "mp3-named.wav"));
    files.push_back(copyOf(mediaPath("stereo16.wav"), "wav-named.mp3"));
    files.push_back(copyOf(mediaPath("text.wav"), "text-named.mp3"));
    for (int channels : {3, 33, 255}) {
        files.push_back(file("ch" + std::to_string(channels) + ".wav"));
        writeWav16(files.back(), channels, 44100, sine16(channels, 44100, 0.05, 1000, 8000));
    }
    files.push_back(file("odd-rate.wav"));
    writeWav16(files.back(), 1, 1'000'003, sine16(1, 1'000'003, 0.05, 1000, 8000));
    files.push_back(file("fast.wav"));
    writeWav16(files.back(), 2, 2'000'000, sine16(2, 2'000'000, 0.02, 1000, 8000));

    MediaLibrary opening;  // measures nothing first: its check opens each file
    ASSERT_EQ(opening.initialize(), kOk);
    lib.measureAhead([&] {
        std::vector<std::u16string> paths;
        for (const std::string& f : files)
            paths.push_back(u16(f));
        return paths;
    }());
    const std::uint64_t opensBefore = core::mediaInputsOpened();
    std::set<Status> refusals;
    for (const std::string& f : files)
        for (int rate : {8000, 44100, 48000, 192000}) {
            SCOPED_TRACE(f + " at " + std::to_string(rate));
            CheckAnswer expected;
            expected.status = opening.checkSource(u16(f), rate, expected.detail, &expected.sourceRate);
            const std::uint64_t opensOfTheOther = core::mediaInputsOpened();
            CheckAnswer learned;
            learned.status = lib.checkSource(u16(f), rate, learned.detail, &learned.sourceRate);
            EXPECT_EQ(learned, expected);
            if (failed(expected.status))
                refusals.insert(expected.status);
            EXPECT_EQ(core::mediaInputsOpened(), opensOfTheOther) << "the measured file was opened again";
        }
    EXPECT_GT(core::mediaInputsOpened(), opensBefore);  // by the library that measured nothing
    // Refusals for several reasons were among the answers compared.
    EXPECT_GE(refusals.size(), 2U);
}

TEST_F(MeasureOnceTest, DistinctFilesAreOpenedOnceToMeasureAndCheckAndOnceToMix)
{
    constexpr int kFiles = 24;
    std::vector<std::u16string> paths;
    std::vector<Entry> entries;
    for (int i = 0; i < kFiles; ++i) {
        const int rate = i % 3 == 0 ? 22050 : i % 3 == 1 ? 44100 : 48000;
        const int channels = 1 + i % 2;
        const std::string f = file("tone" + std::to_string(i) + ".wav");
        writeWav16(f, channels, rate, sine16(channels, rate, 0.05 + 0.01 * i, 200.0 + 50 * i, 3000));
        paths.push_back(u16(f));
        entries.push_back({f, i * kReferenceUnitsPerSecond / 50});
    }
    const std::uint64_t start = core::mediaInputsOpened();
    EXPECT_EQ(lib.measureAhead(paths), lib.measuringThreads(kFiles));
    EXPECT_EQ(core::mediaInputsOpened() - start, kFiles);
    // Measured on several threads, each length is the one a library measuring alone finds.
    MediaLibrary alone;
    ASSERT_EQ(alone.initialize(), kOk);
    for (const Entry& e : entries)
        EXPECT_EQ(probe(lib, e.path), probe(alone, e.path)) << e.path;
    const std::uint64_t measured = core::mediaInputsOpened();
    for (const std::u16string& path : paths) {
        std::string detail;
        EXPECT_EQ(lib.checkSource(path, 44100, detail), kOk);
    }
    EXPECT_EQ(lib.measureAhead(paths), 0);  // all known: nothing to do
    const std::uint64_t checked = core::mediaInputsOpened();
    EXPECT_EQ(checked - measured, 0U);
    const RenderRun run = render(lib, entries, pcmFormat(44100, 2, 16), dir / "mix.wav");
    ASSERT_EQ(run.runStatus, kOk);
    EXPECT_EQ(core::mediaInputsOpened() - checked, kFiles);
    const WavData wav = readWav((dir / "mix.wav").string());
    EXPECT_NEAR(static_cast<double>(wav.frames()), (kFiles - 1) * 44100 / 50.0 + (0.05 + 0.01 * (kFiles - 1)) * 44100,
                2.0);
    // A file written after it was measured is a new file: it is measured again.
    writeWav16(entries[0].path, 2, 44100, sine16(2, 44100, 0.5, 300, 3000));
    EXPECT_EQ(lib.measureAhead({paths[0], paths[0]}), 1);
    EXPECT_EQ(probe(lib, entries[0].path), kReferenceUnitsPerSecond / 2);
}

}  // namespace
}  // namespace sonarel::media::test
