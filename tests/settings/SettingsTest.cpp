// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <future>
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

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Opens a profile on a separate thread, so that a profile that waits forever fails the test
// instead of hanging it; the FIFO is then given a writer that closes at once.
bool opensWithoutWaiting(const QString& app, const QString& fifo, QString& problem, bool& wrote)
{
    auto opened = std::async(std::launch::async, [app] {
        ProfileStore profile(app);
        const bool written = profile.WriteInt(profile::kSettings, profile::kOutputWidth, 640);
        return std::make_pair(profile.problem(),
                              written && profile.ReadInt(profile::kSettings, profile::kOutputWidth, 1) == 640);
    });
    if (opened.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
        opened.wait();
        return false;
    }
    std::tie(problem, wrote) = opened.get();
    return true;
}

bool isFifo(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

}  // namespace

// A FIFO in place of the settings file, or a link to one: the defaults are used at once, the user
// is told, and the FIFO is neither waited on nor replaced.
TEST(ProfileStore, AFifoOrALinkToOneIsNeitherWaitedOnNorReplaced)
{
    ASSERT_TRUE(configHomeReady);
    const QString direct = freshApplication();
    const QString linked = freshApplication();
    const QString file = ProfileStore(direct).location();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
    ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    const QString link = ProfileStore(linked).location();
    ASSERT_TRUE(QFile::link(file, link));

    for (const QString& app : {direct, linked}) {
        SCOPED_TRACE(app.toStdString());
        QString problem;
        bool wrote = true;
        ASSERT_TRUE(opensWithoutWaiting(app, file, problem, wrote)) << "the profile waited on a FIFO";
        EXPECT_FALSE(wrote);
        EXPECT_TRUE(problem.contains(QStringLiteral("not a regular file"))) << problem.toStdString();
        EXPECT_TRUE(isFifo(file));
    }
    EXPECT_TRUE(QFileInfo(link).isSymLink());
}

// A link to a regular settings file is followed as an editor follows it: the file is rewritten and
// the link stays.
TEST(ProfileStore, ALinkToARegularFileIsWrittenThrough)
{
    const QString app = freshApplication();
    const QString link = ProfileStore(app).location();
    const QString real = configHome()->filePath(QStringLiteral("kept-elsewhere.conf"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(link).path()));
    {
        QFile out(real);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("[Settings]\nOutputWidth=320\n");
    }
    ASSERT_TRUE(QFile::link(real, link));
    {
        ProfileStore profile(app);
        EXPECT_TRUE(profile.problem().isEmpty());
        EXPECT_EQ(profile.ReadInt(profile::kSettings, profile::kOutputWidth, 1), 320);
        EXPECT_TRUE(profile.WriteInt(profile::kSettings, profile::kOutputWidth, 640));
    }
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(fileBytes(real).contains("OutputWidth=640"));
}

// A file that is not UTF-8 (or cannot be parsed) is read as far as it goes, never rewritten in the
// run, and the user is told once why.
TEST(ProfileStore, SettingsThatDoNotReadCleanlyAreKeptAsTheyAre)
{
    const QString app = freshApplication();
    const QString file = ProfileStore(app).location();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
    const QByteArray latin1(
        "[Settings]\nOutputWidth=320\nOutputName=/home/ren\xe9"
        "e/mix.wav\n");
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(latin1);
    }
    {
        ProfileStore profile(app);
        EXPECT_EQ(profile.ReadInt(profile::kSettings, profile::kOutputWidth, 1), 320);
        EXPECT_FALSE(profile.WriteInt(profile::kSettings, profile::kOutputWidth, 640));
        EXPECT_FALSE(profile.WriteString(profile::kOption, profile::kLastAudioFolder, QStringLiteral("/tmp")));
        EXPECT_TRUE(profile.problem().contains(QStringLiteral("not UTF-8"))) << profile.problem().toStdString();
        EXPECT_TRUE(profile.problem().contains(file));
    }
    EXPECT_EQ(fileBytes(file), latin1);

    // A healthy file says nothing.
    const QString healthy = freshApplication();
    ProfileStore(healthy).WriteInt(profile::kSettings, profile::kOutputWidth, 1);
    EXPECT_TRUE(ProfileStore(healthy).problem().isEmpty());
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

    // A stored name wins over the default, an empty one too; one too long for a path is refused.
    ProfileStore profile(app);
    profile.WriteString(profile::kSettings, profile::kOutputName, QStringLiteral("/data/out.wav"));
    EXPECT_EQ(loadOutputSettings(profile, QStringLiteral("/m"), desktop).outputFile, QStringLiteral("/data/out.wav"));
    profile.WriteString(profile::kSettings, profile::kOutputName, QString());
    EXPECT_EQ(loadOutputSettings(profile, QStringLiteral("/m"), desktop).outputFile, QString());
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
