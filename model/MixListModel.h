// SPDX-License-Identifier: GPL-3.0-or-later
// The window's mix list as a Qt item model over its store, and the one way the window changes the
// store: every edit goes through here, so the list view, the timeline, the undo history and the
// unsaved mark all learn of it from the same signals. Row i is entry i; the columns are
// kMixListColumns. All on the UI thread.
//
// Views follow the standard model signals (rows inserted or removed, data changed, a reset). Whoever
// reads the whole list (the history, the timeline) follows listEdited(), emitted after the rows' own
// signals, once per edit or once per CommandScope: a command that makes several edits holds one, so
// that they are one change (one undo step).
//
// Whether a row's file is missing or unreadable is looked up when the row is announced, not at every
// paint; the model keeps the answer beside the row.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <functional>
#include <vector>

#include "model/ListEditing.h"
#include "model/MixItem.h"

namespace sonarel {

class MixListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Roles beyond Qt's, each a bool: the row's file is gone, its length could not be measured
    // although the file is there, the entry is muted, the others duck under it. Views choose
    // their looks from these.
    enum Role { MissingRole = Qt::UserRole + 1, UnreadableRole, MutedRole, DuckRole };

    // The store outlives the model; from now on it changes through the model only.
    explicit MixListModel(MixItemStore& store, QObject* parent = nullptr);
    ~MixListModel() override;

    const MixItemStore& store() const { return store_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Appends the entries of `added` after the last row, as many as there is room for; returns how
    // many were appended. One insertion of rows.
    int append(const MixItemStore& added);
    // Changes entry `index` (see setEntryProperties); false, changing nothing, for a row not there.
    bool setProperties(int index, const EntryProperties& properties);
    // Deletes the entries of the selected rows (see deleteSelected), a run of rows at a time;
    // returns how many.
    int removeSelected(SelectionCursor& selection);
    void clear();
    // Sets the list's ducking: one edit when it differs from the list's.
    void setDucking(const DuckSettings& ducking);
    // Sets the list's tags: one edit when they differ from the list's.
    void setTags(const ListTags& tags);
    // Hands the store to `change` inside a reset: for changes that replace the list (an opened file,
    // an undo step).
    void replace(const std::function<void(MixItemStore&)>& change);
    // Hands the store to `change`, which changes values of entries already there (adding and
    // removing none) and returns the rows it changed.
    void changeRows(const std::function<std::vector<int>(MixItemStore&)>& change);

    // For a store that was changed without the model: every row, or the given rows, are read again
    // and the change is announced as one edit.
    void reload();
    void rowsRewritten(const std::vector<int>& rows);

    // While one lives, the model's edits are one change: listEdited() comes once, when the
    // outermost scope ends, and only when something was edited. `name` names the change for undo
    // ("Place One After Another"); empty lets the history name it from what changed.
    class CommandScope {
    public:
        explicit CommandScope(MixListModel& model, const QString& name = {});
        ~CommandScope();
        CommandScope(const CommandScope&) = delete;
        CommandScope& operator=(const CommandScope&) = delete;

    private:
        MixListModel& model_;
    };

    // While listEdited() is emitted: the name the outermost CommandScope gave the change, if any.
    const QString& commandName() const { return commandName_; }

Q_SIGNALS:
    // The store changed: once per edit, or once per CommandScope.
    void listEdited();

private:
    struct FileState {
        bool missing = false;
        bool unreadable = false;
    };
    static FileState fileStateOf(const MixItem& item);
    void readAllFileStates();
    void edited();

    MixItemStore& store_;
    std::vector<FileState> files_;  // per row
    int scopeDepth_ = 0;
    bool editedInScope_ = false;
    QString commandName_;
};

}  // namespace sonarel
