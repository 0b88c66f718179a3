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
                EXPECT_EQ(applyListOutputLines(lines, restored), static_cast<int>(lines.size()));
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
    // A name without extension takes the format line; an extension Sonarel cannot write is still
    // refused rather than written as the format line says.
    OutputSettings bare;
    applyListOutputLines({{"file", "/m/mix"}, {"format", "flac"}}, bare);
    EXPECT_EQ(outputChoiceOf(bare).encoding.container, OutputContainer::Flac);
    OutputSettings unknown;
    applyListOutputLines({{"file", "/m/mix.xyz"}, {"format", "wav"}}, unknown);
    EXPECT_NE(outputChoiceOf(unknown).problem.find("cannot write .xyz files"), std::string::npos);

    OutputSettings plain;
    EXPECT_TRUE(hasNewListFormat(plain));
    EXPECT_EQ(waveFormatSummary(plain), "WAV, 44100 Hz, stereo, 16-bit");
    setSampleBits(plain, 32);
    EXPECT_FALSE(hasNewListFormat(plain));
    EXPECT_EQ(waveFormatSummary(plain), "WAV, 44100 Hz, stereo, 32-bit float");
}
