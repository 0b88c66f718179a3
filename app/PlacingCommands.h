// SPDX-License-Identifier: GPL-3.0-or-later
// "Place One After Another..." (Ctrl+J): asks for the gap, then starts each selected entry where
// the one before it ends, as one command of the list (one undo step).
#pragma once

#include "model/ReferenceTime.h"

class QWidget;

namespace sonarel {

class Desktop;
class MixListModel;
class MixListView;

// Needs two or more selected entries ("Please select the entries to place one after another: two
// or more."). `gap` is offered and receives the gap chosen. Entries whose length is not known stay
// where they are and are named; a refusal (a start before 0 or too late) moves nothing.
void placeOneAfterAnotherCommand(MixListModel& list, const MixListView& view, Desktop& desktop, REFERENCE_TIME& gap,
                                 QWidget* parent);

}  // namespace sonarel
