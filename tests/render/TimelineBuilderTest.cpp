// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <limits>

#include "platform/media/FaultPoints.h"
#include "render/TimelineBuilder.h"
#include "support/RecordingDesktop.h"
#include "support/WavFile.h"

using namespace sonarel;
using sonarel::testing::RecordingDesktop;
namespace fault = sonarel::media::fault;

namespace {

constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;

MixItem itemWith(REFERENCE_TIME start, REFERENCE_TIME duration, double speed)
{
    MixItem item;
    item.startTime = start;
    item.duration = duration;
    item.speed = speed;
    return item;
}

class TimelineBuilderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_EQ(library.initialize(), media::kOk);
        for (int i = 0; i < 3; ++i) {
            const std::string path = dir.filePath(QStringLiteral("tone%1.wav").arg(i)).toStdString();
            sonarel::testing::writeWav16(path, 2, 44100, sonarel::testing::constant16(2, 44100, 0.1, 1000));
            ASSERT_EQ(store.append(path, kSecond / 10), AppendResult::Appended);
            store.at(i).volume = 0.25 * (i + 1);
        }
    }

    std::shared_ptr<media::Timeline> build()
    {
        TimelineBuilder builder(library, desktop);
        std::vector<bool> usable;
        EXPECT_TRUE(builder.checkSources(store, usable));
        std::shared_ptr<media::Timeline> timeline;
        EXPECT_EQ(builder.build(store, usable, timeline), media::kOk);
        return timeline;
    }

    static std::shared_ptr<media::TimelineNode> groupOf(const media::Timeline& timeline)
    {
        std::shared_ptr<media::TimelineNode> group;
        int groups = 0;
        EXPECT_EQ(timeline.getGroupCount(groups), media::kOk);
        if (groups > 0) {
            EXPECT_EQ(timeline.getGroup(0, group), media::kOk);
        }
        return group;
    }

    QTemporaryDir dir;
    media::MediaLibrary library;
    RecordingDesktop desktop;
    MixItemStore store;
};

}  // namespace

TEST(TimelineTimes, StopIsStartPlusDurationOverSpeedTruncated)
{
    TimelineTimes times = timelineTimesOf(itemWith(2 * kSecond, 10 * kSecond, 2.0));
    EXPECT_EQ(times.start, 2 * kSecond);
    EXPECT_EQ(times.stop, 7 * kSecond);
    EXPECT_EQ(times.mediaStart, 0);
    EXPECT_EQ(times.mediaStop, 10 * kSecond);
    EXPECT_EQ(timelineTimesOf(itemWith(0, 10 * kSecond, 0.5)).stop, 20 * kSecond);
    EXPECT_EQ(timelineTimesOf(itemWith(0, kSecond, 3.0)).stop, 3'333'333);
    EXPECT_EQ(timelineTimesOf(itemWith(0, -1, 1.0)).stop, -1);
    EXPECT_EQ(timelineTimesOf(itemWith(0, 5, 1e-300)).stop, static_cast<REFERENCE_TIME>(9.2e18));

    EXPECT_TRUE(speedIsUsable(0.001));
    EXPECT_FALSE(speedIsUsable(0.0));
    EXPECT_FALSE(speedIsUsable(-1.0));
    EXPECT_FALSE(speedIsUsable(std::nan("")));
    EXPECT_FALSE(speedIsUsable(std::numeric_limits<double>::infinity()));
}

TEST_F(TimelineBuilderTest, BuildsOneTrackSourceAndVolumePerEntry)
{
    store.at(1).startTime = 2 * kSecond;
    store.at(1).speed = 2.0;
    store.at(2).volume = 0.0;
    const auto timeline = build();
    ASSERT_TRUE(timeline);
    EXPECT_TRUE(desktop.messages.empty());
    const auto group = groupOf(*timeline);
    ASSERT_TRUE(group);
    EXPECT_EQ(group->mediaType().majorType, media::MajorType::Audio);
    ASSERT_EQ(group->tracks().size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const auto& track = group->tracks()[static_cast<std::size_t>(i)];
        ASSERT_EQ(track->sources().size(), 1u);
        const auto& source = track->sources()[0];
        EXPECT_EQ(source->mediaName(), store.at(i).filePathText().toStdU16String());
        EXPECT_EQ(source->mediaStop(), kSecond / 10);
        ASSERT_EQ(track->effects().size(), 1u);
        const auto& effect = track->effects()[0];
        EXPECT_EQ(effect->subObject(), media::EffectKind::AudioMixer);
        EXPECT_EQ(effect->start(), source->start());
        EXPECT_EQ(effect->stop(), source->stop());
        ASSERT_TRUE(effect->propertySetter());
        EXPECT_DOUBLE_EQ(effect->propertySetter()->valueOf("Vol", -1), store.at(i).volume);
    }
    EXPECT_EQ(group->tracks()[1]->sources()[0]->start(), 2 * kSecond);
    EXPECT_EQ(group->tracks()[1]->sources()[0]->stop(), 2 * kSecond + kSecond / 20);
}

