// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "model/SequencePlacing.h"
#include "render/EngineEntry.h"

using namespace sonarel;

namespace {

constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;

void add(MixItemStore& store, REFERENCE_TIME duration, double speed, REFERENCE_TIME in = 0,
         REFERENCE_TIME out = kToSourceEnd, REFERENCE_TIME start = 0)
{
    MixItem item;
    item.filePath = "/m/" + std::to_string(store.audioCount()) + ".wav";
    item.duration = duration;
    item.speed = speed;
    item.inPoint = in;
    item.outPoint = out;
    item.startTime = start;
    ASSERT_EQ(store.append(item), AppendResult::Appended);
}

}  // namespace

// Each entry starts where the one before it ends on the output (trimmed length over speed, as the
// engine places it) plus the gap; entries of unknown length are left and skipped.
TEST(SequencePlacing, EachStartsWhereThePreviousEndsOnTheOutput)
{
    MixItemStore store;
    add(store, 2 * kSecond, 1.0, 0, kToSourceEnd, 15 * kSecond / 10);  // 1.5 .. 3.5
    add(store, 4 * kSecond, 2.0, kSecond / 2, 3 * kSecond / 2);        // 1 s played at 2x: 0.5 s
    add(store, 0, 1.0, 0, kToSourceEnd, 7 * kSecond);                  // length unknown
    add(store, 1 * kSecond, 3.0);                                      // 1/3 s, truncated to 100 ns
    add(store, 3 * kSecond, 0.75, 0, 5 * kSecond);                     // out past the end: 3 s -> 4 s
    add(store, 9 * kSecond, 1.0, 0, kToSourceEnd, 2 * kSecond);        // not selected
    const SequencePlacing placed = placeOneAfterAnother(store, {0, 1, 2, 3, 4}, kSecond / 4);
    EXPECT_TRUE(placed.refusal.isEmpty());
    EXPECT_EQ(placed.moved, (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(placed.unknown, (std::vector<int>{2}));
    EXPECT_EQ(store.at(0).startTime, 15'000'000);
    EXPECT_EQ(store.at(1).startTime, 37'500'000);  // 3.5 + 0.25
    EXPECT_EQ(store.at(2).startTime, 70'000'000);  // left where it was
    EXPECT_EQ(store.at(3).startTime, 45'000'000);  // 3.75 + 0.5 + 0.25
    EXPECT_EQ(store.at(4).startTime, 50'833'333);  // 4.5 + 0.3333333 + 0.25
    EXPECT_EQ(store.at(5).startTime, 20'000'000);
    // Exactly where the engine ends each one.
    EXPECT_EQ(store.at(3).startTime, timelineTimesOf(store.at(1)).stop + kSecond / 4);
    EXPECT_EQ(store.at(4).startTime, timelineTimesOf(store.at(3)).stop + kSecond / 4);
    EXPECT_EQ(timelineTimesOf(store.at(4)).stop, 90'833'333);
}

// A muted entry is not heard: the one after it follows the last one heard, with no silence where
// the muted take would play, and the muted one stays where it was (first or not).
TEST(SequencePlacing, MutedEntriesAreSkipped)
{
    MixItemStore store;
    add(store, 62 * kSecond / 10, 1.0, 0, kToSourceEnd, 30 * kSecond);  // muted, first
    add(store, 2 * kSecond, 1.0, 0, kToSourceEnd, kSecond);             // 1 .. 3
    add(store, 62 * kSecond / 10, 1.0, 0, kToSourceEnd, 40 * kSecond);  // muted alternative take
    add(store, 1 * kSecond, 1.0);
    store.at(0).muted = true;
    store.at(2).muted = true;
    const SequencePlacing placed = placeOneAfterAnother(store, {0, 1, 2, 3}, 0);
    EXPECT_TRUE(placed.refusal.isEmpty());
    EXPECT_TRUE(placed.unknown.empty());
    EXPECT_EQ(placed.moved, (std::vector<int>{3}));
    EXPECT_EQ(store.at(0).startTime, 30 * kSecond);
    EXPECT_EQ(store.at(1).startTime, kSecond);
    EXPECT_EQ(store.at(2).startTime, 40 * kSecond);
    EXPECT_EQ(store.at(3).startTime, 3 * kSecond);
}

TEST(SequencePlacing, AGapThatWouldPlaceBeforeTheStartOrTooLateChangesNothing)
{
    MixItemStore store;
    add(store, 2 * kSecond, 1.0);
    add(store, 2 * kSecond, 1.0, 0, kToSourceEnd, 9 * kSecond);
    add(store, 2 * kSecond, 1.0, 0, kToSourceEnd, 9 * kSecond);
    // A negative gap overlaps them, as far as the start of the mix.
    SequencePlacing placed = placeOneAfterAnother(store, {0, 1, 2}, -kSecond);
    EXPECT_TRUE(placed.refusal.isEmpty());
    EXPECT_EQ(store.at(1).startTime, kSecond);
    EXPECT_EQ(store.at(2).startTime, 2 * kSecond);
    placed = placeOneAfterAnother(store, {0, 1, 2}, -3 * kSecond);
    EXPECT_EQ(placed.refusal, QStringLiteral("With this gap, /m/1.wav would start before the start of the mix."));
    EXPECT_TRUE(placed.moved.empty());
    EXPECT_EQ(store.at(1).startTime, kSecond);
    placed = placeOneAfterAnother(store, {0, 2}, std::numeric_limits<REFERENCE_TIME>::max());
    EXPECT_EQ(placed.refusal, QStringLiteral("With this gap, /m/2.wav would start too late to be mixed."));
    EXPECT_EQ(store.at(2).startTime, 2 * kSecond);
}

// A crossfade starts each entry that long before the one before it ends and gives the pair
// matching fades on the chosen curve; the first keeps its fade in and the last its fade out.
TEST(SequencePlacing, ACrossfadeOverlapsEachPairWithMatchingFades)
{
    MixItemStore store;
    add(store, 2 * kSecond, 1.0, 0, kToSourceEnd, kSecond);  // 1 .. 3
    add(store, 4 * kSecond, 2.0);                            // 2 s
    add(store, 3 * kSecond, 1.0);
    store.at(0).fadeIn = kSecond / 10;
    store.at(2).fadeOut = kSecond / 5;
    const SequencePlacing placed = placeOneAfterAnother(store, {0, 1, 2},
                                                        SequenceJoin{0, kSecond / 2, FadeCurve::EqualPower});
    EXPECT_TRUE(placed.refusal.isEmpty());
    EXPECT_EQ(placed.moved, (std::vector<int>{0, 1, 2}));
    struct Expected {
        REFERENCE_TIME start, fadeIn, fadeOut;
    };
    const Expected expected[] = {{kSecond, kSecond / 10, kSecond / 2},
                                 {5 * kSecond / 2, kSecond / 2, kSecond / 2},
                                 {4 * kSecond, kSecond / 2, kSecond / 5}};
    for (int i = 0; i < 3; ++i) {
        const MixItem& item = store.at(i);
        EXPECT_EQ(item.startTime, expected[i].start) << i;
        EXPECT_EQ(item.fadeIn, expected[i].fadeIn) << i;
        EXPECT_EQ(item.fadeOut, expected[i].fadeOut) << i;
        EXPECT_EQ(item.fadeCurve, FadeCurve::EqualPower) << i;
    }
    // The mix lasts the sum of the lengths less one crossfade per pair.
    EXPECT_EQ(outputEnd(store.at(2)) - store.at(0).startTime, (2 + 2 + 3) * kSecond - 2 * kSecond / 2);

    // Longer than an entry it joins: nothing changes.
    const SequencePlacing refused = placeOneAfterAnother(store, {0, 1, 2}, SequenceJoin{0, 5 * kSecond / 2});
    EXPECT_EQ(refused.refusal, QStringLiteral("The crossfade is longer than /m/0.wav lasts."));
    EXPECT_TRUE(refused.moved.empty());
    EXPECT_EQ(store.at(1).startTime, 5 * kSecond / 2);
}
