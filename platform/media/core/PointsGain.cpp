// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/PointsGain.h"

#include <algorithm>

namespace sonarel::media::core {

PointsGain::PointsGain(const std::vector<GainPoint>& points, REFERENCE_TIME mediaStart, double speed, int rate)
    : points_(&points),
      mediaStart_(static_cast<double>(mediaStart)),
      unitsPerFrameTimesRate_(speed * static_cast<double>(kReferenceUnitsPerSecond)),
      rate_(static_cast<double>(rate))
{
}

void PointsGain::seek(double t)
{
    const std::vector<GainPoint>& points = *points_;
    while (segment_ + 1 < points.size() && static_cast<double>(points[segment_ + 1].time) <= t)
        ++segment_;
    while (segment_ > 0 && static_cast<double>(points[segment_].time) > t)
        --segment_;
}

void PointsGain::multiply(std::int64_t first, std::int64_t count, float* gains)
{
    const std::vector<GainPoint>& points = *points_;
    std::int64_t i = 0;
    while (i < count) {
        const double t = timeOf(first + i);
        if (t >= static_cast<double>(points.back().time)) {  // the time only grows: the last level to the end
            const auto last = static_cast<float>(points.back().level);
            for (; i < count; ++i)
                gains[i] *= last;
            return;
        }
        if (t <= static_cast<double>(points.front().time)) {
            gains[i] *= static_cast<float>(points.front().level);
            ++i;
            continue;
        }
        seek(t);
        const GainPoint& a = points[segment_];
        const GainPoint& b = points[segment_ + 1];
        // The frames of this stretch: up to the first whose time reaches b.
        const double unitsPerFrame = unitsPerFrameTimesRate_ / rate_;
        const auto guess = static_cast<std::int64_t>((static_cast<double>(b.time) - t) / unitsPerFrame);
        std::int64_t end = std::clamp<std::int64_t>(i + guess, i + 1, count);
        while (end > i + 1 && timeOf(first + end - 1) >= static_cast<double>(b.time))
            --end;
        while (end < count && timeOf(first + end) < static_cast<double>(b.time))
            ++end;
        // level(k) = a + (b - a) * (t(k) - ta) / (tb - ta), as c0 + c1 * k.
        const double slope = (b.level - a.level) / static_cast<double>(b.time - a.time);
        const double c1 = slope * unitsPerFrame;
        const double c0 = a.level + slope * (mediaStart_ - static_cast<double>(a.time));
        for (std::int64_t j = i; j < end; ++j)
            gains[j] *= static_cast<float>(c0 + c1 * static_cast<double>(first + j));
        i = end;
    }
}

}  // namespace sonarel::media::core
