// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ListCommands.h"

#include "app/MixListView.h"
#include "model/ListEditing.h"
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

void changePropertiesCommand(const MixItemStore& store, const MixListView& view, Desktop& desktop,
                             const std::function<void(const std::vector<int>&)>& editEntries)
{
    if (store.audioCount() == 0)
        return;
    std::vector<int> rows;
    SelectionCursor selection = view.selectionCursor();
    for (int row = selection.next(); row >= 0 && row < store.audioCount(); row = selection.next())
        rows.push_back(row);
    if (rows.empty()) {
        desktop.showAppMessage(QStringLiteral("Please select an item!"));
        return;
    }
    editEntries(rows);
}

}  // namespace sonarel
