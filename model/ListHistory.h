// SPDX-License-Identifier: GPL-3.0-or-later
// Undo and redo for the mix list, whatever command changed it. The history keeps a snapshot of
// the list as it last saw it; after any command the owner calls noteChange(), and when the list
// differs the old snapshot becomes an undo step. Commands need not know about the history, and a
// command that changed nothing (a refused delete, a cancelled dialog) leaves no step.
//
// The history also knows which list file the window shows and whether the list still matches
// what was last saved or opened, so undoing back to the saved state clears the unsaved mark.
// Opening a file is a step of its own: undoing it brings back the previous list and its file.
// The list's ducking and tags are part of the list: a change of them alone is a step ("Ducking",
// "Tags").
#pragma once

#include <QString>
#include <deque>
#include <vector>

#include "model/MixItem.h"

namespace sonarel {

// The list's entries, copied out of the store in order.
using ListSnapshot = std::vector<MixItem>;

inline ListSnapshot snapshotOf(const MixItemStore& store)
{
    return entriesOf(store);
}
// Whether the store holds exactly the snapshot's entries (doubles compared bit for bit).
bool storeMatches(const MixItemStore& store, const ListSnapshot& snapshot);
void restoreSnapshot(MixItemStore& store, const ListSnapshot& snapshot);

class ListHistory {
public:
    static constexpr std::size_t kMaxSteps = 100;

    // Starts with the store as it is, untitled and unmodified.
    explicit ListHistory(const MixItemStore& store);

    // Records the store if it changed since last seen. `label` names the step ("Add", ...);
    // empty lets the history name it from what changed. Returns whether a step was recorded.
    bool noteChange(const MixItemStore& store, const QString& label = {});
    // The list changed beyond its entries (what it is mixed into, say): a step named `label` that
    // leaves the entries as they are. The owner keeps what changed, by state().
    void noteOtherChange(const QString& label);
    // The store now holds the list read from `file` (empty: a new, untitled list): a step, after
    // which the list is unmodified.
    void noteOpened(const MixItemStore& store, const QString& file, const QString& label = QStringLiteral("Open"));
    // The list was written to `file`.
    void markSaved(const QString& file);

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    QString undoLabel() const { return undo_.empty() ? QString() : undo_.back().label; }
    QString redoLabel() const { return redo_.empty() ? QString() : redo_.back().label; }
    // Put the store back one step; false when there is nothing to undo (or redo).
    bool undo(MixItemStore& store);
    bool redo(MixItemStore& store);

    const QString& file() const { return file_; }  // empty for a list never saved
    bool isModified() const { return state_ != savedState_; }
    // Names the list's state: equal numbers, equal lists. An undo or redo returns to a state seen
    // before, by its number; states() are those the history can still return to, this one first.
    int state() const { return state_; }
    std::vector<int> states() const;

private:
    struct Step {
        ListSnapshot entries;
        DuckSettings ducking;
        ListTags tags;
        int state = 0;
        QString label;
        bool opened = false;  // the step replaced the list with a file's: it carries the file
        QString file;
        int savedState = 0;
    };
    Step currentAsStep(const QString& label, bool opened) const;
    void pushUndo(Step step);
    void moveStep(std::deque<Step>& from, std::deque<Step>& to, MixItemStore& store);

    ListSnapshot current_;
    DuckSettings currentDucking_;
    ListTags currentTags_;
    int state_ = 0;
    int nextState_ = 1;
    QString file_;
    int savedState_ = 0;
    std::deque<Step> undo_;
    std::deque<Step> redo_;
};

}  // namespace sonarel
