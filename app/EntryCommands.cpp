// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/EntryCommands.h"

#include "app/MixListView.h"
#include "model/MixListModel.h"
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

std::optional<std::vector<EntryProperties>> askEntriesProperties(const std::vector<MixItem>& items, Desktop& desktop,
                                                                 QWidget* parent)
{
    AudioSettingsDialog dialog(desktop, parent);
    dialog.setEntries(items);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.results();
}

std::vector<int> selectedEntries(const MixItemStore& store, SelectionCursor selection)
{
    std::vector<int> rows;
    for (int row = selection.next(); row >= 0 && row < store.audioCount(); row = selection.next())
        rows.push_back(row);
    return rows;
}

namespace {

bool allSet(const MixItemStore& store, const std::vector<int>& entries, bool EntryProperties::*member)
{
    for (int row : entries) {
        if (!(store.at(row).properties().*member))
            return false;
    }
    return !entries.empty();
}

// Sets the switch on every selected entry, or clears it when every one has it.
void toggleCommand(MixListModel& list, const MixListView& view, Desktop& desktop, bool EntryProperties::*member)
{
    const MixItemStore& store = list.store();
    if (store.audioCount() == 0)
        return;
    const std::vector<int> rows = selectedEntries(store, view.selectionCursor());
    if (rows.empty()) {
        desktop.showAppMessage(QStringLiteral("Please select an item!"));
        return;
    }
    const bool on = !allSet(store, rows, member);
    const MixListModel::CommandScope command(list);
    for (int row : rows) {
        EntryProperties properties = store.at(row).properties();
        properties.*member = on;
        list.setProperties(row, properties);
    }
}

}  // namespace

bool allMuted(const MixItemStore& store, const std::vector<int>& entries)
{
    return allSet(store, entries, &EntryProperties::muted);
}

void muteCommand(MixListModel& list, const MixListView& view, Desktop& desktop)
{
    toggleCommand(list, view, desktop, &EntryProperties::muted);
}

bool allDuck(const MixItemStore& store, const std::vector<int>& entries)
{
    return allSet(store, entries, &EntryProperties::duck);
}

void duckCommand(MixListModel& list, const MixListView& view, Desktop& desktop)
{
    toggleCommand(list, view, desktop, &EntryProperties::duck);
}

void openInMediaPlayer(const MixItemStore& store, SelectionCursor& selection, Desktop& desktop,
                       const PlayInside* inside)
{
    std::vector<int> here;
    for (int row = selection.next(); row >= 0; row = selection.next()) {
        if (row >= store.audioCount())
            break;
        const QString path = store.at(row).filePathText();
        if (!fileCanBeRead(path)) {
            desktop.showMessage(path + QStringLiteral(" does not exist!"), QStringLiteral("Error"), MessageIcon::Error);
            return;
        }
        if (inside && !inside->ownEntry.isEmpty() && desktop.defaultHandlerOf(path) == inside->ownEntry) {
            here.push_back(row);
            continue;
        }
        // The path goes over as a document to open, never as part of a command line.
        if (!desktop.openWithDefaultHandler(path)) {
            desktop.showAppMessage(QStringLiteral("No program could be started to play %1.").arg(path));
            return;
        }
    }
    if (!here.empty())
        inside->play(here);
}

void previewCommand(const MixItemStore& store, SelectionCursor selection, Desktop& desktop, const PlayInside* inside)
{
    if (store.audioCount() == 0)
        return;
    SelectionCursor probe = selection;
    if (probe.next() < 0) {
        desktop.showAppMessage(QStringLiteral("Please click an item to preview!"));
        return;
    }
    openInMediaPlayer(store, selection, desktop, inside);
}

}  // namespace sonarel
