// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/TimelineBuilder.h"

#include "model/MixListRows.h"
#include "platform/Desktop.h"
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
                                         QString::fromStdString(displayName(item.filePath)));
}

double secondsOf(REFERENCE_TIME time)
{
    return static_cast<double>(time) / static_cast<double>(kReferenceUnitsPerSecond);
}

}  // namespace

TimelineBuilder::TimelineBuilder(media::MediaLibrary& library, Desktop& desktop) : library_(library), desktop_(desktop)
{
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
    if (item.muted) {  // not mixed, not checked, and not part of the mix's length
        ++check.muted;
        return false;
    }
    if (!speedIsUsable(item.speed)) {
        desktop_.showAppMessage(QStringLiteral("The speed of entry %1 is %2; it must be a number above zero. "
                                               "This entry is left out of the mix.")
                                    .arg(entryName(index, item), QString::number(item.speed)));
        return false;
    }
    // The stretcher keeps the pitch over all of this range.
    static_assert(1.0 / kHighestSpeed >= media::core::kMinStretchTimeRatio &&
                  1.0 / kLowestSpeed <= media::core::kMaxStretchTimeRatio);
    // Beyond this range the resampler (and the stretcher, keeping the pitch) would no longer play
    // the entry exactly; refused here rather than mixed wrong or failing part-way. Lists, the
    // command line and the dialog refuse such speeds already.
    if (!speedInRange(item.speed)) {
        desktop_.showAppMessage(QStringLiteral("The speed of entry %1 is %2; it must lie between %3. "
                                               "This entry is left out of the mix.")
                                    .arg(entryName(index, item), QString::number(item.speed),
                                         QString::fromLatin1(kSpeedRangeText)));
        return false;
    }
    const TimelineTimes times = timelineTimesOf(item);
    if (!fitsOnTimeline(times)) {
        check.tooLong << QStringLiteral("entry %1 would end at %2 s")
                             .arg(entryName(index, item), QString::number(secondsOf(times.stop), 'f', 3));
        return false;
    }
    const QString path = item.filePathText();
    std::string detail;
    if (const media::Status status = library_.checkSource(path.toStdU16String(), outputRate, detail);
        media::failed(status)) {
        check.unreadable << QStringLiteral("%1: %2%3")
                                .arg(path, QString::fromStdString(media::errorText(status)),
                                     QString::fromStdString(detail));
        return false;
    }
    if (times.stop > times.start)
        ++check.sounding;
    return true;
}

bool TimelineBuilder::mixAfterCheck(const SourceCheck& check, int entryCount)
{
    if (!check.tooLong.isEmpty()) {
        desktop_.showAppMessage(
            QStringLiteral("A mix can be at most %1 seconds long, and these entries would end later:\n%2\n\n"
                           "Please give them an earlier start time or a higher speed. Nothing was mixed.")
                .arg(QString::number(secondsOf(media::kLongestTime), 'f', 0), check.tooLong.join(QLatin1Char('\n'))));
        return false;
    }
    if (check.unreadable.size() == entryCount) {
        desktop_.showAppMessage(QStringLiteral("None of the files in the list can be read:\n%1")
                                    .arg(check.unreadable.join(QLatin1Char('\n'))));
        return false;
    }
    if (check.sounding == 0) {
        QString message = QStringLiteral(
            "Nothing in the list can be mixed: no entry has both a speed above zero "
            "and a file with sound.");
        if (!check.unreadable.isEmpty())
            message += QStringLiteral("\n\nThese files are missing or cannot be read:\n%1")
                           .arg(check.unreadable.join(QLatin1Char('\n')));
        desktop_.showAppMessage(message);
        return false;
    }
    if (check.unreadable.isEmpty())
        return true;
    return desktop_.askYesNo(QStringLiteral("These files are missing or cannot be read:\n%1\n\n"
                                            "Mix without them? They will be silent.")
                                 .arg(check.unreadable.join(QLatin1Char('\n'))),
                             text("Warning"), MessageIcon::Exclamation);
}

