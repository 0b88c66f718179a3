// SPDX-License-Identifier: GPL-3.0-or-later
// "Place one after another": gives entries start times so that each begins where the one before
// it ends on the output, as people join clips end to end, or a little before it with a crossfade.
#pragma once

#include <QString>
#include <vector>

#include "model/MixItem.h"

namespace sonarel {

struct SequencePlacing {
    std::vector<int> moved;    // rows whose start time or fades were set (the first keeps its start)
    std::vector<int> unknown;  // rows left as they were: their length on the output is not known
    QString refusal;           // why nothing was changed; empty when the entries were placed
};

// How the entries are joined: `gap` after the end of the one before (negative overlaps), and a
// crossfade: each starts `crossfade` earlier still, and each pair gets matching fades of that
// length (the earlier one's fade out, the later one's fade in) on `curve`.
struct SequenceJoin {
    REFERENCE_TIME gap = 0;
    REFERENCE_TIME crossfade = 0;
    FadeCurve curve = FadeCurve::EqualPower;
};

// Places the entries of `rows` (list order) one after another: the first keeps its start, and
// each following one starts `gap` after the end of the one placed before it (outputEnd). A
// negative gap overlaps them by that much. Entries whose length is not known are left where they
// are and skipped, so the next one follows the last one placed; so are muted entries, which are
// not heard. Changes nothing, and says why,
// when a start would fall before 0 or after kLatestEntryStart.
SequencePlacing placeOneAfterAnother(MixItemStore& store, const std::vector<int>& rows, REFERENCE_TIME gap);
// The same with a crossfade; also refused when the crossfade is longer than an entry it joins.
SequencePlacing placeOneAfterAnother(MixItemStore& store, const std::vector<int>& rows, const SequenceJoin& join);

}  // namespace sonarel
