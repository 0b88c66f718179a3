// SPDX-License-Identifier: GPL-3.0-or-later
// Editing an entry by dragging its bar, without widgets: which part of a bar a press is on, and
// what the entry's properties become when the pointer has moved by some output time since.
//
// The body moves the start; the left edge trims the beginning (the in point and the start move
// together, so the rest of the bar stays where it is); the right edge trims the end (the out
// point); the handles at the top corners set the fade in and out. Output time d is source time
// d * speed. Moves and trims snap to the other entries' starts and ends and to the ruler's ticks
// when an edge comes within a few pixels of one.
#pragma once

#include <QPointF>
#include <vector>

#include "app/arrangement/ArrangementLayout.h"
#include "model/MixItem.h"

namespace sonarel {

enum class BarPart { None, Body, LeftEdge, RightEdge, FadeInHandle, FadeOutHandle };

struct BarHit {
    int index = -1;
    BarPart part = BarPart::None;
};

// The part under `point` (picture coordinates). Handles win over edges, edges over the body; a bar
// of unknown length can only be moved.
BarHit hitBar(const ArrangementLayout& layout, QPointF point);

// Where a fade handle is drawn and pressed: the end of the fade on the top of the bar's body.
QPointF fadeHandleAt(const ArrangementBar& bar, BarPart handle, double pixelsPerSecond);

class BarDrag {
public:
    static constexpr double kSnapPixels = 6.0;
    static constexpr double kEdgePixels = 5.0;    // how near an edge a press trims
    static constexpr double kHandlePixels = 5.0;  // how near a handle a press fades
    // The shortest part of a file that a trim leaves to play, in source time.
    static constexpr REFERENCE_TIME kShortestPart = 10'000;  // 1 ms

    // A drag of `part` of entry `index` of `store`, at the layout's zoom; the other entries and
    // the ruler are what it snaps to.
    BarDrag(const MixItemStore& store, int index, BarPart part, const ArrangementLayout& layout);

    int index() const { return index_; }
    BarPart part() const { return part_; }
    const MixItem& original() const { return original_; }

    // The entry after the pointer moved by `delta` (output time) since the press.
    MixItem moved(REFERENCE_TIME delta, bool snap) const;
    // The value this drag sets in `moved`, as the list's time columns write it: "Start 1.250 s",
    // "In 0.500 s", "Out 2.000 s", "Fade in 0.300 s" or "Fade out 0.300 s".
    QString readout(const MixItem& moved) const;

private:
    REFERENCE_TIME snapped(REFERENCE_TIME delta, const std::vector<REFERENCE_TIME>& edges) const;
    MixItem move(REFERENCE_TIME delta, bool snap) const;
    MixItem trimStart(REFERENCE_TIME delta, bool snap) const;
    MixItem trimEnd(REFERENCE_TIME delta, bool snap) const;
    MixItem fade(REFERENCE_TIME delta) const;

    int index_;
    BarPart part_;
    MixItem original_;
    REFERENCE_TIME start_ = 0;  // the original's place on the output
    REFERENCE_TIME stop_ = 0;
    std::vector<REFERENCE_TIME> targets_;  // the other entries' starts and ends
    REFERENCE_TIME tick_ = 0;              // the ruler's step
    REFERENCE_TIME reach_ = 0;             // the snapping distance
};

}  // namespace sonarel
