// SPDX-License-Identifier: GPL-3.0-or-later
// ArrangementView's drawing: lanes, bars with their waveforms, fades and labels, the ruler, the
// play-head and the focus, for the window and for the exported picture alike.
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "app/arrangement/ArrangementView.h"
#include "app/arrangement/LevelLine.h"
#include "model/MixListRows.h"

namespace sonarel {

namespace {

// The hues of the groups, in the order they first appear in the list: far from the blue of the
// entries without a group and from each other.
constexpr std::array<float, 6> kGroupHues = {0.33f, 0.80f, 0.10f, 0.48f, 0.95f, 0.17f};

QColor fillFor(double volume, bool selected, int group)
{
    // Louder entries are drawn in a deeper colour; past 1 (amplified) an entry without a group
    // turns warmer, one in a group deeper still in its group's colour.
    const double share = std::isfinite(volume) ? std::clamp(volume, 0.0, 1.0) : 0.0;
    const bool amplified = std::isfinite(volume) && volume > 1.0;
    if (amplified && group < 0)
        return selected ? QColor(0xf2, 0xb0, 0x5e) : QColor(0xf6, 0xc8, 0x8c);
    const float hue = group < 0 ? 0.59f : kGroupHues[static_cast<std::size_t>(group) % kGroupHues.size()];
    const QColor base = QColor::fromHsvF(hue, static_cast<float>(0.12 + 0.38 * share + (amplified ? 0.2 : 0.0)), 0.97f);
    return selected ? base.darker(125) : base;
}

// A muted entry keeps its shade, drained of colour.
QColor greyed(const QColor& colour)
{
    const float value = static_cast<float>(colour.valueF());
    return QColor::fromHsvF(colour.hsvHueF() < 0 ? 0.0f : static_cast<float>(colour.hsvHueF()), 0.04f,
                            std::min(1.0f, value * 0.92f));
}

const QColor kEditMarks(0x20, 0x30, 0x50);
// The level a bar is ducked to.
const QColor kDuckLine(0xb0, 0x10, 0x90);     // magenta, apart from the volume points' line
const QColor kLevelLine(0xd0, 0x68, 0x10);    // volume points: apart from the fades' marks
const QColor kChapterMark(0x10, 0x60, 0xa0);  // blue, apart from the total mark's red
constexpr double kLabelGap = 6.0;             // pixels kept free between a ruler label and the "Total" tag

struct RulerText {
    QRectF place;  // on the painter, scrolled
    QString text;
};

// The "Total" tag hanging left of the total mark, when the mix has a length.
std::optional<RulerText> totalTag(const ArrangementLayout& layout, const QFontMetricsF& metrics, double scrollX)
{
    if (layout.totalSeconds() <= 0)
        return std::nullopt;
    const double x = layout.totalX() - scrollX;
    const QString text = QStringLiteral("Total %1").arg(ArrangementLayout::timeText(layout.totalSeconds(), 0.1));
    const double width = metrics.horizontalAdvance(text) + 8;
    const double height = metrics.height() + 2;
    return RulerText{QRectF(x - width, layout.metrics().rulerHeight - height, width, height), text};
}

// The labels of the major ticks between two x positions of the painter; a label the tag would
// cover is left out, the tag says more.
std::vector<RulerText> rulerLabels(const ArrangementLayout& layout, const QFontMetricsF& metrics, double fromX,
                                   double toX, double scrollX, const std::optional<RulerText>& tag)
{
    std::vector<RulerText> labels;
    for (const ArrangementTick& tick : layout.ticks(fromX + scrollX - 100, toX + scrollX)) {
        if (!tick.major)
            continue;
        const QRectF place(tick.x - scrollX + 3, 2, metrics.horizontalAdvance(tick.label), metrics.height());
        if (tag && place.adjusted(-kLabelGap, 0, kLabelGap, 0).intersects(tag->place))
            continue;
        labels.push_back({place, tick.label});
    }
    return labels;
}

}  // namespace

// Paints the picture of a layout into a painter whose origin is the picture's top-left corner,
// `scroll` pixels scrolled; only what meets `exposed` (in painter coordinates) is drawn.
struct ArrangementView::Paint {
    const ArrangementView& view;
    const ArrangementLayout& layout;
    QPainter& painter;
    QRectF exposed;
    QPointF scroll;
    bool focus;
    bool showSelection = true;  // a picture for export shows the mix, not what is selected

