// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <unistd.h>
#include <random>

#include "platform/NativePath.h"
#include "platform/media/core/Files.h"

using namespace sonarel;

// Any bytes go through a QString and back unchanged, by this module and by the engine's own
// conversion, which is what opens the files.
TEST(NativePath, AnyBytesComeBackAsTheyWere)
{
    std::vector<std::string> names = {
        "plain.wav",
        "caf\xC3\xA9.wav",             // UTF-8
        "caf\xE9.wav",                 // Latin-1
        "\xF0\x9F\x8E\xB5 note.flac",  // outside the BMP
        "\xED\xA0\x80 surrogate.wav",  // an encoded surrogate is not UTF-8
        "\xC0\xAF overlong, \xF4\x90\x80\x80 past U+10FFFF",
        "cut off \xE2\x82",
        "\xFF\xFE\x80",
    };
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        std::string bytes(static_cast<std::size_t>(random() % 12), '\0');
        for (char& c : bytes)
            c = static_cast<char>(1 + random() % 255);
        names.push_back(bytes);
    }
    for (const std::string& name : names) {
        const QString text = pathFromBytes(name);
        EXPECT_EQ(pathBytes(text), name);
        EXPECT_EQ(media::core::toUtf8(text.toStdU16String()), name);
    }
    // Valid UTF-8 is itself; only the other bytes are carried specially, and shown as \xHH.
    EXPECT_EQ(pathFromBytes("caf\xC3\xA9.wav"), QStringLiteral("caf\u00E9.wav"));
    EXPECT_EQ(readablePath(pathFromBytes("caf\xE9 \xC3\xA9.wav")), QStringLiteral("caf\\xe9 \u00E9.wav"));
    EXPECT_EQ(readableBytes("a\xFF\xF0\x9F\x8E\xB5"), "a\\xff\xF0\x9F\x8E\xB5");
    // A text not made from bytes still converts as UTF-8, an unpaired surrogate as U+FFFD.
    EXPECT_EQ(pathBytes(QString(QChar(0xD800))), "\xEF\xBF\xBD");
}

TEST(NativePath, AbsolutePathsAreWorkedOutInBytes)
{
    char folder[4096];
    ASSERT_NE(::getcwd(folder, sizeof folder), nullptr);
    const std::string here = folder;
    EXPECT_EQ(absolutePathBytes("/a//b/./c/../d\xE9.wav"), "/a/b/d\xE9.wav");
    EXPECT_EQ(absolutePathBytes("/../.."), "/");
    EXPECT_EQ(absolutePathBytes("x\xFF.wav"), (here == "/" ? "" : here) + "/x\xFF.wav");
    EXPECT_EQ(absolutePathBytes("sub/../y.wav"), (here == "/" ? "" : here) + "/y.wav");
}
