// The commands of the small buttons beside the list.
#pragma once

namespace sonarel {

class Desktop;
class MixItemStore;
class MixListView;

// Deletes the entries of the selected rows. Nothing in an empty list; "Please select an audio
// item!" when no row is selected.
void deleteSelectedCommand(MixItemStore& store, MixListView& view, Desktop& desktop);

// Empties the list.
void deleteAllCommand(MixItemStore& store, MixListView& view);

// The entry-properties command (button and right click): "Please select an item!" without a
// selection; otherwise edits the first selected entry.
void changePropertiesCommand(MixItemStore& store, MixListView& view, Desktop& desktop);

}  // namespace sonarel
