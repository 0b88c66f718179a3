// Turns the mix list into an editing timeline: one audio group, and per entry a track, a source
// and a volume effect. Runs on the user-interface thread; every failure is shown through the
// desktop interface and, inside an entry, skips only that entry.
#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "model/MixItem.h"
#include "platform/media/services/MediaLibrary.h"

namespace sonarel {

class Desktop;

struct TimelineTimes {
    REFERENCE_TIME start = 0;  // on the output time line
    REFERENCE_TIME stop = 0;
    REFERENCE_TIME mediaStart = 0;
    REFERENCE_TIME mediaStop = 0;
};

// start .. start + duration / speed (worked out in floating point, truncated toward zero);
// the media plays from 0 to its duration.
TimelineTimes timelineTimesOf(const MixItem& item);

// A speed that can be divided by: finite and above zero.
bool speedIsUsable(double speed);

// Whether the engine can place these times: nothing may reach past media::kLongestTime.
bool fitsOnTimeline(const TimelineTimes& times);

class TimelineBuilder {
public:
    TimelineBuilder(media::MediaLibrary& library, Desktop& desktop);

    // Decides which entries can be mixed at `outputRate`: a speed that cannot be divided by is
    // reported and its entry left out; files that cannot be read, decoded or converted are named
    // with the reason in one message and the person chooses to mix without them or to cancel
    // (false). False, with a message, when an entry would end past the longest mix or when no
    // entry would sound at all. Nothing is changed on disk.
    bool checkSources(const MixItemStore& store, std::vector<bool>& usable, int outputRate = 44100);

    // Builds a new timeline of the usable entries into `timeline`. Fails only when the timeline
    // object cannot be made.
    media::Status build(const MixItemStore& store, const std::vector<bool>& usable,
                        std::shared_ptr<media::Timeline>& timeline);

private:
    void buildGroup(const MixItemStore& store, const std::vector<bool>& usable, media::Timeline& timeline);
    void addEntry(const MixItem& item, media::Timeline& timeline, media::TimelineNode& group);
    void addVolumeEffect(media::Timeline& timeline, media::TimelineNode& track, const TimelineTimes& times,
                         double volume);
    media::MediaLibrary& library_;
    Desktop& desktop_;
};

}  // namespace sonarel
