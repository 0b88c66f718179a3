// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PlacingCommands.h"

#include <QStringList>

#include "app/EntryCommands.h"
#include "app/MixListView.h"
#include "model/MixListModel.h"
#include "model/SequencePlacing.h"
#include "platform/Desktop.h"
#include "settings/ui/SequenceGapDialog.h"

namespace sonarel {

void placeOneAfterAnotherCommand(MixListModel& list, const MixListView& view, Desktop& desktop, SequenceJoin& join,
                                 QWidget* parent)
{
    const MixItemStore& store = list.store();
    if (store.audioCount() == 0)
        return;
    const std::vector<int> rows = selectedEntries(store, view.selectionCursor());
    if (rows.size() < 2) {
        desktop.showAppMessage(QStringLiteral("Please select the entries to place one after another: two or more."));
        return;
    }
    SequenceGapDialog ask(desktop, static_cast<int>(rows.size()), join, parent);
    if (ask.exec() != QDialog::Accepted)
        return;
    join = ask.join();
    SequencePlacing placed;
    {
        const MixListModel::CommandScope command(list, QStringLiteral("Place One After Another"));
        list.changeRows([&](MixItemStore& changed) {
            placed = placeOneAfterAnother(changed, rows, join);
            return placed.moved;
        });
    }
    if (!placed.refusal.isEmpty()) {
        desktop.showAppMessage(placed.refusal + QStringLiteral(" Nothing was moved."));
        return;
    }
    if (!placed.unknown.empty()) {
        QStringList names;
        for (int row : placed.unknown)
            names << store.at(row).filePathText();
        desktop.showAppMessage(
            QStringLiteral("The length of these entries is not known, so they were left where they are and the "
                           "others placed without them:\n%1")
                .arg(names.join(QLatin1Char('\n'))));
    }
}

}  // namespace sonarel
