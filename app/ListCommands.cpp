#include "app/ListCommands.h"

#include "app/MixListView.h"
#include "platform/Desktop.h"

namespace sonarel {

void deleteSelectedCommand(MixItemStore& store, MixListView& view, Desktop& desktop)
{
    if (store.audioCount() == 0)
        return;
    SelectionCursor selection = view.selectionCursor();
    if (deleteSelected(store, selection) == 0) {
        desktop.showAppMessage(QStringLiteral("Please select an audio item!"));
        return;
    }
    view.refresh(store);
}

void deleteAllCommand(MixItemStore& store, MixListView& view)
{
    store.clear();
    view.refresh(store);
}

void changePropertiesCommand(MixItemStore& store, MixListView& view, Desktop& desktop)
{
    if (store.audioCount() == 0)
        return;
    if (view.firstSelectedRow() < 0) {
        desktop.showAppMessage(QStringLiteral("Please select an item!"));
        return;
    }
    // Editing an entry's volume, start time and speed arrives with the audio settings dialog.
}

}  // namespace sonarel
