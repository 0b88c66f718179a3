// SPDX-License-Identifier: GPL-3.0-or-later
// The conversions behind the output options that typing in the dialog does not reach: the hidden
// frame-size boxes, and names Browse may return.
#include <gtest/gtest.h>

#include "model/NumberText.h"
#include "settings/OutputOptions.h"
#include "settings/WaveFormatChoice.h"

using namespace sonarel;

TEST(OutputOptions, ChosenNamesGetTheWavExtensionOfTheirFileNameOnly)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/home/ann/LOUD.WAV", "/home/ann/LOUD.wav"},
        {"/home/ann/name.", "/home/ann/name.wav"},
        {"/d\u00e9j\u00e0.vu/\u00e9t\u00e9.flac", "/d\u00e9j\u00e0.vu/\u00e9t\u00e9.wav"},
        {"bare", "bare.wav"},
    };
    for (const auto& [chosen, expected] : cases)
        EXPECT_EQ(withWavExtension(QString::fromUtf8(chosen)), QString::fromUtf8(expected)) << chosen;
}

TEST(OutputOptions, FrameSizesAreReadLikeIntegersAndStoredInStepsOfEight)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {"352", 352},         {"350", 344}, {"17", 16},
        {"10", 16},           {"-7", 16},   {"  +720px", 720},
        {"abc", 16},          {"- 5", 16},  {"99999999999", 2147483640},
        {"-99999999999", 16},
    };
    for (const auto& [text, stored] : cases)
        EXPECT_EQ(frameSizeToStore(readLeadingInteger(QString::fromUtf8(text))), stored) << text;
    EXPECT_EQ(readLeadingInteger(QStringLiteral("-99999999999")), INT32_MIN);
}

// Whatever the window can choose comes back from a list's output lines as the same next mix.
TEST(OutputOptions, EveryChoiceRoundTripsThroughAListsOutputLines)
{
    using media::core::OutputContainer;
    for (const media::core::ContainerInfo& info : media::core::allContainers()) {
        for (const std::uint32_t rate : kAllSampleRates) {
            for (const int bits : kBitsChoices) {
                OutputSettings chosen;
                chosen.outputFile = QStringLiteral("/m/mix") + QString::fromLatin1(info.extension);
                setSampleRate(chosen, rate);
                setSampleBits(chosen, bits);
                chosen.channelsIndex = rate % 2 == 0 ? 1 : 0;
                chosen.bitrateKbps = info.defaultKbps != 0 ? 96 : 0;
                chosen.normalizeLufs = -23.5;
                chosen.truePeakCeilingDbtp = -2.0;
                chosen.dither = bits != 32;
                OutputSettings restored;
                const ListOutputLines lines = listOutputLinesOf(chosen);
                EXPECT_EQ(applyListOutputLines(lines, "/m", restored), static_cast<int>(lines.size()));
                const OutputChoice a = outputChoiceOf(chosen);
                const OutputChoice b = outputChoiceOf(restored);
                EXPECT_EQ(restored.outputFile, chosen.outputFile);
                EXPECT_EQ(a.encoding, b.encoding) << info.name << " " << rate << " " << bits;
                EXPECT_EQ(a.format.samplesPerSec, b.format.samplesPerSec);
                EXPECT_EQ(a.format.channels, b.format.channels);
                EXPECT_EQ(a.format.bitsPerSample, b.format.bitsPerSample);
                EXPECT_EQ(a.format.floatSamples, b.format.floatSamples);
                EXPECT_EQ(waveFormatSummary(chosen), waveFormatSummary(restored));
            }
        }
    }
    OutputSettings plain;
    EXPECT_TRUE(hasNewListFormat(plain));
    EXPECT_EQ(waveFormatSummary(plain), "WAV, 44100 Hz, stereo, 16-bit");
    setSampleBits(plain, 32);
    EXPECT_FALSE(hasNewListFormat(plain));
    EXPECT_EQ(waveFormatSummary(plain), "WAV, 44100 Hz, stereo, 32-bit float");
}

