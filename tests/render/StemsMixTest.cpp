// SPDX-License-Identifier: GPL-3.0-or-later
// A mix with stems through the run control: the folder made, the files around the mix asked about
// as the output is, and names that would meet the mix's own or an input's told apart or refused.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "support/MixRunFixture.h"

namespace sonarel {
namespace {

class StemsMixTest : public testing::MixRunFixture {
protected:
    void SetUp() override
    {
        MixRunFixture::SetUp();
        MixItem item;
        item.filePath = input.toStdString();
        item.duration = kReferenceUnitsPerSecond / 2;
        ASSERT_EQ(store.append(item), AppendResult::Appended);
        item.startTime = kReferenceUnitsPerSecond / 4;
        item.muted = true;  // in no stem, as in no mix
        ASSERT_EQ(store.append(item), AppendResult::Appended);
    }

    // Mixes into `output` with stems in `folder`; whether the mix completed.
    bool mix(const QString& output, const QString& folder)
    {
        OutputSettings settings;
        settings.outputFile = output;
        settings.stemsFolder = folder;
        control.start(store, settings);
        if (!control.isMixing())
            return false;
        EXPECT_TRUE(view.runToEnd(control));
        return control.lastOutcome() == MixOutcome::Completed;
    }

    MixItemStore store;
};

// The entries without a group make one stem, which then holds the very samples of the mix; the
// folder is made, nested, when missing.
TEST_F(StemsMixTest, TheFolderIsMadeAndTheUngroupedStemIsTheWholeMix)
{
    const QString folder = dir.filePath(QStringLiteral("new/stems"));
    ASSERT_TRUE(mix(dir.filePath(QStringLiteral("mix.wav")), folder)) << desktop.texts().join('|').toStdString();
    const testing::WavData mixed = testing::readWav(dir.filePath(QStringLiteral("mix.wav")).toStdString());
    const testing::WavData stem = testing::readWav(folder.toStdString() + "/ungrouped.wav");
    ASSERT_TRUE(stem.valid) << stem.error;
    EXPECT_EQ(stem.frames(), mixed.frames());
    EXPECT_EQ(stem.samples, mixed.samples);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("ungrouped.wav")});
}

// An existing stem is replaced only after a Yes to the question the output gets; a No mixes
// nothing and keeps it.
TEST_F(StemsMixTest, AnExistingStemIsReplacedOnlyAfterAYes)
{
    const QString stem = dir.filePath(QStringLiteral("ungrouped.wav"));
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "yes" : "no");
        QFile old(stem);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old stem");
        old.close();
        desktop.answers = {yes};
        const QString output = dir.filePath(yes ? QStringLiteral("yes.wav") : QStringLiteral("no.wav"));
        EXPECT_EQ(mix(output, dir.path()), yes);
        EXPECT_TRUE(desktop.texts().join('|').contains(QStringLiteral("ungrouped.wav exists. Do you want to replace")));
        EXPECT_EQ(testing::contentsOf(stem) == "old stem", !yes);
        EXPECT_EQ(QFileInfo::exists(output), yes);
    }
}

// The mix's own file in the stems folder keeps its name and the stem takes another, said after
// the mix; a stem that would overwrite one of the files to mix is refused before anything is
// written.
TEST_F(StemsMixTest, NamesNeverMeetTheMixOrAnInput)
{
    ASSERT_TRUE(mix(dir.filePath(QStringLiteral("ungrouped.wav")), dir.path()));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("ungrouped (2).wav"))));
    EXPECT_TRUE(desktop.texts().join('|').contains(QStringLiteral("without a group are in ungrouped (2).wav")));

    const QString inputs = dir.filePath(QStringLiteral("inputs"));
    ASSERT_TRUE(QDir().mkpath(inputs));
    const QString inside = inputs + QStringLiteral("/ungrouped.wav");
    ASSERT_TRUE(QFile::copy(input, inside));
    store.at(0).filePath = inside.toStdString();
    desktop.answers = {true, true};
    EXPECT_FALSE(mix(dir.filePath(QStringLiteral("other.wav")), inputs));
    EXPECT_TRUE(desktop.texts().join('|').contains(QStringLiteral("is also one of the files to mix")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("other.wav"))));
    EXPECT_EQ(testing::contentsOf(inside), testing::contentsOf(input));
}

}  // namespace
}  // namespace sonarel
