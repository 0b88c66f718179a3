// SPDX-License-Identifier: GPL-3.0-or-later
// Shaping from the list to the WAV file, through the run control that the window and the command
// line drive: a muted entry adds nothing and does not lengthen the mix; a trimmed entry gets its
// cut-edge ramp from the entry's conversion, and the mix ends with its out point.
#include <gtest/gtest.h>

#include "support/MixRunFixture.h"
#include "support/WavFile.h"

namespace sonarel {
namespace {

using testing::WavData;

class ShapedMixTest : public testing::MixRunFixture {
protected:
    void SetUp() override
    {
        MixRunFixture::SetUp();
        settings.outputFile = dir.filePath(QStringLiteral("out.wav"));
        ASSERT_TRUE(testing::readWav(input.toStdString(), original, error)) << error;
    }

    WavData mixed()
    {
        desktop.answers = {true, true};
        control.mixCommand(store, settings);
        EXPECT_TRUE(control.isMixing()) << desktop.texts().join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(view.runToEnd(control));
        EXPECT_EQ(control.lastOutcome(), MixOutcome::Completed);
        WavData wav;
        EXPECT_TRUE(testing::readWav(settings.outputFile.toStdString(), wav, error)) << error;
        return wav;
    }

    MixItemStore store;
    OutputSettings settings;
    WavData original;  // 0.5 s of a 440 Hz sine at 8000
    std::string error;
};

TEST_F(ShapedMixTest, AMutedEntryAddsNothingAndDoesNotLengthenTheMix)
{
    ASSERT_EQ(store.append(input.toStdString(), kReferenceUnitsPerSecond / 2), AppendResult::Appended);
    ASSERT_EQ(store.append(input.toStdString(), kReferenceUnitsPerSecond / 2), AppendResult::Appended);
    ASSERT_EQ(store.append(input.toStdString(), kReferenceUnitsPerSecond / 2), AppendResult::Appended);
    store.at(1).muted = true;  // on top of the first: would double it
    store.at(2).muted = true;  // after it: would lengthen the mix to 3 s
    store.at(2).startTime = 25 * kReferenceUnitsPerSecond / 10;
    const WavData wav = mixed();
    EXPECT_EQ(wav.frames(), original.frames());
    EXPECT_EQ(wav.samples, original.samples);
}

TEST_F(ShapedMixTest, ATrimmedEntryRampsInAtItsCutAndEndsAtItsOutPoint)
{
    ASSERT_EQ(store.append(input.toStdString(), kReferenceUnitsPerSecond / 2), AppendResult::Appended);
    store.at(0).inPoint = kReferenceUnitsPerSecond / 10;       // frame 4410
    store.at(0).outPoint = kReferenceUnitsPerSecond * 3 / 10;  // frame 13230
    const WavData wav = mixed();
    ASSERT_EQ(wav.frames(), 8820);
    const std::int64_t ramp = 221;  // 5 ms
    for (std::int64_t k = 0; k < wav.frames(); ++k) {
        double gain = 1.0;
        if (k < ramp)
            gain = static_cast<double>(k) / ramp;
        else if (k >= wav.frames() - ramp)
            gain = static_cast<double>(wav.frames() - k) / ramp;
        ASSERT_NEAR(wav.at(k, 0), original.at(4410 + k, 0) * gain, 1.0) << k;
    }
}

}  // namespace
}  // namespace sonarel