void TimelineBuilder::buildGroup(const MixItemStore& store, const std::vector<bool>& usable, media::Timeline& timeline)
{
    std::shared_ptr<media::TimelineNode> group;
    if (media::failed(timeline.createEmptyNode(media::NodeType::Group, group))) {
        desktop_.showAppMessage(text("Could not create pAudioGroupObj"));
        return;
    }
    media::MediaType audio;
    audio.majorType = media::MajorType::Audio;
    audio.fixedSizeSamples = true;
    audio.sampleSize = 1;
    if (media::failed(group->setMediaType(audio))) {
        desktop_.showAppMessage(text("Could not set AudioGroupType"));
        return;
    }
    if (media::failed(timeline.addGroup(group))) {
        desktop_.showAppMessage(text("Could not add audio group"));
        return;
    }
    for (int i = 0; i < store.audioCount(); ++i) {
        if (static_cast<std::size_t>(i) >= usable.size() || usable[static_cast<std::size_t>(i)])
            addEntry(store.at(i), timeline, *group);
    }
}

void TimelineBuilder::addEntry(const MixItem& item, media::Timeline& timeline, media::TimelineNode& group)
{
    std::shared_ptr<media::TimelineNode> track;
    if (media::failed(timeline.createEmptyNode(media::NodeType::Track, track))) {
        desktop_.showAppMessage(text("Could not create pTrack3Obj"));
        return;
    }
    if (media::failed(group.vtrackInsBefore(track, -1))) {
        desktop_.showAppMessage(text("Could not insert pTrack3Obj"));
        return;
    }
    std::shared_ptr<media::TimelineNode> source;
    if (media::failed(timeline.createEmptyNode(media::NodeType::Source, source))) {
        desktop_.showAppMessage(text("Could not create the pSource3Obj"));
        return;
    }
    const media::core::SourceEntry entry = sourceEntryOf(item, cutRamp_);
    // Not examined: a source node accepts any start and stop; the times were checked with the speed.
    static_cast<void>(source->setStartStop(entry.timelineStart, entry.timelineStop));
    static_cast<void>(source->setShaping(entry.shaping));  // a source node takes any shaping
    if (media::failed(source->setMediaTimes(entry.mediaStart, entry.mediaStop))) {
        desktop_.showAppMessage(text("Could not set audio start and eng time!"));
        return;
    }
    if (media::failed(source->setMediaName(entry.name))) {
        desktop_.showAppMessage(text("Could not configure pSource3Src"));
        return;
    }
    if (media::failed(track->srcAdd(source))) {
        desktop_.showAppMessage(text("Could not add pSource3Obj to track"));
        return;
    }
    addVolumeEffect(timeline, *track, entry);
}

void TimelineBuilder::addVolumeEffect(media::Timeline& timeline, media::TimelineNode& track,
                                      const media::core::SourceEntry& entry)
{
    std::shared_ptr<media::TimelineNode> effect;
    if (media::failed(timeline.createEmptyNode(media::NodeType::Effect, effect))) {
        desktop_.showAppMessage(text("Could not CreateEmptyNode TIMELINE_MAJOR_TYPE_EFFECT"));
        return;
    }
    if (media::failed(effect->setSubObject(media::EffectKind::AudioMixer))) {
        desktop_.showAppMessage(text("Could not pTrack3FxObj->SetSubObjectGUID of effect"));
        return;
    }
    if (media::failed(effect->setStartStop(entry.timelineStart, entry.timelineStop))) {
        desktop_.showAppMessage(text("Could not pTrack3FxObj->SetStartStop(TLTranStart, TLTranStop);"));
        return;
    }
    std::shared_ptr<media::TimelineNode> effectable;
    if (media::failed(track.queryEffectable(effectable))) {
        desktop_.showAppMessage(text("Could not get *pTransable"));
        return;
    }
    if (media::failed(effectable->effectInsBefore(effect, -1))) {
        desktop_.showAppMessage(text("Could not pTrack3Fable->EffectInsBefore( pTrack3FxObj, -1 )"));
        return;
    }
    std::shared_ptr<media::PropertySetter> setter;
    media::Property level;
    level.name = "Vol";
    level.dispatchId = 0;
    level.values.push_back({entry.volume, 0, media::kInterpolateJump});
    if (media::failed(library_.createPropertySetter(setter)) || media::failed(setter->addProp(level)) ||
        media::failed(effect->setPropertySetter(setter)))
        desktop_.showAppMessage(text("Could not SetPropertySetter(pVolSetter)"));
}

}  // namespace sonarel
