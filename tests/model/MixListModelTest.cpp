// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <functional>
#include <set>
#include <string>

#include "model/MixListModel.h"

using namespace sonarel;

namespace {

// Five entries a.wav .. e.wav, started 0 .. 4 units.
void fill(MixItemStore& store)
{
    for (char name = 'a'; name <= 'e'; ++name) {
        ASSERT_EQ(store.append(std::string("/nowhere/") + name + ".wav", 10), AppendResult::Appended);
        store.at(store.audioCount() - 1).startTime = name - 'a';
    }
}

// The list as its file names, read through the model as a view reads it.
std::string shown(const MixListModel& model)
{
    std::string names;
    for (int row = 0; row < model.rowCount(); ++row)
        names += model.index(row, 0).data().toString().section(QLatin1Char('.'), 0, 0).toStdString();
    return names;
}

SelectionCursor selecting(std::set<int> rows)
{
    return SelectionCursor([rows](int after) {
        const auto next = rows.upper_bound(after);
        return next == rows.end() ? -1 : *next;
    });
}

EntryProperties startingAt(REFERENCE_TIME start)
{
    EntryProperties properties;
    properties.startTime = start;
    return properties;
}

}  // namespace

// Every way of editing tells the views through the model's own signals (the tester checks that
// each announcement matches what the rows then hold) and its whole-list watchers exactly once.
TEST(MixListModel, EveryEditIsAnnouncedToViewsAndOnceToWholeListWatchers)
{
    struct Case {
        const char* what;
        std::function<void(MixListModel&, MixItemStore&)> edit;
        std::string after;
    };
    const Case cases[] = {
        {"append",
         [](MixListModel& m, MixItemStore&) {
             MixItemStore added;
             (void)added.append("/nowhere/f.wav", 10);
             (void)added.append("/nowhere/g.wav", 10);
             m.append(added);
         },
         "abcdefg"},
        {"set properties", [](MixListModel& m, MixItemStore&) { m.setProperties(2, startingAt(9)); }, "abcde"},
        {"remove scattered runs",
         [](MixListModel& m, MixItemStore&) {
             SelectionCursor rows = selecting({0, 2, 3, 9});  // a row past the end is not there
             EXPECT_EQ(m.removeSelected(rows), 3);
         },
         "be"},
        {"clear", [](MixListModel& m, MixItemStore&) { m.clear(); }, ""},
        {"replace", [](MixListModel& m, MixItemStore&) { m.replace([](MixItemStore& s) { s.removeAt(4); }); }, "abcd"},
        {"change rows",
         [](MixListModel& m, MixItemStore&) {
             m.changeRows([](MixItemStore& s) {
                 s.at(1).filePath = "/nowhere/z.wav";
                 return std::vector<int>{1};
             });
         },
         "azcde"},
        {"changed behind its back, then reloaded",
         [](MixListModel& m, MixItemStore& s) {
             s.removeAt(0);
             m.reload();
         },
         "bcde"},
        {"rows rewritten",
         [](MixListModel& m, MixItemStore& s) {
             s.at(4).filePath = "/nowhere/y.wav";
             m.rowsRewritten({4, 7});
         },
         "abcdy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MixItemStore store;
        fill(store);
        MixListModel model(store);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
        QSignalSpy edited(&model, &MixListModel::listEdited);
        c.edit(model, store);
        EXPECT_EQ(edited.count(), 1);
        EXPECT_EQ(shown(model), c.after);
        EXPECT_EQ(model.rowCount(), store.audioCount());
    }
}

TEST(MixListModel, ACommandScopeMakesItsEditsOneChangeAndAnEmptyOneNone)
{
    MixItemStore store;
    fill(store);
    MixListModel model(store);
    QSignalSpy edited(&model, &MixListModel::listEdited);
    {
        const MixListModel::CommandScope command(model);
        model.setProperties(0, startingAt(7));
        {
            const MixListModel::CommandScope inner(model);
            model.setProperties(1, startingAt(8));
        }
        SelectionCursor last = selecting({4});
        model.removeSelected(last);
        EXPECT_EQ(edited.count(), 0);  // not before the command is over
    }
    EXPECT_EQ(edited.count(), 1);
    {
        const MixListModel::CommandScope nothing(model);
        EXPECT_FALSE(model.setProperties(9, startingAt(1)));
        SelectionCursor none = selecting({});
        EXPECT_EQ(model.removeSelected(none), 0);
    }
    EXPECT_EQ(edited.count(), 1);
    EXPECT_EQ(store.at(0).startTime, 7);
    EXPECT_EQ(store.at(1).startTime, 8);
}

TEST(MixListModel, AppendsNoMoreThanTheListHasRoomFor)
{
    MixItemStore store(6);
    fill(store);
    MixListModel model(store);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    MixItemStore added;
    (void)added.append("/nowhere/f.wav", 10);
    (void)added.append("/nowhere/g.wav", 10);
    EXPECT_EQ(model.append(added), 1);
    EXPECT_EQ(shown(model), "abcdef");
    QSignalSpy edited(&model, &MixListModel::listEdited);
    EXPECT_EQ(model.append(added), 0);
    EXPECT_EQ(edited.count(), 0);
}

// A row's file is looked at again whenever the row is announced: a relinked entry loses its mark,
// and a file that went away gets one.
TEST(MixListModel, AFileIsLookedAtAgainWhenItsRowChanges)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString there = dir.filePath(QStringLiteral("there.wav"));
    QFile file(there);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    MixItemStore store;
    ASSERT_EQ(store.append("/nowhere/gone.wav", 10), AppendResult::Appended);
    ASSERT_EQ(store.append(there.toStdString(), 10), AppendResult::Appended);
    MixListModel model(store);
    auto name = [&model](int row) { return model.index(row, 0).data().toString(); };
    EXPECT_EQ(name(0), QStringLiteral("gone.wav (missing)"));
    EXPECT_TRUE(model.index(0, 0).data(MixListModel::MissingRole).toBool());
    EXPECT_EQ(name(1), QStringLiteral("there.wav"));

    model.changeRows([&](MixItemStore& s) {
        s.at(0).filePath = there.toStdString();
        return std::vector<int>{0};
    });
    EXPECT_EQ(name(0), QStringLiteral("there.wav"));
    ASSERT_TRUE(QFile::remove(there));
    EntryProperties muted;
    muted.muted = true;
    model.setProperties(1, muted);
    EXPECT_EQ(name(1), QStringLiteral("there.wav (missing) (muted)"));
    EXPECT_EQ(name(0), QStringLiteral("there.wav"));  // not announced, not looked at
}
