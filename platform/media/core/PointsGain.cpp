// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/PointsGain.h"

namespace sonarel::media::core {

PointsGain::PointsGain(const std::vector<GainPoint>& points, REFERENCE_TIME mediaStart, double speed, int rate)
    : points_(&points),
      mediaStart_(static_cast<double>(mediaStart)),
      unitsPerFrameTimesRate_(speed * static_cast<double>(kReferenceUnitsPerSecond)),
      rate_(static_cast<double>(rate))
{
}

float PointsGain::at(std::int64_t k)
{
    const std::vector<GainPoint>& points = *points_;
    // Multiplied before dividing, so that a frame on a whole second meets a point there exactly.
    const double t = mediaStart_ + static_cast<double>(k) * unitsPerFrameTimesRate_ / rate_;
    if (t <= static_cast<double>(points.front().time))
        return static_cast<float>(points.front().level);
    if (t >= static_cast<double>(points.back().time))
        return static_cast<float>(points.back().level);
    while (segment_ + 1 < points.size() && static_cast<double>(points[segment_ + 1].time) <= t)
        ++segment_;
    while (segment_ > 0 && static_cast<double>(points[segment_].time) > t)
        --segment_;
    const GainPoint& a = points[segment_];
    const GainPoint& b = points[segment_ + 1];
    const double x = (t - static_cast<double>(a.time)) / static_cast<double>(b.time - a.time);
    return static_cast<float>(a.level + (b.level - a.level) * x);
}

}  // namespace sonarel::media::core
