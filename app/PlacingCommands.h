// SPDX-License-Identifier: GPL-3.0-or-later
// "Place One After Another..." (Ctrl+J): asks for the gap or the crossfade, then starts each
// selected entry where the one before it ends (or that crossfade before, with matching fades), as
// one command of the list (one undo step).
#pragma once

#include "model/SequencePlacing.h"

class QWidget;

namespace sonarel {

class Desktop;
class MixListModel;
class MixListView;

// Needs two or more selected entries ("Please select the entries to place one after another: two
// or more."). `join` (the gap, the crossfade and its curve) is offered and receives what was chosen.
// Entries whose length is not known stay where they are and are named; a refusal (a start before 0
// or too late, a crossfade longer than an entry) moves nothing.
void placeOneAfterAnotherCommand(MixListModel& list, const MixListView& view, Desktop& desktop, SequenceJoin& join,
                                 QWidget* parent);

}  // namespace sonarel
