// SPDX-License-Identifier: GPL-3.0-or-later
// "Place one after another": gives entries start times so that each begins where the one before
// it ends on the output, as people join clips end to end.
#pragma once

#include <QString>
#include <vector>

#include "model/MixItem.h"

namespace sonarel {

struct SequencePlacing {
    std::vector<int> moved;    // rows whose start time was set (the first keeps its own)
    std::vector<int> unknown;  // rows left as they were: their length on the output is not known
    QString refusal;           // why nothing was changed; empty when the entries were placed
};

// Places the entries of `rows` (list order) one after another: the first keeps its start, and
// each following one starts `gap` after the end of the one placed before it (outputEnd). A
// negative gap overlaps them by that much. Entries whose length is not known are left where they
// are and skipped, so the next one follows the last one placed; so are muted entries, which are
// not heard. Changes nothing, and says why,
// when a start would fall before 0 or after kLatestEntryStart.
SequencePlacing placeOneAfterAnother(MixItemStore& store, const std::vector<int>& rows, REFERENCE_TIME gap);

}  // namespace sonarel
