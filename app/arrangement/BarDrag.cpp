// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/arrangement/BarDrag.h"

#include <algorithm>
#include <cmath>

#include "model/MixListRows.h"
#include "render/EngineEntry.h"

namespace sonarel {

namespace {

// Bars narrower than this have no fade handles, so that their edges can still be taken.
constexpr double kNarrowestWithHandles = 4 * BarDrag::kHandlePixels;

REFERENCE_TIME unitsOf(double seconds)
{
    return nearestReferenceTime(seconds);
}

bool hasHandles(const ArrangementBar& bar)
{
    return bar.lengthKnown && bar.body.width() >= kNarrowestWithHandles;
}

BarPart handleAt(const ArrangementBar& bar, QPointF point, double pixelsPerSecond)
{
    if (!hasHandles(bar))
        return BarPart::None;
    for (BarPart handle : {BarPart::FadeInHandle, BarPart::FadeOutHandle}) {
        const QPointF centre = fadeHandleAt(bar, handle, pixelsPerSecond);
        if (std::abs(point.x() - centre.x()) <= BarDrag::kHandlePixels &&
            std::abs(point.y() - centre.y()) <= BarDrag::kHandlePixels)
            return handle;
    }
    return BarPart::None;
}

// The nearest multiple of `step` to `at`.
REFERENCE_TIME nearestMultiple(REFERENCE_TIME at, REFERENCE_TIME step)
{
    const REFERENCE_TIME below = (at >= 0 ? at / step : (at - step + 1) / step) * step;
    return at - below <= below + step - at ? below : below + step;
}

}  // namespace

QPointF fadeHandleAt(const ArrangementBar& bar, BarPart handle, double pixelsPerSecond)
{
    const QRectF& body = bar.body;
    if (handle == BarPart::FadeInHandle)
        return {std::min(body.right(), body.left() + bar.fadeInSeconds * pixelsPerSecond), body.top()};
    return {std::max(body.left(), body.right() - bar.fadeOutSeconds * pixelsPerSecond), body.top()};
}

BarHit hitBar(const ArrangementLayout& layout, QPointF point)
{
    const auto& bars = layout.bars();
    const double pps = layout.pixelsPerSecond();
    // Inside a bar: the latest entry wins where bars touch, as for selecting.
    for (auto bar = bars.rbegin(); bar != bars.rend(); ++bar) {
        if (!bar->slot.contains(point))
            continue;
        const BarPart handle = handleAt(*bar, point, pps);
        if (handle != BarPart::None)
            return {bar->index, handle};
        if (bar->lengthKnown) {
            const double edge = std::min(BarDrag::kEdgePixels, bar->slot.width() / 4);
            if (point.x() - bar->slot.left() <= edge)
                return {bar->index, BarPart::LeftEdge};
            if (bar->slot.right() - point.x() <= edge)
                return {bar->index, BarPart::RightEdge};
        }
        return {bar->index, BarPart::Body};
    }
    // A handle reaches a little above a bar that fills its lane.
    for (auto bar = bars.rbegin(); bar != bars.rend(); ++bar) {
        const BarPart handle = handleAt(*bar, point, pps);
        if (handle != BarPart::None)
            return {bar->index, handle};
    }
    return {};
}

BarDrag::BarDrag(const MixItemStore& store, int index, BarPart part, const ArrangementLayout& layout)
    : index_(index), part_(part), original_(store.at(index))
{
    const TimelineTimes times = timelineTimesOf(original_);
    const bool known = speedIsUsable(original_.speed) && original_.duration > 0;
    start_ = original_.startTime;
    stop_ = known ? std::max(times.stop, start_) : start_;
    if (!known && part_ != BarPart::Body)
        part_ = BarPart::None;  // nothing to trim or fade without a length
    for (int i = 0; i < store.audioCount(); ++i) {
        if (i == index)
            continue;
        const MixItem& other = store.at(i);
        targets_.push_back(other.startTime);
        if (speedIsUsable(other.speed) && other.duration > 0)
            targets_.push_back(timelineTimesOf(other).stop);
    }
    tick_ = std::max<REFERENCE_TIME>(1, unitsOf(layout.tickStep()));
    reach_ = unitsOf(kSnapPixels / layout.pixelsPerSecond());
}

MixItem BarDrag::moved(REFERENCE_TIME delta, bool snap) const
{
    switch (part_) {
    case BarPart::Body: return move(delta, snap);
    case BarPart::LeftEdge: return trimStart(delta, snap);
    case BarPart::RightEdge: return trimEnd(delta, snap);
    case BarPart::FadeInHandle:
    case BarPart::FadeOutHandle: return fade(delta);
    case BarPart::None: break;
    }
    return original_;
}

QString BarDrag::readout(const MixItem& moved) const
{
    const auto text = [](const char* what, REFERENCE_TIME time) {
        return QStringLiteral("%1 %2 s").arg(QLatin1String(what), QString::fromStdString(secondsText(time)));
    };
    switch (part_) {
    case BarPart::Body: return text("Start", moved.startTime);
    case BarPart::LeftEdge: return text("In", moved.inPoint);
    case BarPart::RightEdge: return text("Out", moved.outPoint == kToSourceEnd ? moved.duration : moved.outPoint);
    case BarPart::FadeInHandle: return text("Fade in", moved.fadeIn);
    case BarPart::FadeOutHandle: return text("Fade out", moved.fadeOut);
    case BarPart::None: break;
    }
    return {};
}

REFERENCE_TIME BarDrag::snapped(REFERENCE_TIME delta, const std::vector<REFERENCE_TIME>& edges) const
{
    REFERENCE_TIME best = reach_ + 1;
    REFERENCE_TIME shift = 0;
    auto consider = [&](REFERENCE_TIME at, REFERENCE_TIME target) {
        const REFERENCE_TIME distance = target > at ? target - at : at - target;
        if (distance < best) {
            best = distance;
            shift = target - at;
        }
    };
    for (REFERENCE_TIME edge : edges) {
        const REFERENCE_TIME at = edge + delta;
        for (REFERENCE_TIME target : targets_)
            consider(at, target);
    }
    // The ruler comes second: an entry's edge as near as a tick wins.
    for (REFERENCE_TIME edge : edges) {
        const REFERENCE_TIME at = edge + delta;
        consider(at, nearestMultiple(at, tick_));
    }
    return best <= reach_ ? delta + shift : delta;
}

MixItem BarDrag::move(REFERENCE_TIME delta, bool snap) const
{
    if (snap)
        delta = snapped(delta, stop_ > start_ ? std::vector{start_, stop_} : std::vector{start_});
    MixItem item = original_;
    item.startTime = std::max<REFERENCE_TIME>(0, start_ + delta);
    return item;
}

MixItem BarDrag::trimStart(REFERENCE_TIME delta, bool snap) const
{
    MixItem item = original_;
    const REFERENCE_TIME in = playedStart(original_);
    const REFERENCE_TIME out = playedStop(original_);
    const double speed = original_.speed;
    if (out - in < kShortestPart)
        return item;
    if (snap)
        delta = snapped(delta, {start_});
    // Output time d moves the in point by d * speed of source time; neither the file's start nor
    // the output's may be passed, and a part of the file must stay.
    const double lowest = std::max(-static_cast<double>(start_), -static_cast<double>(in) / speed);
    const double highest = static_cast<double>(out - in - kShortestPart) / speed;
    const double d = std::clamp(static_cast<double>(delta), std::min(lowest, 0.0), std::max(highest, 0.0));
    const REFERENCE_TIME outputShift = static_cast<REFERENCE_TIME>(std::llround(d));
    const REFERENCE_TIME sourceShift = std::clamp<REFERENCE_TIME>(std::llround(d * speed), -in,
                                                                  out - in - kShortestPart);
    item.startTime = std::max<REFERENCE_TIME>(0, start_ + outputShift);
    item.inPoint = in + sourceShift;
    return item;
}

MixItem BarDrag::trimEnd(REFERENCE_TIME delta, bool snap) const
{
    MixItem item = original_;
    const REFERENCE_TIME in = playedStart(original_);
    const REFERENCE_TIME out = playedStop(original_);
    if (out - in < kShortestPart)
        return item;
    if (snap)
        delta = snapped(delta, {stop_});
    const double shift = static_cast<double>(delta) * original_.speed;
    const double wanted = std::clamp(static_cast<double>(out) + shift, static_cast<double>(in + kShortestPart),
                                     static_cast<double>(original_.duration));
    const auto newOut = static_cast<REFERENCE_TIME>(std::llround(wanted));
    // Dragged to the file's end, the entry plays to the end again: no cut there.
    item.outPoint = newOut >= original_.duration ? kToSourceEnd : newOut;
    return item;
}

MixItem BarDrag::fade(REFERENCE_TIME delta) const
{
    MixItem item = original_;
    const REFERENCE_TIME length = stop_ - start_;
    const REFERENCE_TIME fadeIn = std::clamp<REFERENCE_TIME>(original_.fadeIn, 0, length);
    const REFERENCE_TIME fadeOut = std::clamp<REFERENCE_TIME>(original_.fadeOut, 0, length);
    // The two fades together fill the entry at most, so each handle stays where it is put.
    if (part_ == BarPart::FadeInHandle)
        item.fadeIn = std::clamp<REFERENCE_TIME>(fadeIn + delta, 0, length - fadeOut);
    else
        item.fadeOut = std::clamp<REFERENCE_TIME>(fadeOut - delta, 0, length - fadeIn);
    return item;
}

}  // namespace sonarel
