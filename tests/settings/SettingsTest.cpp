// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <random>

#include "model/NumberText.h"
#include "settings/FrameRateTable.h"
#include "settings/OutputSettings.h"
#include "settings/ProfileStore.h"
#include "settings/WaveFormatChoice.h"
#include "support/RecordingDesktop.h"

using namespace sonarel;
using sonarel::testing::RecordingDesktop;

namespace {

// The profile must never touch the person's real settings: point XDG_CONFIG_HOME at a temporary
// folder before anything asks where configuration lives.
QTemporaryDir* configHome()
{
    static QTemporaryDir* dir = [] {
        auto* made = new QTemporaryDir;
        ::setenv("XDG_CONFIG_HOME", made->path().toLocal8Bit().constData(), 1);
        return made;
    }();
    return dir;
}
const bool configHomeReady = configHome()->isValid();

QString freshApplication()
{
    static int counter = 0;
    return QStringLiteral("sonarel-test-%1").arg(++counter);
}

}  // namespace

TEST(ProfileStore, ValuesWrittenAreReadBackByAFreshStore)
{
    ASSERT_TRUE(configHomeReady);
    const QString app = freshApplication();
    {
        ProfileStore profile(app);
        EXPECT_TRUE(profile.location().startsWith(configHome()->path() + QStringLiteral("/Quillmoor/")));
        EXPECT_TRUE(profile.WriteInt(profile::kSettings, profile::kOutputWidth, 640));
        EXPECT_TRUE(profile.WriteInt(profile::kSettings, profile::kOutputHigh, -7));
        EXPECT_TRUE(profile.WriteString(profile::kSettings, profile::kOutputName,
                                        QStringLiteral("/tmp/a, b/Mix \u00e9t\u00e9.wav")));
        EXPECT_TRUE(profile.WriteString(profile::kOption, profile::kLastAudioFolder, QStringLiteral("/")));
    }
    ProfileStore again(app);
    EXPECT_EQ(again.ReadInt(profile::kSettings, profile::kOutputWidth, 1), 640);
    EXPECT_EQ(again.ReadInt(profile::kSettings, profile::kOutputHigh, 1), -7);
    EXPECT_EQ(again.ReadString(profile::kSettings, profile::kOutputName, {}),
              QStringLiteral("/tmp/a, b/Mix \u00e9t\u00e9.wav"));
    EXPECT_EQ(again.ReadString(profile::kOption, profile::kLastAudioFolder, QStringLiteral("x")), QStringLiteral("/"));
    EXPECT_EQ(again.ReadInt(QStringLiteral("Nowhere"), QStringLiteral("Nothing"), 42), 42);
    EXPECT_EQ(again.ReadString(profile::kSettings, QStringLiteral("Missing"), QStringLiteral("d")),
              QStringLiteral("d"));
}

TEST(ProfileStore, UnreadableValuesAndCorruptFilesGiveDefaults)
{
    const QString app = freshApplication();
    const QString file = ProfileStore(app).location();
    QDir().mkpath(QFileInfo(file).path());
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("[Settings]\nOutputWidth=wide\nOutputHigh=4294967295\nOutputFrameRateIndex=99999999999\n");
    }
    {
        ProfileStore profile(app);
        EXPECT_EQ(profile.ReadInt(profile::kSettings, profile::kOutputWidth, 352), 352);
        EXPECT_EQ(profile.ReadInt(profile::kSettings, profile::kOutputHigh, 240), -1);  // a 32-bit value read signed
        EXPECT_EQ(profile.ReadInt(profile::kSettings, profile::kOutputFrameRateIndex, 0), 0);
    }
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        std::mt19937 random(7);
        QByteArray noise;
        for (int i = 0; i < 4096; ++i)
            noise.append(static_cast<char>(random() & 0xFF));
        out.write(noise);
    }
    RecordingDesktop desktop;
    const OutputSettings settings = loadOutputSettings(ProfileStore(app), QStringLiteral("/home/ann/Music"), desktop);
    EXPECT_EQ(settings.outputFile, QStringLiteral("/home/ann/Music/audio_mix.wav"));
    EXPECT_EQ(settings.outputWidth, 352);
    EXPECT_EQ(settings.outputHeight, 240);
    EXPECT_EQ(settings.frameRateIndex, 0);
    EXPECT_DOUBLE_EQ(settings.frameRate, 23.976);
    EXPECT_TRUE(desktop.messages.empty());
}

TEST(OutputSettings, FirstRunDefaultsAndMusicFolderFailure)
{
    const QString app = freshApplication();
    RecordingDesktop desktop;
    const OutputSettings first = loadOutputSettings(ProfileStore(app), QStringLiteral("/home/ann/Music"), desktop);
    EXPECT_EQ(first.outputFile, QStringLiteral("/home/ann/Music/audio_mix.wav"));
    EXPECT_EQ(first.resizeMode, 2);
    EXPECT_EQ(first.sampleRateIndex, 0);
    EXPECT_EQ(first.channelsIndex, 0);
    EXPECT_EQ(first.bitsIndex, 0);
    EXPECT_TRUE(desktop.messages.empty());

    EXPECT_EQ(loadOutputSettings(ProfileStore(app), QStringLiteral("/"), desktop).outputFile,
              QStringLiteral("/audio_mix.wav"));

    const OutputSettings noMusic = loadOutputSettings(ProfileStore(app), QString(), desktop);
    EXPECT_EQ(noMusic.outputFile, QDir::homePath() + QStringLiteral("/audio_mix.wav"));
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, QStringLiteral("Can not get My Music directory!"));
    EXPECT_EQ(desktop.messages[0].caption, QStringLiteral("Error"));

    // A stored name wins over the default; one too long for a path is refused.
    ProfileStore profile(app);
    profile.WriteString(profile::kSettings, profile::kOutputName, QStringLiteral("/data/out.wav"));
    EXPECT_EQ(loadOutputSettings(profile, QStringLiteral("/m"), desktop).outputFile, QStringLiteral("/data/out.wav"));
    profile.WriteString(profile::kSettings, profile::kOutputName,
                        QStringLiteral("/") + QString(5000, QLatin1Char('x')));
    EXPECT_EQ(loadOutputSettings(profile, QStringLiteral("/m"), desktop).outputFile,
              QStringLiteral("/m/audio_mix.wav"));
}

