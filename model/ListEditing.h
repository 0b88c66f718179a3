// SPDX-License-Identifier: GPL-3.0-or-later
// The list's editing operations that need no window: walking the selection and deleting entries.
#pragma once

#include <functional>

#include "model/MixItem.h"

namespace sonarel {

// Visits the selected rows of a list view in ascending order. `nextSelectedAfter(row)` returns the
// first selected row after `row` (row -1 starts the walk), or -1 when there is none. The next row is
// always found before the caller changes the current one.
class SelectionCursor {
public:
    explicit SelectionCursor(std::function<int(int)> nextSelectedAfter);
    // The next selected row, or -1 when the walk is over.
    int next();

private:
    std::function<int(int)> nextSelectedAfter_;
    int current_ = -1;
    bool done_ = false;
};

// Deletes the entries of the selected rows; row r seen after n deletions names entry r - n.
// Returns how many entries were deleted.
int deleteSelected(MixItemStore& store, SelectionCursor& selection);

}  // namespace sonarel