TEST_F(TimelineBuilderTest, TheCutRampGoesToEachCutEdge)
{
    store.at(0).inPoint = kSecond / 50;   // cut at the start only
    store.at(1).outPoint = kSecond / 20;  // at the end only
    store.at(2).inPoint = kSecond / 50;   // at both, with a fade over the start
    store.at(2).outPoint = kSecond / 20;
    store.at(2).fadeIn = kSecond / 100;
    for (const REFERENCE_TIME ramp : {REFERENCE_TIME{0}, kDefaultCutRamp, REFERENCE_TIME{100'000}}) {
        TimelineBuilder builder(library, desktop);
        builder.setCutRamp(ramp);
        std::vector<bool> usable;
        ASSERT_TRUE(builder.checkSources(store, usable));
        std::shared_ptr<media::Timeline> timeline;
        ASSERT_EQ(builder.build(store, usable, timeline), media::kOk);
        const auto group = groupOf(*timeline);
        ASSERT_TRUE(group);
        ASSERT_EQ(group->tracks().size(), 3u);
        const auto shapingOf = [&](std::size_t i) { return group->tracks()[i]->sources()[0]->shaping(); };
        EXPECT_EQ(shapingOf(0).cutRampIn, ramp);
        EXPECT_EQ(shapingOf(0).cutRampOut, 0);
        EXPECT_EQ(shapingOf(1).cutRampIn, 0);
        EXPECT_EQ(shapingOf(1).cutRampOut, ramp);
        EXPECT_EQ(shapingOf(2).cutRampIn, 0);
        EXPECT_EQ(shapingOf(2).cutRampOut, ramp);
        EXPECT_EQ(shapingOf(2).fadeIn, kSecond / 100);
    }
}

TEST_F(TimelineBuilderTest, AFailingEntryIsSkippedAndTheOthersAreBuilt)
{
    library.faults().fail(fault::kCreateSourceNode, media::kErrFail, /*skip=*/1);
    const auto timeline = build();
    ASSERT_EQ(desktop.texts(), QStringList{QStringLiteral("Could not create the pSource3Obj")});
    EXPECT_EQ(desktop.messages[0].caption, applicationName());
    const auto group = groupOf(*timeline);
    ASSERT_EQ(group->tracks().size(), 3u);
    EXPECT_EQ(group->tracks()[0]->sources().size(), 1u);
    EXPECT_TRUE(group->tracks()[1]->sources().empty());  // the empty track stays and is silent
    EXPECT_EQ(group->tracks()[2]->sources().size(), 1u);
}

TEST_F(TimelineBuilderTest, EveryFailureShowsItsOwnMessage)
{
    struct Case {
        std::string_view point;
        const char* message;
        int tracksLeft;  // tracks in the group afterwards; -1: no group
        bool hasSource;  // the entries keep their source
        bool hasEffect;
    };
    const Case cases[] = {
        {fault::kCreateGroupNode, "Could not create pAudioGroupObj", -1, false, false},
        {fault::kSetMediaType, "Could not set AudioGroupType", -1, false, false},
        {fault::kAddGroup, "Could not add audio group", -1, false, false},
        {fault::kCreateTrackNode, "Could not create pTrack3Obj", 0, false, false},
        {fault::kVTrackInsBefore, "Could not insert pTrack3Obj", 0, false, false},
        {fault::kSetMediaTimes, "Could not set audio start and eng time!", 1, false, false},
        {fault::kSetMediaName, "Could not configure pSource3Src", 1, false, false},
        {fault::kSrcAdd, "Could not add pSource3Obj to track", 1, false, false},
        {fault::kCreateEffectNode, "Could not CreateEmptyNode TIMELINE_MAJOR_TYPE_EFFECT", 1, true, false},
        {fault::kSetSubObject, "Could not pTrack3FxObj->SetSubObjectGUID of effect", 1, true, false},
        {fault::kEffectSetStartStop, "Could not pTrack3FxObj->SetStartStop(TLTranStart, TLTranStop);", 1, true, false},
        {fault::kQueryEffectable, "Could not get *pTransable", 1, true, false},
        {fault::kEffectInsBefore, "Could not pTrack3Fable->EffectInsBefore( pTrack3FxObj, -1 )", 1, true, false},
        {fault::kCreatePropertySetter, "Could not SetPropertySetter(pVolSetter)", 1, true, true},
        {fault::kAddProp, "Could not SetPropertySetter(pVolSetter)", 1, true, true},
        {fault::kSetPropertySetter, "Could not SetPropertySetter(pVolSetter)", 1, true, true},
    };
    while (store.audioCount() > 1)
        store.removeAt(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.point));
        desktop.messages.clear();
        library.faults().clear();
        library.faults().fail(c.point);
        const auto timeline = build();
        ASSERT_TRUE(timeline);
        ASSERT_EQ(desktop.texts(), QStringList{QString::fromUtf8(c.message)});
        EXPECT_EQ(desktop.messages[0].caption, applicationName());
        const auto group = groupOf(*timeline);
        if (c.tracksLeft < 0) {
            EXPECT_FALSE(group);
            continue;
        }
        ASSERT_TRUE(group);
        ASSERT_EQ(static_cast<int>(group->tracks().size()), c.tracksLeft);
        if (c.tracksLeft == 1) {
            EXPECT_EQ(!group->tracks()[0]->sources().empty(), c.hasSource);
            EXPECT_EQ(!group->tracks()[0]->effects().empty(), c.hasEffect);
        }
    }

    desktop.messages.clear();
    library.faults().clear();
    library.faults().fail(fault::kCreateTimeline);
    TimelineBuilder builder(library, desktop);
    std::shared_ptr<media::Timeline> timeline;
    EXPECT_TRUE(media::failed(builder.build(store, {true}, timeline)));
    EXPECT_FALSE(timeline);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, QStringLiteral("Could not create timeline"));
    EXPECT_EQ(desktop.messages[0].caption, QStringLiteral("Error"));
}

