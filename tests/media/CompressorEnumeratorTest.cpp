// SPDX-License-Identifier: GPL-3.0-or-later
// The compressor lists the engine offers: FFmpeg's encoders by long name, video and audio apart,
// and the two steps that can fail on their own.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/media/FaultPoints.h"
#include "platform/media/services/CompressorEnumerator.h"
#include "platform/media/services/MediaLibrary.h"

namespace sonarel::media {
namespace {

TEST(CompressorEnumeratorTest, ListsEncodersByCategoryAndFailsStepByStep)
{
    MediaLibrary lib;
    std::unique_ptr<CompressorEnumerator> enumerator;
    EXPECT_EQ(createCompressorEnumerator(lib, enumerator), kErrEngineUnavailable);
    ASSERT_EQ(lib.initialize(), kOk);
    lib.faults().fail(fault::kCreateSystemEnumerator, kErrOutOfMemory);
    EXPECT_EQ(createCompressorEnumerator(lib, enumerator), kErrOutOfMemory);
    EXPECT_FALSE(enumerator);
    ASSERT_EQ(createCompressorEnumerator(lib, enumerator), kOk);

    std::vector<std::string> video, audio{"left over"};
    lib.faults().fail(fault::kCreateClassEnumerator);
    EXPECT_EQ(enumerator->categoryNames(CompressorCategory::Audio, audio), kErrFail);
    EXPECT_TRUE(audio.empty());
    ASSERT_EQ(enumerator->categoryNames(CompressorCategory::Video, video), kOk);
    ASSERT_EQ(enumerator->categoryNames(CompressorCategory::Audio, audio), kOk);
    auto has = [](const std::vector<std::string>& names, const char* name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    EXPECT_TRUE(has(video, "raw video"));
    EXPECT_TRUE(has(audio, "PCM signed 16-bit little-endian"));
    EXPECT_FALSE(has(video, "PCM signed 16-bit little-endian"));
    EXPECT_FALSE(has(audio, "raw video"));
    EXPECT_FALSE(has(audio, "MP3 (MPEG audio layer 3)")) << "a decoder's name, not an encoder's";
}

}  // namespace
}  // namespace sonarel::media
