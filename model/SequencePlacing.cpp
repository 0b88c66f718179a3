// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/SequencePlacing.h"

#include <algorithm>

#include "model/EntryEditing.h"

namespace sonarel {

SequencePlacing placeOneAfterAnother(MixItemStore& store, const std::vector<int>& rows, REFERENCE_TIME gap)
{
    SequencePlacing result;
    // Any gap beyond the latest start refuses the same way; clamped, the sums below cannot overflow.
    gap = std::clamp(gap, -kLatestEntryStart, kLatestEntryStart);
    std::vector<std::pair<int, REFERENCE_TIME>> starts;
    bool first = true;
    REFERENCE_TIME next = 0;
    for (int row : rows) {
        if (row < 0 || row >= store.audioCount())
            continue;
        MixItem item = store.at(row);
        // A muted entry (an alternative take, say) is not heard: placing after it would leave silence.
        if (item.muted)
            continue;
        if (!outputLengthKnown(item)) {
            result.unknown.push_back(row);
            continue;
        }
        if (!first) {
            if (next < 0 || next > kLatestEntryStart) {
                result.refusal = next < 0 ? QStringLiteral("With this gap, %1 would start before the start of the mix.")
                                          : QStringLiteral("With this gap, %1 would start too late to be mixed.");
                result.refusal = result.refusal.arg(item.filePathText());
                result.moved.clear();
                return result;
            }
            starts.emplace_back(row, next);
            item.startTime = next;
        }
        first = false;
        next = outputEnd(item) + gap;
    }
    for (const auto& [row, start] : starts) {
        EntryProperties properties = store.at(row).properties();
        properties.startTime = start;
        setEntryProperties(store, row, properties);
        result.moved.push_back(row);
    }
    return result;
}

}  // namespace sonarel