    void all()
    {
        const QPalette& palette = view.palette();
        painter.fillRect(exposed, palette.color(QPalette::Base));
        lanes();
        for (const ArrangementBar& bar : layout.bars())
            this->bar(bar);
        if (layout.bars().empty()) {
            painter.setPen(palette.color(QPalette::PlaceholderText));
            painter.drawText(exposed.adjusted(0, layout.metrics().rulerHeight, 0, 0), Qt::AlignCenter,
                             QStringLiteral("The list is empty: add files to see them here."));
        }
        totalMark();
        ruler();
        chapterMarks();
        playHead();
    }

    QRectF shifted(const QRectF& rect) const { return rect.translated(-scroll); }

    void lanes()
    {
        const ArrangementLayout::Metrics& m = layout.metrics();
        const QColor stripe = view.palette().color(QPalette::AlternateBase);
        for (int lane = 0; lane < std::max(1, layout.laneCount()); ++lane) {
            if (lane % 2 == 0)
                continue;
            const double top = m.rulerHeight + m.margin + lane * (m.laneHeight + m.laneGap) - m.laneGap / 2.0 -
                               scroll.y();
            painter.fillRect(QRectF(exposed.left(), top, exposed.width(), m.laneHeight + m.laneGap), stripe);
        }
    }

    void bar(const ArrangementBar& bar)
    {
        const QRectF slot = shifted(bar.slot);
        if (!slot.intersects(exposed))
            return;
        const QRectF body = shifted(bar.body);
        const BarLook look = view.lookOf(bar.index);
        const bool selected = showSelection && view.isSelected(bar.index);
        const QPalette& palette = view.palette();

        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, true);
        QPainterPath outline;
        outline.addRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        if (look == BarLook::Playable) {
            const QColor fill = fillFor(bar.volume, selected, bar.group);
            painter.fillPath(outline, bar.muted ? greyed(fill) : fill);
            waveform(bar, body);
            ducking(bar, body, outline);
        } else {
            // Missing, unreadable and unmixable entries are grey and hatched.
            painter.fillPath(outline, QColor(0xe4, 0xe4, 0xe4));
            painter.fillPath(outline,
                             QBrush(look == BarLook::Unmixable ? QColor(0x90, 0x90, 0x90) : QColor(0xc0, 0x40, 0x40),
                                    Qt::BDiagPattern));
        }
        edits(bar, body, outline, selected);
        levelLine(bar);
        QColor edge = selected ? palette.color(QPalette::Highlight) : QColor(0x40, 0x58, 0x80);
        QPen pen(bar.muted ? greyed(edge) : edge, selected ? 2.5 : 1.0);
        if (look != BarLook::Playable || bar.muted)
            pen.setStyle(Qt::DashLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(outline);
        if (focus && bar.index == view.currentEntry()) {
            QPen dotted(palette.color(QPalette::Text), 1.0, Qt::DotLine);
            painter.setPen(dotted);
            painter.drawRect(slot.adjusted(-2, -2, 2, 2));
        }
        label(bar, body);
        painter.restore();
    }

