// Changing one entry of the mix list: every edit of an entry's start time, volume and speed goes
// through setEntryProperties, so there is one place that changes an entry (and one to record).
#pragma once

#include "model/MixItem.h"

namespace sonarel {

struct EntryProperties {
    REFERENCE_TIME startTime = 0;
    double volume = 1.0;
    double speed = 1.0;

    friend bool operator==(const EntryProperties&, const EntryProperties&) = default;
};

EntryProperties propertiesOf(const MixItem& item);

// Changes entry `index` (0 .. audioCount() - 1; anything else changes nothing and gives false).
bool setEntryProperties(MixItemStore& store, int index, const EntryProperties& properties);

}  // namespace sonarel
