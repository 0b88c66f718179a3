// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ListEditing.h"

#include <utility>

namespace sonarel {

SelectionCursor::SelectionCursor(std::function<int(int)> nextSelectedAfter)
    : nextSelectedAfter_(std::move(nextSelectedAfter))
{
}

int SelectionCursor::next()
{
    if (done_)
        return -1;
    const int row = nextSelectedAfter_(current_);
    // A row at or before the current one would walk for ever; the walk only moves forward.
    if (row < 0 || row <= current_) {
        done_ = true;
        return -1;
    }
    current_ = row;
    return row;
}

int deleteSelected(MixItemStore& store, SelectionCursor& selection)
{
    int deleted = 0;
    for (int row = selection.next(); row >= 0; row = selection.next()) {
        const int entry = row - deleted;
        if (entry >= store.audioCount())
            break;
        store.removeAt(entry);
        ++deleted;
    }
    return deleted;
}

}  // namespace sonarel
