// SPDX-License-Identifier: GPL-3.0-or-later
// The level line of a bar, without widgets: where an entry's volume points are drawn and pressed,
// and what adding, moving and removing one makes of them. The line spans the bar's slot: level 0
// on its bottom, 1 half-way up and kLineTopLevel at its top (higher levels, typed in the audio
// settings dialog, are drawn at the top). Points lie on the file's own time, so x follows the
// in point and the speed; points outside the played part are kept and not drawn.
#pragma once

#include <QPointF>
#include <QString>

#include "app/arrangement/ArrangementLayout.h"
#include "model/MixItem.h"

namespace sonarel {

inline constexpr double kLineTopLevel = 2.0;
// How near a point or the line a press must be to take it.
inline constexpr double kPointPixels = 5.0;

// The picture position of a point of the file's own time and a level.
QPointF levelLinePosition(const ArrangementBar& bar, REFERENCE_TIME time, double level, double pixelsPerSecond);
// The file's time and the level (0 to kLineTopLevel) at a picture position.
VolumePoint levelLinePoint(const ArrangementBar& bar, QPointF at, double pixelsPerSecond);

// The index of the point within kPointPixels of `at` (the nearest), or -1.
int pointNear(const ArrangementBar& bar, const VolumePoints& points, QPointF at, double pixelsPerSecond);
// Whether `at` lies on the bar's line, within kPointPixels above or below it.
bool onLevelLine(const ArrangementBar& bar, const VolumePoints& points, QPointF at, double pixelsPerSecond);

// Adds a point on the line at `time` (its level the line's there, so the line keeps its shape);
// the index it takes, or -1 when a point is there already or the list is full.
int addPointOnLine(VolumePoints& points, REFERENCE_TIME time);
// Moves point `index` to `to`, kept after the point before it and before the one after it, its
// level within 0 .. kLineTopLevel.
void movePoint(VolumePoints& points, int index, VolumePoint to);

// What a dragged point shows beside the pointer: "1.250 s, level 0.30".
QString pointReadout(const VolumePoint& point);

}  // namespace sonarel