// A list's output name is only a suggestion: it is taken from the list's own folder, and refused
// (the output staying as it was, the list's format going with its name) when it could be anything
// but an output file the user would recognise.
TEST(OutputOptions, AListsOutputNameIsCheckedBeforeItIsTaken)
{
    using namespace std::string_literals;
    struct Case {
        std::string value;
        std::string listFolder;  // empty: a list on standard input
        QString taken;           // empty: refused
        const char* why;
    };
    const Case cases[] = {
        {"mix.flac", "/home/ann/show/", QStringLiteral("/home/ann/show/mix.flac"), ""},
        {"../out/./mix.wav", "/home/ann/show", QStringLiteral("/home/ann/out/mix.wav"), ""},
        {"/tmp/LOUD.MP3", "", QStringLiteral("/tmp/LOUD.MP3"), ""},
        {"cost $5.wav", "/m", QStringLiteral("/m/cost $5.wav"), ""},
        {".ssh/authorized_keys", "/home/ann/show", {}, "must end in one of these extensions: wav, flac"},
        {"/m/mix", "/m", {}, "must end in one of these extensions"},
        {"/m/mix.xyz", "/m", {}, "must end in one of these extensions"},
        {".bashrc\0.wav"s, "/home/ann", {}, "holds a control character"},
        {"mix\x1b[2J.wav", "/m", {}, "holds a control character"},
        {"~/x.wav", "/home/ann/show", {}, "~ and $NAME are not expanded"},
        {"$HOME/x.wav", "/home/ann/show", {}, "~ and $NAME are not expanded"},
        {"/m/${USER}.wav", "/m", {}, "~ and $NAME are not expanded"},
        {"mix.wav", "", {}, "this list has none"},
        {"/" + std::string(5000, 'a') + ".wav", "/m", {}, "too long"},
    };
    for (const Case& c : cases) {
        OutputSettings settings;
        settings.outputFile = QStringLiteral("/before/mix.ogg");
        QString refusal;
        const int taken = applyListOutputLines({{"file", c.value}, {"format", "opus"}, {"rate", "48000"}}, c.listFolder,
                                               settings, &refusal);
        SCOPED_TRACE(c.value.substr(0, 40));
        EXPECT_EQ(sampleRateOf(settings), 48000u);
        if (!c.taken.isEmpty()) {
            EXPECT_EQ(taken, 3);
            EXPECT_EQ(settings.outputFile, c.taken);
            EXPECT_TRUE(settings.outputNamedByList && !settings.listOutputAccepted);
            EXPECT_TRUE(refusal.isEmpty()) << refusal.toStdString();
            EXPECT_TRUE(outputChoiceOf(settings).problem.empty()) << outputChoiceOf(settings).problem;
            continue;
        }
        EXPECT_EQ(taken, 1);
        EXPECT_EQ(settings.outputFile, QStringLiteral("/before/mix.ogg"));
        EXPECT_FALSE(settings.outputNamedByList);
        EXPECT_EQ(outputChoiceOf(settings).encoding.container, media::core::OutputContainer::Vorbis);
        EXPECT_TRUE(refusal.startsWith(QStringLiteral("the output line \"file="))) << refusal.toStdString();
        EXPECT_TRUE(refusal.contains(QString::fromUtf8(c.why))) << refusal.toStdString();
        EXPECT_FALSE(refusal.contains(QChar(0)) || refusal.contains(QChar(0x1b))) << "shown escaped";
    }
}

// However a NUL or another control character reaches the output name, no mix is written under it:
// the file system would open another name than the one shown.
TEST(OutputOptions, AnOutputNameWithAControlCharacterIsRefused)
{
    for (const QString& name : {QStringLiteral("/home/ann/.bashrc") + QChar(0) + QStringLiteral(".wav"),
                                QStringLiteral("/m/two\nlines.flac"), QStringLiteral("/m/c1") + QChar(0x9b) + ".mp3"}) {
        OutputSettings settings;
        settings.outputFile = name;
        const std::string problem = outputChoiceOf(settings).problem;
        EXPECT_NE(problem.find("holds a control character"), std::string::npos) << problem;
        EXPECT_EQ(problem.find('\0'), std::string::npos);
    }
    OutputSettings fine;
    fine.outputFile = QStringLiteral("/m/caf\u00e9 \u266a.wav");
    EXPECT_TRUE(outputChoiceOf(fine).problem.empty());
}
