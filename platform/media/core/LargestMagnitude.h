// SPDX-License-Identifier: GPL-3.0-or-later
// The largest magnitude among float samples, four at a time: the sample peak, and the bound by
// which the true peak passes over quiet stretches.
#pragma once

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace sonarel::media::core {

inline float largestMagnitude(const float* samples, std::size_t count)
{
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    __m128 largest = _mm_setzero_ps();
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4)
        largest = _mm_max_ps(largest, _mm_and_ps(_mm_loadu_ps(samples + i), magnitude));
    float lanes[4];
    _mm_storeu_ps(lanes, largest);
    float result = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
    for (; i < count; ++i)
        result = std::max(result, std::abs(samples[i]));
    return result;
}

}  // namespace sonarel::media::core
