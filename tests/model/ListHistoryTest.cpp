// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "model/ListHistory.h"

using namespace sonarel;

namespace {

// The list as "path@start" words, enough to tell every state of these tests apart.
std::string describe(const MixItemStore& store)
{
    std::string text;
    for (int i = 0; i < store.audioCount(); ++i)
        text += store.at(i).filePath + "@" + std::to_string(store.at(i).startTime) + (store.at(i).duck ? "d " : " ");
    if (!store.tags().empty())
        text += "tags " + store.tags().value(media::core::TagField::Title) + " " + store.tags().coverPath;
    return store.ducking() == DuckSettings{} ? text : text + "ducking " + std::to_string(store.ducking().depthDb);
}

}  // namespace

TEST(ListHistory, UndoAndRedoWalkBackAndForthThroughEveryKindOfChange)
{
    MixItemStore store;
    ListHistory history(store);
    EXPECT_FALSE(history.noteChange(store));  // nothing changed, nothing recorded

    struct Step {
        std::function<void(MixItemStore&)> change;
        const char* label;
    };
    const Step steps[] = {
        {[](MixItemStore& s) {
             (void)s.append("/a.wav", 10), (void)s.append("/b.wav", 20), (void)s.append("/c.wav", 30);
         },
         "Add"},
        {[](MixItemStore& s) { s.at(1).startTime = 15'000'000; }, "Move"},
        {[](MixItemStore& s) { s.at(2).volume = 0.5; }, "Edit"},
        {[](MixItemStore& s) { s.at(1).startTime = 16'000'000, s.at(1).inPoint = 1'000'000; }, "Trim"},
        {[](MixItemStore& s) { s.at(2).outPoint = 5; }, "Trim"},
        {[](MixItemStore& s) { s.at(2).fadeIn = 5, s.at(1).fadeOut = 2; }, "Fade"},
        {[](MixItemStore& s) { s.at(2).fadeIn = 0, s.at(2).muted = true; }, "Edit"},
        {[](MixItemStore& s) { s.at(0).duck = true; }, "Edit"},
        {[](MixItemStore& s) {
             s.setDucking({-18.0, 0.3, 0.5});
         },
         "Ducking"},
        {[](MixItemStore& s) {
             ListTags tags;
             tags.value(media::core::TagField::Title) = "Night";
             tags.coverPath = "/art/front.png";
             s.setTags(tags);
         },
         "Tags"},
        {[](MixItemStore& s) { s.at(0).duration = 11; }, "Edit"},
        {[](MixItemStore& s) { s.removeAt(0); }, "Delete"},
        {[](MixItemStore& s) { s.at(0).filePath = "/moved/b.wav"; }, "Relink"},
        {[](MixItemStore& s) { s.clear(); }, "Delete All"},
    };
    std::vector<std::string> states{describe(store)};
    for (const Step& step : steps) {
        step.change(store);
        ASSERT_TRUE(history.noteChange(store));
        EXPECT_EQ(history.undoLabel(), QString::fromLatin1(step.label));
        states.push_back(describe(store));
    }
    for (std::size_t i = states.size() - 1; i > 0; --i) {
        ASSERT_TRUE(history.undo(store));
        EXPECT_EQ(describe(store), states[i - 1]);
    }
    EXPECT_FALSE(history.undo(store));
    EXPECT_EQ(history.redoLabel(), QStringLiteral("Add"));
    for (std::size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(history.redo(store));
        EXPECT_EQ(describe(store), states[i]);
    }
    EXPECT_FALSE(history.redo(store));

    // A new change after an undo drops what could have been redone; durations come back too.
    ASSERT_TRUE(history.undo(store));
    EXPECT_EQ(store.at(0).duration, 20);
    EXPECT_EQ(store.at(1).volume, 0.5);
    (void)store.append("/d.wav", 40);
    ASSERT_TRUE(history.noteChange(store));
    EXPECT_FALSE(history.canRedo());
}

TEST(ListHistory, TheUnsavedMarkFollowsTheSavedStateAndTheOpenedFile)
{
    MixItemStore store;
    ListHistory history(store);
    EXPECT_FALSE(history.isModified());
    (void)store.append("/a.wav", 10);
    history.noteChange(store);
    EXPECT_TRUE(history.isModified());
    history.markSaved(QStringLiteral("/lists/one.csv"));
    EXPECT_FALSE(history.isModified());
    store.at(0).speed = 2;
    history.noteChange(store);
    EXPECT_TRUE(history.isModified());
    history.undo(store);
    EXPECT_FALSE(history.isModified());  // back to what was saved
    EXPECT_EQ(history.file(), QStringLiteral("/lists/one.csv"));

    // Opening replaces list and file; undoing the open brings both back, with the old mark.
    store.at(0).volume = 0.25;
    history.noteChange(store);
    store.clear();
    (void)store.append("/b.wav", 20);
    history.noteOpened(store, QStringLiteral("/lists/two.csv"));
    EXPECT_FALSE(history.isModified());
    EXPECT_EQ(history.undoLabel(), QStringLiteral("Open"));
    history.undo(store);
    EXPECT_EQ(history.file(), QStringLiteral("/lists/one.csv"));
    EXPECT_TRUE(history.isModified());
    EXPECT_EQ(store.at(0).volume, 0.25);
    history.redo(store);
    EXPECT_EQ(history.file(), QStringLiteral("/lists/two.csv"));
    EXPECT_FALSE(history.isModified());
    EXPECT_EQ(describe(store), "/b.wav@0 ");

    // Only the newest steps are kept.
    for (int i = 0; i < static_cast<int>(ListHistory::kMaxSteps) + 20; ++i) {
        store.at(0).startTime = i + 1;
        history.noteChange(store);
    }
    int undone = 0;
    while (history.undo(store))
        ++undone;
    EXPECT_EQ(undone, static_cast<int>(ListHistory::kMaxSteps));
}
