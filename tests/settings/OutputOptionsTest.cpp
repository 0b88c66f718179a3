// SPDX-License-Identifier: GPL-3.0-or-later
// The conversions behind the output options that typing in the dialog does not reach: the hidden
// frame-size boxes, and names Browse may return.
#include <gtest/gtest.h>

#include "model/NumberText.h"
#include "settings/OutputOptions.h"

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