    // The fades as shaded corners under a sloped line, a notch at each edge cut into the file,
    // and the fade handles of selected or faded bars.
    void edits(const ArrangementBar& bar, const QRectF& body, const QPainterPath& outline, bool selected)
    {
        if (!bar.lengthKnown)
            return;
        const double pps = layout.pixelsPerSecond();
        const QColor shade(kEditMarks.red(), kEditMarks.green(), kEditMarks.blue(), 90);
        painter.save();
        painter.setClipPath(outline, Qt::IntersectClip);
        painter.setPen(QPen(kEditMarks, 1.5));
        const double in = std::min(body.width(), bar.fadeInSeconds * pps);
        if (in >= 0.5) {
            const QPolygonF corner({body.topLeft(), QPointF(body.left() + in, body.top()), body.bottomLeft()});
            painter.setBrush(shade);
            painter.drawPolygon(corner);
        }
        const double out = std::min(body.width(), bar.fadeOutSeconds * pps);
        if (out >= 0.5) {
            const QPolygonF corner({body.topRight(), QPointF(body.right() - out, body.top()), body.bottomRight()});
            painter.setBrush(shade);
            painter.drawPolygon(corner);
        }
        const double notch = std::min(7.0, body.width() / 3);
        painter.setPen(Qt::NoPen);
        painter.setBrush(kEditMarks);
        if (bar.cutStart)
            painter.drawPolygon(QPolygonF({body.bottomLeft(), QPointF(body.left() + notch, body.bottom()),
                                           QPointF(body.left(), body.bottom() - notch)}));
        if (bar.cutEnd)
            painter.drawPolygon(QPolygonF({body.bottomRight(), QPointF(body.right() - notch, body.bottom()),
                                           QPointF(body.right(), body.bottom() - notch)}));
        painter.restore();
        if (body.width() < 4 * BarDrag::kHandlePixels)
            return;
        for (BarPart handle : {BarPart::FadeInHandle, BarPart::FadeOutHandle}) {
            const bool faded = (handle == BarPart::FadeInHandle ? bar.fadeInSeconds : bar.fadeOutSeconds) > 0;
            if (!selected && !faded)
                continue;
            const QPointF centre = fadeHandleAt(bar, handle, pps) - scroll;
            painter.setPen(QPen(kEditMarks, 1.0));
            painter.setBrush(Qt::white);
            painter.drawRect(QRectF(centre.x() - 3.5, centre.y() - 3.5, 7, 7));
        }
    }