// Past the window's capacity a list becomes one track holding a table: its entries in order, muted
// ones left out, each file's name made once; a failed step is said once for the whole list.
TEST_F(TimelineBuilderTest, ALongListIsOneTrackWithATableThatSharesEachFilesName)
{
    MixItemStore longList(kUnboundedCapacity);
    for (int i = 0; i <= kMixItemCapacity; ++i) {
        MixItem item = store.at(i % 3);
        item.startTime = i * kSecond / 10;
        item.muted = i % 100 == 7;
        ASSERT_EQ(longList.append(item), AppendResult::Appended);
    }
    std::swap(store, longList);
    const auto timeline = build();
    ASSERT_TRUE(timeline);
    EXPECT_TRUE(desktop.messages.empty());
    const auto group = groupOf(*timeline);
    ASSERT_TRUE(group);
    ASSERT_EQ(group->tracks().size(), 1u);
    const auto& track = group->tracks()[0];
    EXPECT_TRUE(track->sources().empty());
    EXPECT_TRUE(track->effects().empty());
    ASSERT_TRUE(track->sourceTable());
    const auto& table = *track->sourceTable();
    ASSERT_EQ(table.size(), static_cast<std::size_t>(kMixItemCapacity + 1 - 10));
    std::size_t row = 0;
    for (int i = 0; i <= kMixItemCapacity; ++i) {
        if (store.at(i).muted)
            continue;
        const media::core::SourceEntry& entry = table[row++];
        EXPECT_EQ(entry.fileName(), store.at(i).filePathText().toStdU16String());
        EXPECT_EQ(entry.name, table[static_cast<std::size_t>(i % 3)].name);  // one name per file
        EXPECT_EQ(entry.timelineStart, i * kSecond / 10);
        EXPECT_DOUBLE_EQ(entry.volume, 0.25 * (i % 3 + 1));
    }

    const std::pair<std::string_view, const char*> failures[] = {
        {fault::kCreateTrackNode, "Could not create pTrack3Obj"},
        {fault::kVTrackInsBefore, "Could not insert pTrack3Obj"},
        {fault::kSrcAddTable, "Could not add pSource3Obj to track"},
    };
    for (const auto& [point, message] : failures) {
        SCOPED_TRACE(std::string(point));
        desktop.messages.clear();
        library.faults().clear();
        library.faults().fail(point);
        const auto failed = build();
        ASSERT_TRUE(failed);
        ASSERT_EQ(desktop.texts(), QStringList{QString::fromUtf8(message)});
        const auto failedGroup = groupOf(*failed);
        ASSERT_TRUE(failedGroup);
        for (const auto& t : failedGroup->tracks())
            EXPECT_FALSE(t->sourceTable());
    }
}

