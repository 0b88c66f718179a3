// SPDX-License-Identifier: GPL-3.0-or-later
// A tone's frequency measured from its rising zero crossings, interpolated between samples:
// precise to well under a hertz over a second of a clean tone, and blind to its level.
#pragma once

#include <cstdint>

namespace sonarel::testing {

// `sampleAt(i)` gives frame i of the channel to measure; frames from .. to are used.
template <typename SampleAt>
double toneFrequency(SampleAt sampleAt, std::int64_t from, std::int64_t to, double rate)
{
    double first = -1;
    double last = -1;
    int crossings = 0;
    for (std::int64_t i = from + 1; i < to; ++i) {
        const double a = sampleAt(i - 1);
        const double b = sampleAt(i);
        if (a < 0 && b >= 0) {
            const double at = static_cast<double>(i - 1) + a / (a - b);
            if (first < 0)
                first = at;
            last = at;
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0 : (crossings - 1) * rate / (last - first);
}

}  // namespace sonarel::testing
