// SPDX-License-Identifier: GPL-3.0-or-later
// Commands on single entries of the list: asking for an entry's new start time, volume and
// speed, and playing the selected files with the person's default player.
#pragma once

#include <optional>

#include "model/EntryEditing.h"
#include "model/ListEditing.h"

class QWidget;

namespace sonarel {

class Desktop;

// Opens the audio settings dialog on `item`'s values; the new values after OK, nothing after
// Cancel or Esc.
std::optional<EntryProperties> askEntryProperties(const MixItem& item, Desktop& desktop, QWidget* parent);

// Opens the file of each selected entry, in row order, with the default handler. A file that is
// gone is named ("<path> does not exist!", caption "Error") and ends the command there.
void openInMediaPlayer(const MixItemStore& store, SelectionCursor& selection, Desktop& desktop);

// The list's double click: nothing on an empty list, "Please click an item to preview!" without a
// selection, otherwise openInMediaPlayer.
void previewCommand(const MixItemStore& store, SelectionCursor selection, Desktop& desktop);

}  // namespace sonarel
