// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ListCommands.h"

#include "app/MixListView.h"
#include "model/MixListModel.h"
#include "platform/Desktop.h"

namespace sonarel {

void deleteSelectedCommand(MixListModel& list, const MixListView& view, Desktop& desktop)
{
    if (list.store().audioCount() == 0)
        return;
    SelectionCursor selection = view.selectionCursor();
    if (list.removeSelected(selection) == 0)
        desktop.showAppMessage(QStringLiteral("Please select an audio item!"));
}

void deleteAllCommand(MixListModel& list)
{
    list.clear();
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