    // Where a duck entry lowers the bar: the lowered level as a line, shaded above it.
    void ducking(const ArrangementBar& bar, const QRectF& body, const QPainterPath& outline)
    {
        if (!bar.ducked)
            return;
        const double pps = layout.pixelsPerSecond();
        const double laneHeight = layout.metrics().laneHeight;
        const double middle = body.center().y();
        QPolygonF level;
        for (double seconds : layout.duckCorners(bar.startSeconds, bar.startSeconds + bar.lengthSeconds)) {
            const double height = laneHeight * ArrangementLayout::heightShare(bar.volume * layout.duckGainAt(seconds));
            level << QPointF(body.left() + (seconds - bar.startSeconds) * pps, middle - height / 2.0);
        }
        QPolygonF above = level;
        above << body.topRight() << body.topLeft();
        painter.save();
        painter.setClipPath(outline, Qt::IntersectClip);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x30, 0x30, 0x30, 60));
        painter.drawPolygon(above);
        painter.setPen(QPen(kDuckLine, 1.5));
        painter.drawPolyline(level);
        painter.restore();
    }

    // The level the volume points give, as a line over the slot with a square at each point; the
    // point Delete would remove is filled.
    void levelLine(const ArrangementBar& bar)
    {
        const VolumePoints& points = view.pointsOf(bar.index);
        if (!bar.lengthKnown || (points.empty() && !(showSelection && view.showsLevelLine(bar.index))))
            return;
        const double pps = layout.pixelsPerSecond();
        const REFERENCE_TIME first = nearestReferenceTime(bar.inSeconds);
        const REFERENCE_TIME last = nearestReferenceTime(bar.inSeconds + bar.lengthSeconds * bar.speed);
        QPolygonF line;
        line << levelLinePosition(bar, first, pointsLevelAt(points, first), pps) - scroll;
        for (const VolumePoint& point : points)
            if (point.time > first && point.time < last)
                line << levelLinePosition(bar, point.time, point.level, pps) - scroll;
        line << levelLinePosition(bar, last, pointsLevelAt(points, last), pps) - scroll;
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setClipRect(shifted(bar.slot).adjusted(-4, -4, 4, 4), Qt::IntersectClip);
        painter.setPen(QPen(kLevelLine, 1.5));
        painter.drawPolyline(line);
        const auto chosen = view.chosenPoint();
        for (std::size_t i = 0; i < points.size(); ++i) {
            if (points[i].time < first || points[i].time > last)
                continue;
            const QPointF centre = levelLinePosition(bar, points[i].time, points[i].level, pps) - scroll;
            const bool filled = showSelection && chosen.first == bar.index && chosen.second == static_cast<int>(i);
            painter.setBrush(filled ? kLevelLine : QColor(Qt::white));
            painter.drawRect(QRectF(centre.x() - 3, centre.y() - 3, 6, 6));
        }
        painter.restore();
    }

    void waveform(const ArrangementBar& bar, const QRectF& body)
    {
        const PeakLookup& lookup = view.lookups_[static_cast<std::size_t>(bar.index)];
        if (lookup.state != PeakState::Ready || !lookup.levels || !bar.lengthKnown)
            return;
        const double speed = bar.speed;
        const double pps = layout.pixelsPerSecond();
        const double from = std::max(body.left(), exposed.left());
        const double to = std::min(body.right(), exposed.right());
        const double middle = body.center().y();
        const double half = body.height() / 2.0 - 2.0;
        std::vector<QLineF> lines;
        lines.reserve(static_cast<std::size_t>(std::max(0.0, to - from)) + 1);
        for (double x = std::floor(from); x < to; x += 1.0) {
            // Output time within the bar, then media time: the media runs `speed` times as fast
            // from the in point.
            const double a = bar.inSeconds + (x - body.left()) / pps * speed;
            const double b = bar.inSeconds + (x + 1.0 - body.left()) / pps * speed;
            const double level = lookup.levels->peakBetween(a, b);
            if (level <= 0)
                continue;
            const double h = std::max(0.5, level * half);
            lines.emplace_back(x + 0.5, middle - h, x + 0.5, middle + h);
        }
        painter.setPen(QPen(bar.muted ? QColor(0x60, 0x60, 0x60, 120) : QColor(0x27, 0x4a, 0x7a, 170), 1.0));
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.drawLines(lines.data(), static_cast<int>(lines.size()));
        painter.setRenderHint(QPainter::Antialiasing, true);
    }

    void label(const ArrangementBar& bar, const QRectF& body)
    {
        // The name stays in sight while the start of a long bar is scrolled away.
        QRectF textRect = body.adjusted(4, 1, -4, -1);
        textRect.setLeft(std::max(textRect.left(), exposed.left() + 4));
        if (textRect.width() < 12)
            return;
        const QString text = view.barText(bar.index);
        const QFontMetricsF metrics(painter.font());
        const QString shown = metrics.elidedText(text, Qt::ElideRight, textRect.width());
        // A pale backing keeps the name readable over the waveform.
        const QRectF backing(textRect.left() - 2, textRect.top(), metrics.horizontalAdvance(shown) + 4,
                             std::min(metrics.height(), textRect.height()));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 170));
        painter.drawRoundedRect(backing, 2, 2);
        painter.setPen(QColor(0x10, 0x18, 0x28));
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop, shown);
    }

    void totalMark()
    {
        if (layout.totalSeconds() <= 0)
            return;
        const double x = layout.totalX() - scroll.x();
        if (x < exposed.left() - 1 || x > exposed.right() + 1)
            return;
        painter.save();
        painter.setPen(QPen(QColor(0xc0, 0x20, 0x20), 1.5, Qt::DashLine));
        painter.drawLine(QPointF(x, layout.metrics().rulerHeight), QPointF(x, exposed.bottom()));
        painter.restore();
    }

    void ruler()
    {
        const ArrangementLayout::Metrics& m = layout.metrics();
        const QPalette& palette = view.palette();
        const QRectF band(exposed.left(), 0, exposed.width(), m.rulerHeight);
        painter.fillRect(band, palette.color(QPalette::Button));
        painter.setPen(palette.color(QPalette::Mid));
        painter.drawLine(QPointF(band.left(), band.bottom()), QPointF(band.right(), band.bottom()));
        painter.setPen(palette.color(QPalette::ButtonText));
        const QFontMetricsF metrics(painter.font());
        for (const ArrangementTick& tick :
             layout.ticks(exposed.left() + scroll.x() - 100, exposed.right() + scroll.x())) {
            const double x = tick.x - scroll.x();
            const double length = tick.major ? m.rulerHeight / 2.0 : m.rulerHeight / 4.0;
            painter.drawLine(QPointF(x, m.rulerHeight - length), QPointF(x, m.rulerHeight));
        }
        const std::optional<RulerText> tag = totalTag(layout, metrics, scroll.x());
        for (const RulerText& label : rulerLabels(layout, metrics, exposed.left(), exposed.right(), scroll.x(), tag))
            painter.drawText(QPointF(label.place.left(), metrics.ascent() + 2), label.text);
        if (tag) {
            painter.fillRect(tag->place, QColor(0xc0, 0x20, 0x20));
            painter.setPen(Qt::white);
            painter.drawText(tag->place, Qt::AlignCenter, tag->text);
        }
    }

    // Each chapter: a flag on the ruler at its start with its title, cut short before the next.
    void chapterMarks()
    {
        const std::vector<ArrangementChapter>& chapters = layout.chapters();
        if (chapters.empty())
            return;
        const double height = layout.metrics().rulerHeight;
        const QFontMetricsF metrics(painter.font());
        const double labelHeight = std::min(metrics.height() + 2, height / 2.0 + 2);
        painter.save();
        for (std::size_t i = 0; i < chapters.size(); ++i) {
            const double x = chapters[i].x - scroll.x();
            const double next = i + 1 < chapters.size() ? chapters[i + 1].x - scroll.x() : exposed.right() + 1000;
            if (next < exposed.left() || x > exposed.right())
                continue;
            painter.setPen(QPen(kChapterMark, 2.0));
            painter.drawLine(QPointF(x, 0), QPointF(x, height));
            const double room = std::min(next - x - 4, metrics.horizontalAdvance(chapters[i].title) + 8);
            if (room < 12)
                continue;
            const QRectF flag(x, height - labelHeight, room, labelHeight);
            painter.fillRect(flag, kChapterMark);
            painter.setPen(Qt::white);
            painter.drawText(flag.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                             metrics.elidedText(chapters[i].title, Qt::ElideRight, room - 6));
        }
        painter.restore();
    }

    void playHead()
    {
        if (view.playHead_ < 0)
            return;
        const double x = layout.xOf(view.playHead_) - scroll.x();
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(QColor(0x10, 0x90, 0x30), 2.0));
        painter.drawLine(QPointF(x, 0), QPointF(x, exposed.bottom()));
        QPainterPath head;
        head.moveTo(x - 6, 0);
        head.lineTo(x + 6, 0);
        head.lineTo(x, 8);
        head.closeSubpath();
        painter.fillPath(head, QColor(0x10, 0x90, 0x30));
        painter.restore();
    }
};

