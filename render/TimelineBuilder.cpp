// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/TimelineBuilder.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "model/MixListRows.h"
#include "platform/Desktop.h"
#include "platform/MessageText.h"
#include "platform/media/core/SourceStream.h"
#include "platform/media/core/TimeStretcher.h"

namespace sonarel {

namespace {

QString text(const char* message)
{
    return QString::fromUtf8(message);
}

QString entryName(int index, const MixItem& item)
{
    return QStringLiteral("%1 (%2)").arg(QString::number(index + 1),
                                         nameInMessage(QString::fromStdString(displayName(item.filePath))));
}

}  // namespace

TimelineBuilder::TimelineBuilder(media::MediaLibrary& library, Desktop& desktop) : library_(library), desktop_(desktop)
{
}

void TimelineBuilder::failedStep(const char* stepText, const QString& name)
{
    StepFailure failure;
    failure.stepText = text(stepText);
    failure.cause = name.isEmpty()
                        ? QStringLiteral("The mix could not be set up: the media engine failed at an internal step.")
                        : QStringLiteral(
                              "Entry %1 could not be set up for the mix: the media engine failed at an "
                              "internal step.")
                              .arg(name);
    desktop_.showStepFailure(failure);
}

media::Status TimelineBuilder::build(const MixItemStore& store, const std::vector<bool>& usable,
                                     std::shared_ptr<media::Timeline>& timeline)
{
    timeline.reset();
    std::shared_ptr<media::Timeline> made;
    const media::Status status = library_.createTimeline(made);
    if (media::failed(status)) {
        desktop_.showMessage(text("Could not create timeline"), text("Error"), MessageIcon::Error);
        return status;
    }
    if (store.audioCount() > 0)
        buildGroup(store, usable, *made);
    std::vector<media::MissingSource> missing;
    // Not examined: the source check before the mix has already named what cannot be read.
    static_cast<void>(made->validateSourceNames(missing));
    timeline = std::move(made);
    return media::kOk;
}

// What the check before a mix found in the list.
struct TimelineBuilder::SourceCheck {
    QStringList unreadable;
    QStringList tooLong;
    int sounding = 0;  // entries that will be heard
    int muted = 0;     // entries left out because they are muted
};

bool TimelineBuilder::checkSources(const MixItemStore& store, std::vector<bool>& usable, int outputRate)
{
    usable.assign(static_cast<std::size_t>(store.audioCount()), true);
    SourceCheck check;
    for (int i = 0; i < store.audioCount(); ++i)
        usable[static_cast<std::size_t>(i)] = checkEntry(i, store.at(i), outputRate, check);
    if (store.audioCount() > 0 && check.muted == store.audioCount()) {
        desktop_.showAppMessage(QStringLiteral("Every entry in the list is muted, so there is nothing to mix."));
        return false;
    }
    return mixAfterCheck(check, store.audioCount() - check.muted);
}

bool TimelineBuilder::checkEntry(int index, const MixItem& item, int outputRate, SourceCheck& check)
{
    // The stretcher keeps the pitch over all of the speeds that are mixed.
    static_assert(1.0 / kHighestSpeed >= media::core::kMinStretchTimeRatio &&
                  1.0 / kLowestSpeed <= media::core::kMaxStretchTimeRatio);
    switch (entryMixing(item)) {
    case EntryMixing::Mixed: break;
    case EntryMixing::Muted:  // not mixed, not checked, and not part of the mix's length
        ++check.muted;
        return false;
    case EntryMixing::SpeedNotUsable:
        desktop_.showAppMessage(QStringLiteral("The speed of entry %1 is %2; it must be a number above zero. "
                                               "This entry is left out of the mix.")
                                    .arg(entryName(index, item), QString::number(item.speed)));
        return false;
    case EntryMixing::SpeedOutOfRange:
        // Beyond this range the resampler (and the stretcher, keeping the pitch) would no longer
        // play the entry exactly; refused here rather than mixed wrong or failing part-way. Lists,
        // the command line and the dialog refuse such speeds already.
        desktop_.showAppMessage(QStringLiteral("The speed of entry %1 is %2; it must lie between %3. "
                                               "This entry is left out of the mix.")
                                    .arg(entryName(index, item), QString::number(item.speed),
                                         QString::fromLatin1(kSpeedRangeText)));
        return false;
    case EntryMixing::EndsPastLongestMix:
        check.tooLong << QStringLiteral("entry %1 would end at %2 s")
                             .arg(entryName(index, item),
                                  QString::number(toSeconds(timelineTimesOf(item).stop), 'f', 3));
        return false;
    }
    const TimelineTimes times = timelineTimesOf(item);
    const QString path = item.filePathText();
    std::string detail;
    int sourceRate = 0;
    if (const media::Status status = library_.checkSource(path.toStdU16String(), outputRate, detail, &sourceRate);
        media::failed(status)) {
        check.unreadable << QStringLiteral("%1: %2%3")
                                .arg(nameInMessage(path), QString::fromStdString(media::errorText(status)),
                                     QString::fromStdString(detail));
        return false;
    }
    if (!rateConversionFits(index, item, sourceRate, outputRate))
        return false;
    if (times.stop > times.start)
        ++check.sounding;
    return true;
}

// Varispeed converts the file's rate times the speed to the output rate in one step, which has its
// limits (a file of a few hundred hertz slowed down far, one of megahertz sped up far). Keeping the
// pitch converts at speed 1, which the source check has tried already.
bool TimelineBuilder::rateConversionFits(int index, const MixItem& item, int sourceRate, int outputRate)
{
    using media::core::kLargestRateRatio;
    const double rate = sourceRate;
    if (sourceRate <= 0 || item.keepPitch || media::core::rateRatioFits(rate * item.speed / outputRate))
        return true;
    const double lowest = std::max(kLowestSpeed, outputRate / (rate * kLargestRateRatio));
    const double highest = std::min(kHighestSpeed, outputRate * kLargestRateRatio / rate);
    desktop_.showAppMessage(QStringLiteral("The speed of entry %1 is %2, too far from 1 for its file's rate of %3 Hz "
                                           "and the output's %4 Hz. With these rates the speed must lie between %5 "
                                           "and %6 (or keep the pitch). This entry is left out of the mix.")
                                .arg(entryName(index, item), QString::number(item.speed), QString::number(sourceRate),
                                     QString::number(outputRate), QString::number(lowest, 'g', 6),
                                     QString::number(highest, 'g', 6)));
    return false;
}

bool TimelineBuilder::mixAfterCheck(const SourceCheck& check, int entryCount)
{
    if (!check.tooLong.isEmpty()) {
        desktop_.showAppMessage(
            QStringLiteral("A mix can be at most %1 seconds long, and these entries would end later:\n%2\n\n"
                           "Please give them an earlier start time or a higher speed. Nothing was mixed.")
                .arg(QString::number(toSeconds(media::kLongestTime), 'f', 0), listInMessage(check.tooLong)));
        return false;
    }
    if (check.unreadable.size() == entryCount) {
        desktop_.showAppMessage(
            QStringLiteral("None of the files in the list can be read:\n%1").arg(listInMessage(check.unreadable)));
        return false;
    }
    if (check.sounding == 0) {
        QString message = QStringLiteral(
            "Nothing in the list can be mixed: no entry has both a speed above zero "
            "and a file with sound.");
        if (!check.unreadable.isEmpty())
            message += QStringLiteral("\n\nThese files are missing or cannot be read:\n%1")
                           .arg(listInMessage(check.unreadable));
        desktop_.showAppMessage(message);
        return false;
    }
    if (check.unreadable.isEmpty())
        return true;
    return desktop_.askYesNo(QStringLiteral("These files are missing or cannot be read:\n%1\n\n"
                                            "Mix without them? They will be silent.")
                                 .arg(listInMessage(check.unreadable)),
                             text("Warning"), MessageIcon::Exclamation);
}

void TimelineBuilder::buildGroup(const MixItemStore& store, const std::vector<bool>& usable, media::Timeline& timeline)
{
    std::shared_ptr<media::TimelineNode> group;
    if (media::failed(timeline.createEmptyNode(media::NodeType::Group, group))) {
        failedStep("Could not create pAudioGroupObj", {});
        return;
    }
    media::MediaType audio;
    audio.majorType = media::MajorType::Audio;
    audio.fixedSizeSamples = true;
    audio.sampleSize = 1;
    if (media::failed(group->setMediaType(audio))) {
        failedStep("Could not set AudioGroupType", {});
        return;
    }
    if (media::failed(timeline.addGroup(group))) {
        failedStep("Could not add audio group", {});
        return;
    }
    if (store.audioCount() > kMixItemCapacity) {
        addTable(store, usable, timeline, *group);
        return;
    }
    for (int i = 0; i < store.audioCount(); ++i) {
        if (static_cast<std::size_t>(i) >= usable.size() || usable[static_cast<std::size_t>(i)])
            addEntry(i, store.at(i), store.ducking(), timeline, *group);
    }
}

void TimelineBuilder::addTable(const MixItemStore& store, const std::vector<bool>& usable, media::Timeline& timeline,
                               media::TimelineNode& group)
{
    std::shared_ptr<media::TimelineNode> track;
    if (media::failed(timeline.createEmptyNode(media::NodeType::Track, track))) {
        failedStep("Could not create pTrack3Obj", {});
        return;
    }
    if (media::failed(group.vtrackInsBefore(track, -1))) {
        failedStep("Could not insert pTrack3Obj", {});
        return;
    }
    const auto isUsable = [&usable](int i) {
        return static_cast<std::size_t>(i) >= usable.size() || usable[static_cast<std::size_t>(i)];
    };
    std::size_t count = 0;
    for (int i = 0; i < store.audioCount(); ++i)
        count += isUsable(i) ? 1 : 0;
    auto table = std::make_shared<std::vector<media::core::SourceEntry>>();
    table->reserve(count);
    // Lists that place a few files many times hold each name once.
    std::unordered_map<std::string, media::core::SharedName> names;
    for (int i = 0; i < store.audioCount(); ++i) {
        if (!isUsable(i))
            continue;
        const MixItem& item = store.at(i);
        media::core::SharedName& name = names[item.filePath];
        table->push_back(sourceEntryOf(item, cutRamp_, name, store.ducking()));
        table->back().stem = stemOf(i);
        name = table->back().name;
    }
    if (media::failed(track->srcAddTable(std::move(table))))
        failedStep("Could not add pSource3Obj to track", {});
}

void TimelineBuilder::addEntry(int index, const MixItem& item, const DuckSettings& ducking, media::Timeline& timeline,
                               media::TimelineNode& group)
{
    const QString name = entryName(index, item);
    std::shared_ptr<media::TimelineNode> track;
    if (media::failed(timeline.createEmptyNode(media::NodeType::Track, track))) {
        failedStep("Could not create pTrack3Obj", name);
        return;
    }
    if (media::failed(group.vtrackInsBefore(track, -1))) {
        failedStep("Could not insert pTrack3Obj", name);
        return;
    }
    std::shared_ptr<media::TimelineNode> source;
    if (media::failed(timeline.createEmptyNode(media::NodeType::Source, source))) {
        failedStep("Could not create the pSource3Obj", name);
        return;
    }
    const media::core::SourceEntry entry = sourceEntryOf(item, cutRamp_, {}, ducking);
    // Not examined: a source node accepts any start and stop; the times were checked with the speed.
    static_cast<void>(source->setStartStop(entry.timelineStart, entry.timelineStop));
    static_cast<void>(source->setShaping(entry.shaping));  // a source node takes any shaping
    static_cast<void>(source->setStem(stemOf(index)));     // and any stem
    if (media::failed(source->setMediaTimes(entry.mediaStart, entry.mediaStop))) {
        failedStep("Could not set audio start and eng time!", name);
        return;
    }
    if (media::failed(source->setMediaName(entry.fileName()))) {
        failedStep("Could not configure pSource3Src", name);
        return;
    }
    if (media::failed(track->srcAdd(source))) {
        failedStep("Could not add pSource3Obj to track", name);
        return;
    }
    addVolumeEffect(timeline, *track, entry, name);
}

int TimelineBuilder::stemOf(int index) const
{
    return index >= 0 && static_cast<std::size_t>(index) < stemOfEntry_.size()
               ? stemOfEntry_[static_cast<std::size_t>(index)]
               : -1;
}

void TimelineBuilder::addVolumeEffect(media::Timeline& timeline, media::TimelineNode& track,
                                      const media::core::SourceEntry& entry, const QString& name)
{
    std::shared_ptr<media::TimelineNode> effect;
    if (media::failed(timeline.createEmptyNode(media::NodeType::Effect, effect))) {
        failedStep("Could not CreateEmptyNode TIMELINE_MAJOR_TYPE_EFFECT", name);
        return;
    }
    if (media::failed(effect->setSubObject(media::EffectKind::AudioMixer))) {
        failedStep("Could not pTrack3FxObj->SetSubObjectGUID of effect", name);
        return;
    }
    if (media::failed(effect->setStartStop(entry.timelineStart, entry.timelineStop))) {
        failedStep("Could not pTrack3FxObj->SetStartStop(TLTranStart, TLTranStop);", name);
        return;
    }
    std::shared_ptr<media::TimelineNode> effectable;
    if (media::failed(track.queryEffectable(effectable))) {
        failedStep("Could not get *pTransable", name);
        return;
    }
    if (media::failed(effectable->effectInsBefore(effect, -1))) {
        failedStep("Could not pTrack3Fable->EffectInsBefore( pTrack3FxObj, -1 )", name);
        return;
    }
    std::shared_ptr<media::PropertySetter> setter;
    media::Property level;
    level.name = "Vol";
    level.dispatchId = 0;
    level.values.push_back({entry.volume, 0, media::kInterpolateJump});
    if (media::failed(library_.createPropertySetter(setter)) || media::failed(setter->addProp(level)) ||
        media::failed(effect->setPropertySetter(setter)))
        failedStep("Could not SetPropertySetter(pVolSetter)", name);
}

}  // namespace sonarel
