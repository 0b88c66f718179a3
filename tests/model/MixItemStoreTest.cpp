// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "model/ListEditing.h"
#include "model/MixItem.h"
#include "model/MixListRows.h"

using namespace sonarel;

namespace {

std::vector<std::string> rowOf(const MixItem& item)
{
    std::vector<std::string> row;
    for (int column = 0; column < kMixListColumnCount; ++column)
        row.push_back(cellText(item, column));
    return row;
}

SelectionCursor cursorOver(const std::set<int>& rows)
{
    return SelectionCursor([rows](int after) {
        const auto next = rows.upper_bound(after);
        return next == rows.end() ? -1 : *next;
    });
}

}  // namespace

TEST(MixListRows, NewEntryShowsItsDefaultsAndName)
{
    MixItemStore store;
    ASSERT_EQ(store.append("/home/ann/music/song.mp3", 15'000'000), AppendResult::Appended);
    EXPECT_EQ(rowOf(store.at(0)), (std::vector<std::string>{"song.mp3", "1.500", "1.000", "0.000", "1.000"}));
}

TEST(MixListRows, TimesShowSecondsWithThreeDecimals)
{
    EXPECT_EQ(secondsText(-1), "-0.000");
    EXPECT_EQ(secondsText(0), "0.000");
    EXPECT_EQ(secondsText(15'000'000), "1.500");
    EXPECT_EQ(secondsText(1'800'000'000), "180.000");
    EXPECT_EQ(secondsText(12'345), "0.001");
}

TEST(MixListRows, DisplayNameIsTheLastComponent)
{
    EXPECT_EQ(displayName(""), "");
    EXPECT_EQ(displayName("/song.mp3"), "song.mp3");
    EXPECT_EQ(displayName("relative.wav"), "relative.wav");
    EXPECT_EQ(displayName("/music/"), "");
    EXPECT_EQ(displayName("/a/b.c/track.tar.flac"), "track.tar.flac");
}

TEST(MixListRows, ColumnsHaveTheirHeadersAndWidths)
{
    EXPECT_EQ(kMixListColumns[0].header, "File Name");
    EXPECT_EQ(kMixListColumns[0].width, 105);
    EXPECT_EQ(kMixListColumns[2].header, "volume");
    EXPECT_EQ(kMixListColumns[3].header, "Start time(s)");
    EXPECT_EQ(cellText(MixItem{}, 7), "");
}

TEST(MixItemStore, DeletingSelectedRowsKeepsTheOthersWhole)
{
    MixItemStore store;
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(store.append("/m/" + std::to_string(i) + ".wav", i * 10), AppendResult::Appended);
        store.at(i).startTime = 100 + i;
        store.at(i).volume = 0.5 + i;
        store.at(i).speed = 2.0 + i;
    }
    SelectionCursor selection = cursorOver({1, 3, 4});
    EXPECT_EQ(deleteSelected(store, selection), 3);

    ASSERT_EQ(store.audioCount(), 3);
    const int kept[] = {0, 2, 5};
    for (int i = 0; i < 3; ++i) {
        const MixItem& item = store.at(i);
        const int was = kept[i];
        EXPECT_EQ(item.filePath, "/m/" + std::to_string(was) + ".wav");
        EXPECT_EQ(item.duration, was * 10);
        EXPECT_EQ(item.startTime, 100 + was);
        EXPECT_DOUBLE_EQ(item.volume, 0.5 + was);
        EXPECT_DOUBLE_EQ(item.speed, 2.0 + was);
    }
}

TEST(MixItemStore, SelectionWalkEndsAndIgnoresRowsPastTheList)
{
    MixItemStore store;
    store.append("/a.wav", 1);
    store.append("/b.wav", 2);
    SelectionCursor none = cursorOver({});
    EXPECT_EQ(deleteSelected(store, none), 0);

    SelectionCursor beyond = cursorOver({1, 5, 9});
    EXPECT_EQ(deleteSelected(store, beyond), 1);
    ASSERT_EQ(store.audioCount(), 1);
    EXPECT_EQ(store.at(0).filePath, "/a.wav");

    // A selection source that never moves forward must not loop.
    SelectionCursor stuck([](int) { return 0; });
    EXPECT_EQ(stuck.next(), 0);
    EXPECT_EQ(stuck.next(), -1);

    store.clear();
    EXPECT_EQ(store.audioCount(), 0);
    EXPECT_THROW(store.at(0), std::out_of_range);
}

TEST(MixItemStore, RefusesBeyondCapacityAndTooLongPaths)
{
    MixItemStore store;
    for (int i = 0; i < kMixItemCapacity; ++i)
        ASSERT_EQ(store.append("/x/" + std::to_string(i) + ".wav", i), AppendResult::Appended);
    EXPECT_TRUE(store.isFull());
    EXPECT_EQ(store.append("/x/extra.wav", 1), AppendResult::ListFull);
    EXPECT_EQ(store.audioCount(), kMixItemCapacity);
    EXPECT_EQ(store.at(kMixItemCapacity - 1).filePath, "/x/999.wav");

    MixItemStore other;
    const std::string longest(kPathBufferSize - 1, 'a');
    const std::string tooLong(kPathBufferSize, 'a');
    EXPECT_EQ(other.append(tooLong, 1), AppendResult::PathTooLong);
    EXPECT_EQ(other.audioCount(), 0);
    ASSERT_EQ(other.append(longest, 1), AppendResult::Appended);
    EXPECT_EQ(other.at(0).filePath.size(), longest.size());

    EXPECT_EQ(other.append(std::string("/a\0b.wav", 8), 1), AppendResult::PathTooLong);
    EXPECT_EQ(other.audioCount(), 1);
}
