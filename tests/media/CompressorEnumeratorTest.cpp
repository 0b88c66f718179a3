// The compressor lists the engine offers: FFmpeg's encoders by long name, and the two failures
// a caller must tell apart.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/media/CompressorEnumerator.h"
#include "platform/media/FaultPoints.h"
#include "platform/media/MediaLibrary.h"

namespace sonarel::media {
namespace {

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(CompressorEnumeratorTest, ListsVideoAndAudioEncodersApartByLongName) {
    MediaLibrary lib;
    ASSERT_EQ(lib.initialize(), kOk);
    std::unique_ptr<CompressorEnumerator> enumerator;
    ASSERT_EQ(createCompressorEnumerator(lib, enumerator), kOk);
    std::vector<std::string> video, audio;
    ASSERT_EQ(enumerator->categoryNames(CompressorCategory::Video, video), kOk);
    ASSERT_EQ(enumerator->categoryNames(CompressorCategory::Audio, audio), kOk);
    EXPECT_TRUE(contains(video, "raw video"));
    EXPECT_TRUE(contains(audio, "PCM signed 16-bit little-endian"));
    EXPECT_FALSE(contains(video, "PCM signed 16-bit little-endian"));
    EXPECT_FALSE(contains(audio, "raw video"));
    EXPECT_TRUE(std::none_of(audio.begin(), audio.end(), [](const std::string& n) { return n.empty(); }));
    // Decoders are not compressors: FFmpeg reads MP3 with its own decoder but has no own MP3
    // encoder of that name.
    EXPECT_FALSE(contains(audio, "MP3 (MPEG audio layer 3)"));
}

TEST(CompressorEnumeratorTest, EachStepFailsOnItsOwn) {
    MediaLibrary lib;
    std::unique_ptr<CompressorEnumerator> enumerator;
    EXPECT_EQ(createCompressorEnumerator(lib, enumerator), kErrEngineUnavailable);
    EXPECT_FALSE(enumerator);
    ASSERT_EQ(lib.initialize(), kOk);

    lib.faults().fail(fault::kCreateSystemEnumerator, kErrOutOfMemory);
    EXPECT_EQ(createCompressorEnumerator(lib, enumerator), kErrOutOfMemory);
    EXPECT_FALSE(enumerator);
    ASSERT_EQ(createCompressorEnumerator(lib, enumerator), kOk);

    lib.faults().fail(fault::kCreateClassEnumerator, kErrFail);
    std::vector<std::string> names{"left over"};
    EXPECT_EQ(enumerator->categoryNames(CompressorCategory::Audio, names), kErrFail);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(enumerator->categoryNames(CompressorCategory::Audio, names), kOk);
    EXPECT_FALSE(names.empty());
}

}  // namespace
}  // namespace sonarel::media
