// SPDX-License-Identifier: GPL-3.0-or-later
// The commands of the small buttons beside the list.
#pragma once

#include <functional>
#include <vector>

namespace sonarel {

class Desktop;
class MixItemStore;
class MixListModel;
class MixListView;

// Deletes the entries of the selected rows. Nothing in an empty list; "Please select an audio
// item!" when no row is selected.
void deleteSelectedCommand(MixListModel& list, const MixListView& view, Desktop& desktop);

// Empties the list.
void deleteAllCommand(MixListModel& list);

// The entry-properties command (button, right click and Enter): nothing in an empty list,
// "Please select an item!" without a selection; otherwise `editEntries` of the selected rows.
void changePropertiesCommand(const MixItemStore& store, const MixListView& view, Desktop& desktop,
                             const std::function<void(const std::vector<int>&)>& editEntries);

}  // namespace sonarel
