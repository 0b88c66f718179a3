// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/arrangement/LevelLine.h"

#include <algorithm>
#include <cmath>

#include "model/MixListRows.h"

namespace sonarel {

namespace {

double lineBottom(const ArrangementBar& bar)
{
    return bar.slot.bottom() - 1.0;
}

double lineHeight(const ArrangementBar& bar)
{
    return std::max(bar.slot.height() - 2.0, 1.0);
}

}  // namespace

QPointF levelLinePosition(const ArrangementBar& bar, REFERENCE_TIME time, double level, double pixelsPerSecond)
{
    const double outputSeconds = (toSeconds(time) - bar.inSeconds) / bar.speed;
    const double share = std::clamp(level, 0.0, kLineTopLevel) / kLineTopLevel;
    return {bar.slot.left() + outputSeconds * pixelsPerSecond, lineBottom(bar) - share * lineHeight(bar)};
}

VolumePoint levelLinePoint(const ArrangementBar& bar, QPointF at, double pixelsPerSecond)
{
    const double fileSeconds = bar.inSeconds + (at.x() - bar.slot.left()) / pixelsPerSecond * bar.speed;
    const double level = (lineBottom(bar) - at.y()) / lineHeight(bar) * kLineTopLevel;
    return {std::max<REFERENCE_TIME>(nearestReferenceTime(fileSeconds), 0), std::clamp(level, 0.0, kLineTopLevel)};
}

int pointNear(const ArrangementBar& bar, const VolumePoints& points, QPointF at, double pixelsPerSecond)
{
    int nearest = -1;
    double best = kPointPixels;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const QPointF p = levelLinePosition(bar, points[i].time, points[i].level, pixelsPerSecond);
        if (p.x() < bar.slot.left() - kPointPixels || p.x() > bar.slot.right() + kPointPixels)
            continue;
        const double distance = std::max(std::abs(p.x() - at.x()), std::abs(p.y() - at.y()));
        if (distance <= best) {
            best = distance;
            nearest = static_cast<int>(i);
        }
    }
    return nearest;
}

bool onLevelLine(const ArrangementBar& bar, const VolumePoints& points, QPointF at, double pixelsPerSecond)
{
    if (!bar.lengthKnown || !bar.slot.contains(at))
        return false;
    const VolumePoint there = levelLinePoint(bar, at, pixelsPerSecond);
    const double y = levelLinePosition(bar, there.time, pointsLevelAt(points, there.time), pixelsPerSecond).y();
    return std::abs(y - at.y()) <= kPointPixels;
}

int addPointOnLine(VolumePoints& points, REFERENCE_TIME time)
{
    if (points.size() >= kMostVolumePoints)
        return -1;
    const auto at = std::lower_bound(points.begin(), points.end(), time,
                                     [](const VolumePoint& point, REFERENCE_TIME t) { return point.time < t; });
    if (at != points.end() && at->time == time)
        return -1;
    const double level = pointsLevelAt(points, time);
    const auto index = at - points.begin();  // before the insert, which may move the points
    points.insert(at, VolumePoint{time, level});
    return static_cast<int>(index);
}

void movePoint(VolumePoints& points, int index, VolumePoint to)
{
    const auto i = static_cast<std::size_t>(index);
    REFERENCE_TIME earliest = 0;
    REFERENCE_TIME latest = kLatestEntryStart;
    if (i > 0)
        earliest = points[i - 1].time + 1;
    if (i + 1 < points.size())
        latest = points[i + 1].time - 1;
    points[i].time = std::clamp(to.time, earliest, std::max(earliest, latest));
    points[i].level = std::clamp(to.level, 0.0, kLineTopLevel);
}

QString pointReadout(const VolumePoint& point)
{
    return QStringLiteral("%1 s, level %2")
        .arg(QString::fromStdString(secondsText(point.time)), QString::number(point.level, 'f', 2));
}

}  // namespace sonarel
