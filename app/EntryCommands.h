// SPDX-License-Identifier: GPL-3.0-or-later
// Commands on single entries of the list: asking for an entry's new properties, muting the
// selected entries, and playing the selected files with the person's default player.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "model/EntryEditing.h"
#include "model/ListEditing.h"

class QWidget;

namespace sonarel {

class Desktop;
class MixListModel;
class MixListView;

// Opens the audio settings dialog on `item`'s values; the new values after OK, nothing after
// Cancel or Esc.
std::optional<EntryProperties> askEntryProperties(const MixItem& item, Desktop& desktop, QWidget* parent);
// The same on several entries at once: each entry's new properties in the order given, with only
// what was changed in the dialog changed; nothing after Cancel or Esc.
std::optional<std::vector<EntryProperties>> askEntriesProperties(const std::vector<MixItem>& items, Desktop& desktop,
                                                                 QWidget* parent);

// The selected rows within the list, in ascending order.
std::vector<int> selectedEntries(const MixItemStore& store, SelectionCursor selection);

// Whether there are selected entries and every one of them is muted: the Mute command's check.
bool allMuted(const MixItemStore& store, const std::vector<int>& entries);

// Mute (Ctrl+M): mutes the selected entries, or unmutes them when all are muted already, as one
// command of the list (one undo step). Nothing in an empty list;
// "Please select an item!" without a selection.
void muteCommand(MixListModel& list, const MixListView& view, Desktop& desktop);

// Whether there are selected entries and the others duck under every one of them.
bool allDuck(const MixItemStore& store, const std::vector<int>& entries);
// Duck Others Under This (Ctrl+D): marks the selected entries as ones the others duck under, or
// unmarks them when all are marked already; as Mute, one undo step.
void duckCommand(MixListModel& list, const MixListView& view, Desktop& desktop);

// Where a double click plays the entries that would open in Sonarel itself: `ownEntry` is Sonarel's
// desktop entry, and `play` plays the given rows in this window.
struct PlayInside {
    QString ownEntry;
    std::function<void(const std::vector<int>&)> play;
};

// Opens the file of each selected entry, in row order, with the default handler. A file that is
// gone is named ("<path> does not exist!", caption "Error") and ends the command there. Files whose
// default handler is Sonarel itself are not opened (that would start a second Sonarel): their
// entries are handed to `inside`, when given, to play in this window.
void openInMediaPlayer(const MixItemStore& store, SelectionCursor& selection, Desktop& desktop,
                       const PlayInside* inside = nullptr);

// The list's double click: nothing on an empty list, "Please click an item to preview!" without a
// selection, otherwise openInMediaPlayer.
void previewCommand(const MixItemStore& store, SelectionCursor selection, Desktop& desktop,
                    const PlayInside* inside = nullptr);

}  // namespace sonarel
