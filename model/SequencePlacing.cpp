// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/SequencePlacing.h"

#include <algorithm>

#include "model/EntryEditing.h"

namespace sonarel {

SequencePlacing placeOneAfterAnother(MixItemStore& store, const std::vector<int>& rows, REFERENCE_TIME gap)
{
    return placeOneAfterAnother(store, rows, SequenceJoin{gap, 0, FadeCurve::Linear});
}

SequencePlacing placeOneAfterAnother(MixItemStore& store, const std::vector<int>& rows, const SequenceJoin& join)
{
    SequencePlacing result;
    // Any gap beyond the latest start refuses the same way; clamped, the sums below cannot overflow.
    const REFERENCE_TIME crossfade = std::clamp<REFERENCE_TIME>(join.crossfade, 0, kLatestEntryStart);
    const REFERENCE_TIME step = std::clamp(join.gap, -kLatestEntryStart, kLatestEntryStart) - crossfade;
    const QString by = crossfade > 0 ? QStringLiteral("crossfade") : QStringLiteral("gap");
    std::vector<std::pair<int, EntryProperties>> placed;
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
        const auto refuse = [&result, &item](const QString& text) {
            result.refusal = text.arg(item.filePathText());
            return result;
        };
        if (crossfade > 0 && outputEnd(item) - item.startTime < crossfade)
            return refuse(QStringLiteral("The crossfade is longer than %1 lasts."));
        if (!placed.empty()) {
            if (next < 0)
                return refuse(QStringLiteral("With this ") + by +
                              QStringLiteral(", %1 would start before the start of the mix."));
            if (next > kLatestEntryStart)
                return refuse(QStringLiteral("With this ") + by +
                              QStringLiteral(", %1 would start too late to be mixed."));
            item.startTime = next;
            if (crossfade > 0) {
                EntryProperties& before = placed.back().second;
                before.fadeOut = crossfade;
                before.fadeCurve = join.curve;
                item.fadeIn = crossfade;
                item.fadeCurve = join.curve;
            }
        }
        placed.emplace_back(row, item.properties());
        next = outputEnd(item) + step;
    }
    for (std::size_t i = 0; i < placed.size(); ++i) {
        const auto& [row, properties] = placed[i];
        // The first keeps its start: it is named only when its fade was set.
        if (i == 0 && sameProperties(store.at(row).properties(), properties))
            continue;
        setEntryProperties(store, row, properties);
        result.moved.push_back(row);
    }
    return result;
}

}  // namespace sonarel