QImage ArrangementView::renderPicture(int maxWidth) const
{
    ArrangementLayout picture = layout_;
    if (picture.contentSize().width() > maxWidth)
        picture.fitTo(maxWidth);
    const QSize size = picture.contentSize();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font());
    Paint{*this, picture, painter, QRectF(QPointF(0, 0), size), QPointF(0, 0), false, false}.all();
    return image;
}

std::vector<QRectF> ArrangementView::rulerLabelsOnViewport() const
{
    const QFontMetricsF metrics(font());
    std::vector<QRectF> places;
    for (const RulerText& label :
         rulerLabels(layout_, metrics, 0, viewport()->width(), scroll().x(), totalTag(layout_, metrics, scroll().x())))
        places.push_back(label.place);
    return places;
}

QRectF ArrangementView::totalTagOnViewport() const
{
    const std::optional<RulerText> tag = totalTag(layout_, QFontMetricsF(font()), scroll().x());
    return tag ? tag->place : QRectF();
}

// A tag under and right of the pointer, kept inside the viewport.
void ArrangementView::paintReadout(QPainter& painter) const
{
    const QString text = dragReadout();
    if (text.isEmpty())
        return;
    const QFontMetricsF metrics(font());
    QRectF tag(pointer_ + QPointF(12, 16), metrics.size(0, text) + QSizeF(8, 4));
    const QRectF room = QRectF(viewport()->rect());
    tag.moveRight(std::min(tag.right(), room.right() - 2));
    tag.moveBottom(std::min(tag.bottom(), room.bottom() - 2));
    painter.save();
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.setBrush(palette().color(QPalette::ToolTipBase));
    painter.drawRect(tag);
    painter.drawText(tag, Qt::AlignCenter, text);
    painter.restore();
}

void ArrangementView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    Paint{*this, layout_, painter, QRectF(viewport()->rect()), scroll(), hasFocus()}.all();
    paintReadout(painter);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(QRectF(viewport()->rect()).adjusted(1, 1, -1, -1));
    }
}

}  // namespace sonarel
