// SPDX-License-Identifier: GPL-3.0-or-later
// The WAV writer never loses a mix quietly: a second writer of the same file is turned away, the
// header keeps up with the samples while they are written, and a file taken away from under the
// writer makes finish() fail.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "platform/media/core/WavWriter.h"
#include "tests/media/MediaTestSupport.h"

namespace sonarel::media::test {
namespace {

using core::WavWriter;

constexpr std::uint64_t kNoRf64 = ~std::uint64_t{0};

// Frames of a ramp, different in every frame, as 16-bit stereo bytes.
std::vector<std::uint8_t> ramp(std::size_t firstFrame, std::size_t frames)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(frames * 4);
    for (std::size_t f = firstFrame; f < firstFrame + frames; ++f)
        for (int c = 0; c < 2; ++c) {
            const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>((f * 7 + c * 1000) % 60000 - 30000));
            bytes.push_back(static_cast<std::uint8_t>(v));
            bytes.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    return bytes;
}

void expectRamp(const WavData& wav, std::int64_t frames)
{
    ASSERT_TRUE(wav.valid) << wav.error;
    ASSERT_EQ(wav.frames(), frames);
    for (std::int64_t f = 0; f < frames; ++f)
        ASSERT_EQ(wav.at(f, 1), static_cast<std::int16_t>((f * 7 + 1000) % 60000 - 30000)) << f;
}

std::uint64_t fileSize(const std::filesystem::path& path)
{
    return std::filesystem::file_size(path);
}

// The file as a reader sees it while it is still written: the header's sizes and the samples the
// data size covers (a strict reader also wants the file to end there, which it does not yet).
struct LiveFile {
    std::uint32_t riffSize = 0;
    std::uint32_t dataBytes = 0;
    std::vector<std::int16_t> right;  // channel 1 of the frames the header declares
};

LiveFile readLive(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LiveFile live;
    if (bytes.size() < WavWriter::kHeaderSize)
        return live;
    live.riffSize = sonarel::testing::le32(bytes.data() + 4);
    live.dataBytes = sonarel::testing::le32(bytes.data() + WavWriter::kHeaderSize - 4);
    for (std::size_t at = WavWriter::kHeaderSize;
         at + 4 <= WavWriter::kHeaderSize + live.dataBytes && at + 4 <= bytes.size(); at += 4)
        live.right.push_back(static_cast<std::int16_t>(bytes[at + 2] | bytes[at + 3] << 8));
    return live;
}

const WaveFormat kFormat = pcmFormat(44100, 2, 16);

}  // namespace

TEST(WavWriterSafety, ASecondWriterOfTheSameFileIsTurnedAwayAndChangesNothing)
{
    const auto out = scratchDir() / "shared.wav";
    WavWriter first;
    ASSERT_EQ(first.open(out.string(), kFormat, kNoRf64, nullptr), kOk);
    const auto head = ramp(0, 600'000);  // 2.4 MB: the buffer reaches the file twice
    ASSERT_EQ(first.write(head.data(), head.size()), kOk);
    const std::uint64_t before = fileSize(out);
    ASSERT_GT(before, 2'000'000u);

    WavWriter second;
    EXPECT_EQ(second.open(out.string(), kFormat, kNoRf64, nullptr), kErrFileInUse);
    EXPECT_EQ(fileSize(out), before);

    const auto tail = ramp(600'000, 1000);
    ASSERT_EQ(first.write(tail.data(), tail.size()), kOk);
    ASSERT_EQ(first.finish(), kOk);
    expectRamp(readWav(out), 601'000);

    // Once the first is done the name is free again.
    WavWriter third;
    EXPECT_EQ(third.open(out.string(), kFormat, kNoRf64, nullptr), kOk);
    EXPECT_EQ(third.finish(), kOk);
}

// A process killed part-way leaves a file whose header names the whole frames already written.
TEST(WavWriterSafety, TheHeaderKeepsUpWithTheSamplesWhileTheyAreWritten)
{
    const auto out = scratchDir() / "live.wav";
    WavWriter writer;
    ASSERT_EQ(writer.open(out.string(), kFormat, kNoRf64, nullptr), kOk);
    std::size_t frames = 0;
    for (int round = 0; round < 3; ++round) {
        const auto block = ramp(frames, 400'001);  // an odd count: the buffer ends mid-frame
        ASSERT_EQ(writer.write(block.data(), block.size()), kOk);
        frames += 400'001;
        // Read while the writer still holds the rest in its buffer, as after a kill.
        const LiveFile now = readLive(out);
        const std::uint64_t onDisk = fileSize(out) - WavWriter::kHeaderSize;
        SCOPED_TRACE(round);
        EXPECT_EQ(now.dataBytes % 4, 0u);
        EXPECT_LE(now.dataBytes, onDisk);
        EXPECT_LT(onDisk - now.dataBytes, 4u);                  // only a part of a frame is left out
        EXPECT_GT(now.dataBytes, frames * 4 - (1u << 20) - 4);  // at most the buffer is missing
        EXPECT_EQ(now.riffSize, now.dataBytes + WavWriter::kHeaderSize - 8);
        ASSERT_EQ(now.right.size(), now.dataBytes / 4);
        for (std::size_t f = 0; f < now.right.size(); ++f)
            ASSERT_EQ(now.right[f], static_cast<std::int16_t>((f * 7 + 1000) % 60000 - 30000)) << f;
    }
    ASSERT_EQ(writer.finish(), kOk);
    expectRamp(readWav(out), static_cast<std::int64_t>(frames));
}

TEST(WavWriterSafety, AFileTakenAwayWhileWrittenIsAFailure)
{
    const auto dir = scratchDir();
    const auto block = ramp(0, 10'000);
    enum class Loss { None, Deleted, Replaced, FolderRemoved };
    for (const Loss loss : {Loss::None, Loss::Deleted, Loss::Replaced, Loss::FolderRemoved}) {
        SCOPED_TRACE(static_cast<int>(loss));
        const auto folder = dir / ("case" + std::to_string(static_cast<int>(loss)));
        std::filesystem::create_directories(folder);
        const auto out = folder / "mix.wav";
        WavWriter writer;
        ASSERT_EQ(writer.open(out.string(), kFormat, kNoRf64, nullptr), kOk);
        ASSERT_EQ(writer.write(block.data(), block.size()), kOk);
        switch (loss) {
        case Loss::None: break;
        case Loss::Deleted: std::filesystem::remove(out); break;
        case Loss::Replaced: {
            const auto other = folder / "other.wav";
            std::ofstream(other) << "another program's file";
            std::filesystem::rename(other, out);
            break;
        }
        case Loss::FolderRemoved: std::filesystem::remove_all(folder); break;
        }
        const Status finished = writer.finish();
        if (loss == Loss::None) {
            EXPECT_EQ(finished, kOk);
            expectRamp(readWav(out), 10'000);
        } else {
            EXPECT_EQ(finished, kErrOutputReplaced);
            EXPECT_FALSE(errorText(finished).empty());
        }
        if (loss == Loss::Replaced) {
            EXPECT_EQ(fileSize(out), std::string("another program's file").size());
        }
    }
}

}  // namespace sonarel::media::test
