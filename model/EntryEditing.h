// SPDX-License-Identifier: GPL-3.0-or-later
// Changing one entry of the mix list: every edit of an entry's properties goes through
// setEntryProperties, so there is one place that changes an entry (and one to record).
#pragma once

#include "model/MixItem.h"

namespace sonarel {

// Changes entry `index` (0 .. audioCount() - 1; anything else changes nothing and gives false).
bool setEntryProperties(MixItemStore& store, int index, const EntryProperties& properties);

}  // namespace sonarel
