// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/EntryCommands.h"

#include "platform/Desktop.h"
#include "platform/FileChecks.h"
#include "settings/ui/AudioSettingsDialog.h"

namespace sonarel {

std::optional<EntryProperties> askEntryProperties(const MixItem& item, Desktop& desktop, QWidget* parent)
{
    AudioSettingsDialog dialog(desktop, parent);
    dialog.setEntry(item);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.properties();
}

void openInMediaPlayer(const MixItemStore& store, SelectionCursor& selection, Desktop& desktop)
{
    for (int row = selection.next(); row >= 0; row = selection.next()) {
        if (row >= store.audioCount())
            break;
        const QString path = store.at(row).filePathText();
        if (!fileCanBeRead(path)) {
            desktop.showMessage(path + QStringLiteral(" does not exist!"), QStringLiteral("Error"), MessageIcon::Error);
            return;
        }
        // The path goes over as a document to open, never as part of a command line.
        if (!desktop.openWithDefaultHandler(path)) {
            desktop.showAppMessage(QStringLiteral("No program could be started to play %1.").arg(path));
            return;
        }
    }
}

void previewCommand(const MixItemStore& store, SelectionCursor selection, Desktop& desktop)
{
    if (store.audioCount() == 0)
        return;
    SelectionCursor probe = selection;
    if (probe.next() < 0) {
        desktop.showAppMessage(QStringLiteral("Please click an item to preview!"));
        return;
    }
    openInMediaPlayer(store, selection, desktop);
}

}  // namespace sonarel
