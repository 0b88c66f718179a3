// SPDX-License-Identifier: GPL-3.0-or-later
// Turns the mix list into an editing timeline: one audio group, and per entry a track, a source
// and a volume effect; a list longer than the window holds (from the command line) becomes one
// track with a table of its entries instead, which takes a few hundred bytes less per entry. Runs on the user-interface
// thread; every failure is shown through the desktop interface and, inside an entry, skips only that entry.
#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "model/MixItem.h"
#include "platform/media/services/MediaLibrary.h"
#include "render/EngineEntry.h"

namespace sonarel {

class Desktop;

class TimelineBuilder {
public:
    TimelineBuilder(media::MediaLibrary& library, Desktop& desktop);

    // The ramp on each edge cut into a file's sound (kDefaultCutRamp unless set).
    void setCutRamp(REFERENCE_TIME cutRamp) { cutRamp_ = cutRamp; }
    // The stem file of each entry of the list (-1: none), for a mix with stems.
    void setStems(std::vector<int> stemOfEntry) { stemOfEntry_ = std::move(stemOfEntry); }

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
    struct SourceCheck;
    bool checkEntry(int index, const MixItem& item, int outputRate, SourceCheck& check);
    // Says what the check found; true when the mix goes on.
    bool rateConversionFits(int index, const MixItem& item, int sourceRate, int outputRate);
    bool mixAfterCheck(const SourceCheck& check, int entryCount);
    void buildGroup(const MixItemStore& store, const std::vector<bool>& usable, media::Timeline& timeline);
    void addTable(const MixItemStore& store, const std::vector<bool>& usable, media::Timeline& timeline,
                  media::TimelineNode& group);
    void addEntry(int index, const MixItem& item, const DuckSettings& ducking, media::Timeline& timeline,
                  media::TimelineNode& group);
    void addVolumeEffect(media::Timeline& timeline, media::TimelineNode& track, const media::core::SourceEntry& entry,
                         const QString& name);
    // A failed step of entry `name` (of the whole group when empty).
    void failedStep(const char* stepText, const QString& name);
    media::MediaLibrary& library_;
    Desktop& desktop_;
    int stemOf(int index) const;
    REFERENCE_TIME cutRamp_ = kDefaultCutRamp;
    std::vector<int> stemOfEntry_;
};

}  // namespace sonarel
