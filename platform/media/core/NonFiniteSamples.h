// SPDX-License-Identifier: GPL-3.0-or-later
// NaN and infinite samples, found and silenced. A damaged float file can hold them; summed into a
// mix, one of them would silence or wreck every other entry where they overlap.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace sonarel::media::core {

template <typename Sample>
bool allFinite(const Sample* samples, std::size_t count)
{
    bool finite = true;
    for (std::size_t i = 0; i < count; ++i)
        finite &= std::isfinite(samples[i]);  // no early exit: the loop vectorises
    return finite;
}

// Sets every sample that is not a finite number to 0; returns how many there were.
template <typename Sample>
std::int64_t clearNonFinite(Sample* samples, std::size_t count)
{
    std::int64_t cleared = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(samples[i])) {
            samples[i] = 0;
            ++cleared;
        }
    }
    return cleared;
}

}  // namespace sonarel::media::core