TEST_F(TimelineBuilderTest, UnusableSpeedsAndUnreadableFilesAreLeftOut)
{
    store.at(0).speed = 0.0;
    store.at(1).speed = -2.0;
    TimelineBuilder builder(library, desktop);
    std::vector<bool> usable;
    EXPECT_TRUE(builder.checkSources(store, usable));
    EXPECT_EQ(usable, (std::vector<bool>{false, false, true}));
    ASSERT_EQ(desktop.messages.size(), 2u);
    EXPECT_TRUE(desktop.messages[0].text.contains(QStringLiteral("tone0.wav")));
    EXPECT_TRUE(desktop.messages[0].text.contains(QStringLiteral("above zero")));

    // A speed the engine cannot play exactly is refused before the mix, with or without keep pitch.
    for (const bool keepPitch : {true, false}) {
        store.at(2).speed = 300.0;
        store.at(2).keepPitch = keepPitch;
        desktop.messages.clear();
        EXPECT_FALSE(builder.checkSources(store, usable));
        ASSERT_GE(desktop.messages.size(), 3u);  // after the two speeds above
        EXPECT_TRUE(desktop.messages[2].text.contains(
            QStringLiteral("tone2.wav) is 300; it must lie between 1/256 (0.00390625) and 256")));
    }
    store.at(2).keepPitch = true;
    store.at(2).speed = 256.0;
    desktop.messages.clear();
    EXPECT_TRUE(builder.checkSources(store, usable));
    EXPECT_EQ(usable, (std::vector<bool>{false, false, true}));
    store.at(2).properties() = EntryProperties{};
    desktop.messages.clear();
    EXPECT_TRUE(builder.checkSources(store, usable));
    std::shared_ptr<media::Timeline> timeline;
    ASSERT_EQ(builder.build(store, usable, timeline), media::kOk);
    ASSERT_EQ(groupOf(*timeline)->tracks().size(), 1u);

    // A file that vanished after it was added is named; the person may mix without it or cancel.
    store.at(0).speed = store.at(1).speed = 1.0;
    QFile::remove(dir.filePath(QStringLiteral("tone1.wav")));
    desktop.messages.clear();
    desktop.answers = {false};
    EXPECT_FALSE(builder.checkSources(store, usable));
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_TRUE(desktop.messages[0].question);
    EXPECT_EQ(desktop.messages[0].caption, QStringLiteral("Warning"));
    EXPECT_TRUE(desktop.messages[0].text.contains(dir.filePath(QStringLiteral("tone1.wav"))));
    EXPECT_FALSE(desktop.messages[0].text.contains(QStringLiteral("tone0.wav")));

    desktop.answers = {true};
    EXPECT_TRUE(builder.checkSources(store, usable));
    EXPECT_EQ(usable, (std::vector<bool>{true, false, true}));

    // Nothing left to mix: said plainly, and no question.
    QFile::remove(dir.filePath(QStringLiteral("tone0.wav")));
    QFile::remove(dir.filePath(QStringLiteral("tone2.wav")));
    desktop.messages.clear();
    EXPECT_FALSE(builder.checkSources(store, usable));
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_FALSE(desktop.messages[0].question);
    EXPECT_TRUE(desktop.messages[0].text.startsWith(QStringLiteral("None of the files")));
}

TEST_F(TimelineBuilderTest, ASpeedBeyondWhatTheFilesRateAllowsIsRefusedWithTheSpeedsThatWork)
{
    // At 30 MHz, a file sped up 256 times would be converted to 8 kHz at a ratio near a million.
    const std::string path = dir.filePath(QStringLiteral("radio.wav")).toStdString();
    sonarel::testing::writeWav16(path, 1, 30'000'000, sonarel::testing::constant16(1, 30'000'000, 0.01, 1000));
    store.at(0).muted = store.at(1).muted = true;
    store.at(2).speed = 256.0;
    ASSERT_EQ(store.append(path, kSecond / 100), AppendResult::Appended);
    store.at(3).speed = 256.0;
    TimelineBuilder builder(library, desktop);
    std::vector<bool> usable;
    EXPECT_TRUE(builder.checkSources(store, usable, 8000));
    EXPECT_EQ(usable, (std::vector<bool>{false, false, true, false}));
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text,
              QStringLiteral("The speed of entry 4 (radio.wav) is 256, too far from 1 for its file's rate of "
                             "30000000 Hz and the output's 8000 Hz. With these rates the speed must lie between "
                             "0.00390625 and 69.9051 (or keep the pitch). This entry is left out of the mix."));

    // Within the range it names, or keeping the pitch (converted at speed 1), it is mixed.
    for (const auto& [speed, keepPitch] : {std::pair{69.9, false}, std::pair{256.0, true}}) {
        store.at(3).speed = speed;
        store.at(3).keepPitch = keepPitch;
        desktop.messages.clear();
        EXPECT_TRUE(builder.checkSources(store, usable, 8000));
        EXPECT_EQ(usable, (std::vector<bool>{false, false, true, true}));
        EXPECT_TRUE(desktop.messages.empty());
    }
}