TEST(OutputSettings, TheCutEdgeRampIsStoredWithinItsRange)
{
    const QString app = freshApplication();
    RecordingDesktop desktop;
    ProfileStore profile(app);
    EXPECT_EQ(loadOutputSettings(profile, QStringLiteral("/m"), desktop).edgeFadeMs, 5);
    writeEdgeFadeMs(profile, 0);
    EXPECT_EQ(loadOutputSettings(profile, QStringLiteral("/m"), desktop).edgeFadeMs, 0);
    const std::pair<const char*, int> stored[] = {{"10", 10}, {"11", 10}, {"-3", 0}, {"soon", 5}, {"", 5}};
    for (const auto& [text, milliseconds] : stored) {
        profile.WriteString(profile::kSettings, QStringLiteral("EdgeFade"), QString::fromUtf8(text));
        EXPECT_EQ(readEdgeFadeMs(profile), milliseconds) << text;
    }
}

TEST(FrameRate, StoredIndexAndCustomTextResolve)
{
    const QString app = freshApplication();
    ProfileStore profile(app);
    auto resolveWith = [&](int index, const char* text) {
        profile.WriteInt(profile::kSettings, profile::kOutputFrameRateIndex, index);
        if (text != nullptr)
            profile.WriteString(profile::kSettings, profile::kOutputFrameRate, QString::fromUtf8(text));
        return resolveFrameRate(profile);
    };
    EXPECT_EQ(resolveFrameRate(profile).index, 0);
    EXPECT_DOUBLE_EQ(resolveFrameRate(profile).rate, 23.976);
    FrameRateChoice choice = resolveWith(9, nullptr);
    EXPECT_EQ(choice.index, 0);
    EXPECT_DOUBLE_EQ(choice.rate, 23.976);
    choice = resolveWith(-1, nullptr);
    EXPECT_EQ(choice.index, 0);
    EXPECT_DOUBLE_EQ(resolveWith(3, nullptr).rate, 29.97);
    choice = resolveWith(5, "12.5");
    EXPECT_EQ(choice.index, 5);
    EXPECT_DOUBLE_EQ(choice.rate, 12.5);
    EXPECT_DOUBLE_EQ(resolveWith(5, "fast").rate, 0.0);
    EXPECT_DOUBLE_EQ(resolveWith(5, "  7.25fps").rate, 7.25);
}

TEST(FrameRate, LeadingNumberConversion)
{
    EXPECT_DOUBLE_EQ(readLeadingNumber(QStringLiteral("23.976000")).value_or(0.0), 23.976);
    EXPECT_DOUBLE_EQ(readLeadingNumber(QStringLiteral(" -2.5e1x")).value_or(0.0), -25.0);
    EXPECT_DOUBLE_EQ(readLeadingNumber(QStringLiteral("+3")).value_or(0.0), 3.0);
    EXPECT_DOUBLE_EQ(readLeadingNumber(QStringLiteral("")).value_or(0.0), 0.0);
    EXPECT_DOUBLE_EQ(readLeadingNumber(QStringLiteral("--1")).value_or(0.0), 0.0);
    EXPECT_DOUBLE_EQ(readLeadingNumber(QStringLiteral("12,5")).value_or(0.0), 12.5);
}

TEST(WaveFormatChoice, IndicesMapToFormats)
{
    struct Case {
        int rate, channels, bits;
        std::uint32_t samplesPerSec;
        std::uint16_t nChannels, bitsPerSample, blockAlign;
        std::uint32_t avgBytesPerSec;
    };
    const Case cases[] = {
        {0, 0, 0, 44100, 2, 16, 4, 176400},    {1, 1, 1, 22050, 1, 8, 1, 22050}, {2, 0, 1, 11025, 2, 8, 2, 22050},
        {3, 0, 0, 8000, 2, 16, 4, 32000},      {3, 1, 0, 8000, 1, 16, 2, 16000}, {4, 2, 2, 44100, 2, 16, 4, 176400},
        {-1, -1, -1, 44100, 2, 16, 4, 176400},
    };
    for (const Case& c : cases) {
        const PcmFormat f = waveFormatFromChoices(c.rate, c.channels, c.bits);
        SCOPED_TRACE(::testing::Message() << c.rate << "/" << c.channels << "/" << c.bits);
        EXPECT_EQ(f.samplesPerSec, c.samplesPerSec);
        EXPECT_EQ(f.channels, c.nChannels);
        EXPECT_EQ(f.bitsPerSample, c.bitsPerSample);
        EXPECT_EQ(f.blockAlign, c.blockAlign);
        EXPECT_EQ(f.avgBytesPerSec, c.avgBytesPerSec);
    }
}
