// SPDX-License-Identifier: GPL-3.0-or-later
// The stem files of a mix: which entries go to which file, and names that are safe, told apart
// and said when they are not the group's own.
#include <gtest/gtest.h>

#include "render/StemFiles.h"

namespace sonarel {
namespace {

QStringList fileNames(const StemPlan& plan)
{
    QStringList names;
    for (const StemFile& file : plan.files)
        names << file.fileName;
    return names;
}

// Groups in the order they first appear, ungrouped last; entries not mixed (muted, unreadable)
// belong to no stem and make none.
TEST(StemFilesTest, EachMixedEntryGoesToItsGroupsFile)
{
    const std::vector<QString> groups = {"Music", "", "Voice", "Music", "Effects", ""};
    const std::vector<bool> mixed = {true, true, true, true, false, true};
    const StemPlan plan = planStems(groups, mixed, ".wav");
    EXPECT_EQ(fileNames(plan), (QStringList{"Music.wav", "Voice.wav", "ungrouped.wav"}));
    EXPECT_EQ(plan.stemOfEntry, (std::vector<int>{0, 2, 1, 0, -1, 2}));
    EXPECT_TRUE(renamedStemsText(plan).isEmpty());

    const StemPlan none = planStems({"", ""}, {false, true}, ".flac");
    EXPECT_EQ(fileNames(none), QStringList{"ungrouped.flac"});
    EXPECT_EQ(none.stemOfEntry, (std::vector<int>{-1, 0}));
}

TEST(StemFilesTest, NamesAreMadeSafeAndToldApart)
{
    struct Case {
        std::vector<QString> groups;
        QStringList taken;
        QStringList files;
    };
    const QString longName(300, QChar(0x00e9));  // two bytes each in UTF-8
    const Case cases[] = {
        {{"a/b", "c:d*?", "..", " .hidden. ", "x\ty", "CON", "com1"},
         {},
         {"a_b.wav", "c_d__.wav", "group.wav", "_hidden.wav", "x_y.wav", "CON_.wav", "com1_.wav"}},
        // Names that meet after being made safe, or differ only in case, or meet "ungrouped".
        {{"a/b", "a?b", "Drums", "drums", "ungrouped", ""},
         {},
         {"a_b.wav", "a_b (2).wav", "Drums.wav", "drums (2).wav", "ungrouped (2).wav", "ungrouped.wav"}},
        // The mix's own file in the folder is never a stem's.
        {{"mix", ""}, {"Mix.wav", "ungrouped.wav"}, {"mix (2).wav", "ungrouped (2).wav"}},
        {{longName}, {}, {QString(100, QChar(0x00e9)) + ".wav"}},
    };
    for (const Case& c : cases) {
        const StemPlan plan = planStems(c.groups, {}, ".wav", c.taken);
        EXPECT_EQ(fileNames(plan), c.files) << c.files.join('|').toStdString();
        for (const StemFile& file : plan.files) {
            if (file.renamed) {
                EXPECT_TRUE(renamedStemsText(plan).contains(file.fileName)) << file.fileName.toStdString();
            }
        }
    }
    const StemPlan said = planStems({"a/b", ""}, {}, ".wav", {"ungrouped.wav"});
    EXPECT_EQ(renamedStemsText(said),
              "The group \"a/b\" is in a_b.wav.\n"
              "The entries without a group are in ungrouped (2).wav.");
}

}  // namespace
}  // namespace sonarel
