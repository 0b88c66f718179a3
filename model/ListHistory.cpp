// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ListHistory.h"

#include <algorithm>
#include <array>

#include "model/EntryPropertyTable.h"

namespace sonarel {

namespace {

bool sameEntry(const MixItem& item, const MixItem& entry)
{
    return item.duration == entry.duration && sameProperties(item, entry) && item.filePath == entry.filePath;
}

// The name of a change of entries' values, told by the properties it changed: a drag in the
// timeline moves, trims or fades, and its undo says which.
QString valuesChangeLabel(const ListSnapshot& before, const MixItemStore& after)
{
    std::array<bool, kEntryFieldCount> changed{};
    for (std::size_t i = 0; i < before.size(); ++i) {
        for (const EntryProperty& property : kEntryProperties)
            if (!sameValue(property, before[i], after.at(static_cast<int>(i))))
                changed[static_cast<std::size_t>(property.field)] = true;
    }
    auto only = [&changed](std::initializer_list<EntryField> fields) {
        for (std::size_t f = 0; f < changed.size(); ++f) {
            const bool listed = std::find(fields.begin(), fields.end(), static_cast<EntryField>(f)) != fields.end();
            if (changed[f] && !listed)
                return false;
        }
        return true;
    };
    if (only({}))  // a length measured again, say
        return QStringLiteral("Edit");
    if (only({EntryField::StartTime}))
        return QStringLiteral("Move");
    // Trimming the start moves the entry with its in point.
    if (only({EntryField::StartTime, EntryField::InPoint, EntryField::OutPoint}))
        return QStringLiteral("Trim");
    if (only({EntryField::FadeIn, EntryField::FadeOut}))
        return QStringLiteral("Fade");
    if (only({EntryField::Points}))
        return QStringLiteral("Volume Point");
    return QStringLiteral("Edit");
}

// What a change did, told by the lists before and after it.
QString changeLabel(const ListSnapshot& before, const MixItemStore& after)
{
    const auto count = static_cast<std::size_t>(after.audioCount());
    if (count > before.size())
        return QStringLiteral("Add");
    if (count == 0)
        return QStringLiteral("Delete All");
    if (count < before.size())
        return QStringLiteral("Delete");
    for (std::size_t i = 0; i < count; ++i) {
        if (after.at(static_cast<int>(i)).filePath != before[i].filePath)
            return QStringLiteral("Relink");
    }
    return valuesChangeLabel(before, after);
}

}  // namespace

bool storeMatches(const MixItemStore& store, const ListSnapshot& snapshot)
{
    if (static_cast<std::size_t>(store.audioCount()) != snapshot.size())
        return false;
    for (int i = 0; i < store.audioCount(); ++i) {
        if (!sameEntry(store.at(i), snapshot[static_cast<std::size_t>(i)]))
            return false;
    }
    return true;
}

void restoreSnapshot(MixItemStore& store, const ListSnapshot& snapshot)
{
    store.clear();
    // Every snapshot came from a store, so its entries fit one.
    for (const MixItem& entry : snapshot)
        static_cast<void>(store.append(entry));
}

ListHistory::ListHistory(const MixItemStore& store)
    : current_(snapshotOf(store)), currentDucking_(store.ducking()), currentTags_(store.tags())
{
}

ListHistory::Step ListHistory::currentAsStep(const QString& label, bool opened) const
{
    return {current_, currentDucking_, currentTags_, state_, label, opened, file_, savedState_};
}

void ListHistory::pushUndo(Step step)
{
    undo_.push_back(std::move(step));
    if (undo_.size() > kMaxSteps)
        undo_.pop_front();
    redo_.clear();
}

bool ListHistory::noteChange(const MixItemStore& store, const QString& label)
{
    const bool sameEntries = storeMatches(store, current_);
    const bool sameTags = store.tags() == currentTags_;
    if (sameEntries && store.ducking() == currentDucking_ && sameTags)
        return false;
    const QString named = !label.isEmpty() ? label
                          : !sameEntries   ? changeLabel(current_, store)
                          : sameTags       ? QStringLiteral("Ducking")
                                           : QStringLiteral("Tags");
    pushUndo(currentAsStep(named, false));
    current_ = snapshotOf(store);
    currentDucking_ = store.ducking();
    currentTags_ = store.tags();
    state_ = nextState_++;
    return true;
}

void ListHistory::noteOtherChange(const QString& label)
{
    pushUndo(currentAsStep(label, false));
    state_ = nextState_++;
}

void ListHistory::noteOpened(const MixItemStore& store, const QString& file, const QString& label)
{
    pushUndo(currentAsStep(label, true));
    current_ = snapshotOf(store);
    currentDucking_ = store.ducking();
    currentTags_ = store.tags();
    state_ = nextState_++;
    file_ = file;
    savedState_ = state_;
}

std::vector<int> ListHistory::states() const
{
    std::vector<int> states{state_};
    for (const std::deque<Step>* steps : {&undo_, &redo_})
        for (const Step& step : *steps)
            states.push_back(step.state);
    return states;
}

void ListHistory::markSaved(const QString& file)
{
    file_ = file;
    savedState_ = state_;
}

void ListHistory::moveStep(std::deque<Step>& from, std::deque<Step>& to, MixItemStore& store)
{
    Step step = std::move(from.back());
    from.pop_back();
    to.push_back(currentAsStep(step.label, step.opened));
    restoreSnapshot(store, step.entries);
    store.setDucking(step.ducking);
    store.setTags(step.tags);
    current_ = std::move(step.entries);
    currentDucking_ = step.ducking;
    currentTags_ = std::move(step.tags);
    state_ = step.state;
    if (step.opened) {
        file_ = step.file;
        savedState_ = step.savedState;
    }
}

bool ListHistory::undo(MixItemStore& store)
{
    if (undo_.empty())
        return false;
    moveStep(undo_, redo_, store);
    return true;
}

bool ListHistory::redo(MixItemStore& store)
{
    if (redo_.empty())
        return false;
    moveStep(redo_, undo_, store);
    return true;
}

}  // namespace sonarel
