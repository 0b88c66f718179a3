// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/arrangement/ArrangementView.h"

#include <QApplication>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <cmath>
#include <optional>

#include "model/MixListRows.h"

namespace sonarel {

namespace {

constexpr double kZoomStep = 1.5;

QColor fillFor(double volume, bool selected)
{
    // Louder entries are drawn in a deeper blue; past 1 (amplified) the colour turns warmer.
    const double share = std::isfinite(volume) ? std::clamp(volume, 0.0, 1.0) : 0.0;
    if (std::isfinite(volume) && volume > 1.0)
        return selected ? QColor(0xf2, 0xb0, 0x5e) : QColor(0xf6, 0xc8, 0x8c);
    const QColor base = QColor::fromHsvF(0.59f, static_cast<float>(0.12 + 0.38 * share), 0.97f);
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
constexpr double kUnitsPerSecond = 1e7;
constexpr double kLabelGap = 6.0;  // pixels kept free between a ruler label and the "Total" tag

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
            const QColor fill = fillFor(bar.volume, selected);
            painter.fillPath(outline, bar.muted ? greyed(fill) : fill);
            waveform(bar, body);
        } else {
            // Missing, unreadable and unmixable entries are grey and hatched.
            painter.fillPath(outline, QColor(0xe4, 0xe4, 0xe4));
            painter.fillPath(outline,
                             QBrush(look == BarLook::Unmixable ? QColor(0x90, 0x90, 0x90) : QColor(0xc0, 0x40, 0x40),
                                    Qt::BDiagPattern));
        }
        edits(bar, body, outline, selected);
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

ArrangementView::ArrangementView(const MixItemStore& store, PeakService& peaks, QWidget* parent)
    : QAbstractScrollArea(parent), store_(store), peaks_(peaks)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setFocusProxy(this);
    viewport()->setMouseTracking(true);  // the cursor tells what a press would do
    setAccessibleName(QStringLiteral("Timeline of the mix list"));
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xf3, 0xf5, 0xf8));
    setPalette(p);
    connect(&peaks_, &PeakService::peaksArrived, this, &ArrangementView::peaksArrived);
    refresh();
}

void ArrangementView::setSelectionModel(QItemSelectionModel* selection)
{
    if (selection_)
        disconnect(selection_, nullptr, this, nullptr);
    selection_ = selection;
    if (selection_) {
        connect(selection_, &QItemSelectionModel::selectionChanged, viewport(), qOverload<>(&QWidget::update));
        connect(selection_, &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
            ensureVisible(current.row());
            setAccessibleDescription(barText(current.row()));
            viewport()->update();
        });
    }
    viewport()->update();
}

void ArrangementView::refresh()
{
    // A changed list ends a drag: the entry it held may be another one now.
    drag_.reset();
    dragMoved_ = false;
    layout_.setEntries(store_);
    const auto count = static_cast<std::size_t>(store_.audioCount());
    lookups_.assign(count, {});
    paths_.assign(count, {});
    names_.assign(count, {});
    for (int i = 0; i < store_.audioCount(); ++i) {
        const MixItem& item = store_.at(i);
        const auto slot = static_cast<std::size_t>(i);
        paths_[slot] = QFileInfo(item.filePathText()).absoluteFilePath();
        names_[slot] = QString::fromStdString(displayName(item.filePath));
        lookups_[slot] = peaks_.request(item.filePathText());
    }
    if (!fitted_ && viewport()->width() > 0 && isVisible()) {
        fitted_ = true;
        layout_.fitTo(viewport()->width());
        horizontalScrollBar()->setValue(0);
    }
    setAccessibleDescription(barText(currentEntry()));
    updateScrollBars();
    viewport()->update();
}

void ArrangementView::peaksArrived(const QString& path)
{
    bool changed = false;
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        if (paths_[i] == path) {
            lookups_[i] = peaks_.request(store_.at(static_cast<int>(i)).filePathText());
            changed = true;
        }
    }
    if (changed)
        viewport()->update();
}

ArrangementView::BarLook ArrangementView::lookOf(int index) const
{
    if (index < 0 || index >= static_cast<int>(lookups_.size()))
        return BarLook::Unmixable;
    switch (lookups_[static_cast<std::size_t>(index)].state) {
    case PeakState::Missing: return BarLook::Missing;
    case PeakState::Failed: return BarLook::Unreadable;
    default: break;
    }
    return layout_.bars()[static_cast<std::size_t>(index)].lengthKnown ? BarLook::Playable : BarLook::Unmixable;
}

PeakState ArrangementView::peakStateOf(int index) const
{
    if (index < 0 || index >= static_cast<int>(lookups_.size()))
        return PeakState::Missing;
    return lookups_[static_cast<std::size_t>(index)].state;
}

QRectF ArrangementView::barOnViewport(int index) const
{
    if (index < 0 || index >= static_cast<int>(layout_.bars().size()))
        return {};
    return layout_.bars()[static_cast<std::size_t>(index)].slot.translated(-scroll());
}

QPointF ArrangementView::fadeHandleOnViewport(int index, BarPart handle) const
{
    if (index < 0 || index >= static_cast<int>(layout_.bars().size()))
        return {};
    return fadeHandleAt(layout_.bars()[static_cast<std::size_t>(index)], handle, layout_.pixelsPerSecond()) - scroll();
}

QString ArrangementView::barText(int index) const
{
    if (index < 0 || index >= static_cast<int>(names_.size()) || index >= static_cast<int>(layout_.bars().size()))
        return {};
    QString text = names_[static_cast<std::size_t>(index)];
    switch (lookOf(index)) {
    case BarLook::Missing: text += QStringLiteral(" (missing)"); break;
    case BarLook::Unreadable: text += QStringLiteral(" (unreadable)"); break;
    case BarLook::Unmixable: text += QStringLiteral(" (cannot be mixed)"); break;
    case BarLook::Playable: break;
    }
    if (layout_.bars()[static_cast<std::size_t>(index)].muted)
        text += QStringLiteral(" (muted)");
    return text;
}

void ArrangementView::setPlayHead(double seconds)
{
    const double head = std::isfinite(seconds) && seconds >= 0 ? seconds : -1.0;
    if (head == playHead_)
        return;
    playHead_ = head;
    viewport()->update();
}

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

void ArrangementView::fitWhenRefreshed()
{
    fitted_ = false;
}

QPointF ArrangementView::scroll() const
{
    return {static_cast<double>(horizontalScrollBar()->value()), static_cast<double>(verticalScrollBar()->value())};
}

void ArrangementView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    Paint{*this, layout_, painter, QRectF(viewport()->rect()), scroll(), hasFocus()}.all();
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(QRectF(viewport()->rect()).adjusted(1, 1, -1, -1));
    }
}

void ArrangementView::updateScrollBars()
{
    const QSize content = layout_.contentSize();
    const QSize room = viewport()->size();
    horizontalScrollBar()->setPageStep(room.width());
    horizontalScrollBar()->setRange(0, std::max(0, content.width() - room.width()));
    verticalScrollBar()->setPageStep(room.height());
    verticalScrollBar()->setRange(0, std::max(0, content.height() - room.height()));
}

void ArrangementView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (!fitted_ && viewport()->width() > 0) {
        fitted_ = true;
        layout_.fitTo(viewport()->width());
    }
    updateScrollBars();
}

void ArrangementView::zoomAround(double factor, double viewportX)
{
    const double seconds = layout_.secondsAt(viewportX + horizontalScrollBar()->value());
    layout_.setPixelsPerSecond(layout_.pixelsPerSecond() * factor);
    updateScrollBars();
    horizontalScrollBar()->setValue(static_cast<int>(std::lround(layout_.xOf(seconds) - viewportX)));
    viewport()->update();
}

void ArrangementView::zoomIn()
{
    zoomAround(kZoomStep, viewport()->width() / 2.0);
}

void ArrangementView::zoomOut()
{
    zoomAround(1.0 / kZoomStep, viewport()->width() / 2.0);
}

void ArrangementView::fitToWindow()
{
    layout_.fitTo(viewport()->width());
    updateScrollBars();
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

bool ArrangementView::isSelected(int index) const
{
    return selection_ && selection_->model() && selection_->isRowSelected(index, QModelIndex());
}

int ArrangementView::currentEntry() const
{
    if (!selection_)
        return -1;
    const int row = selection_->currentIndex().row();
    return row < store_.audioCount() ? row : -1;
}

void ArrangementView::makeCurrent(int index, bool toggle)
{
    if (!selection_ || !selection_->model())
        return;
    if (index < 0) {
        selection_->clearSelection();
        return;
    }
    const QModelIndex cell = selection_->model()->index(index, 0);
    const auto rows = QItemSelectionModel::Rows;
    selection_->setCurrentIndex(cell,
                                (toggle ? QItemSelectionModel::Toggle : QItemSelectionModel::ClearAndSelect) | rows);
}

void ArrangementView::ensureVisible(int index)
{
    const QRectF bar = barOnViewport(index);
    if (bar.isEmpty())
        return;
    const QRect room = viewport()->rect().adjusted(0, layout_.metrics().rulerHeight, 0, 0);
    if (bar.right() > room.right())
        horizontalScrollBar()->setValue(
            horizontalScrollBar()->value() +
            static_cast<int>(std::min(bar.left() - room.left(), bar.right() - room.right())) + 10);
    else if (bar.left() < room.left())
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + static_cast<int>(bar.left() - room.left()) -
                                        10);
    if (bar.bottom() > room.bottom())
        verticalScrollBar()->setValue(verticalScrollBar()->value() + static_cast<int>(bar.bottom() - room.bottom()) +
                                      4);
    else if (bar.top() < room.top())
        verticalScrollBar()->setValue(verticalScrollBar()->value() + static_cast<int>(bar.top() - room.top()) - 4);
}

bool ArrangementView::event(QEvent* event)
{
    // Escape cancels a drag here rather than closing the window.
    if (event->type() == QEvent::ShortcutOverride && drag_ && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void ArrangementView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    if (event->position().y() < layout_.metrics().rulerHeight) {
        Q_EMIT rulerClicked(std::max(layout_.secondsAt(event->position().x() + scroll().x()), 0.0));
        event->accept();
        return;
    }
    const BarHit hit = hitBar(layout_, event->position() + scroll());
    const bool toggle = event->modifiers().testFlag(Qt::ControlModifier);
    drag_.reset();
    dragMoved_ = false;
    if (hit.index >= 0 || !toggle)
        makeCurrent(hit.index, toggle);
    if (hit.index >= 0 && !toggle) {
        BarDrag drag(store_, hit.index, hit.part, layout_);
        if (drag.part() != BarPart::None) {
            dragged_ = drag.original();
            drag_.emplace(std::move(drag));
            pressAt_ = event->position();
        }
    }
    event->accept();
}

void ArrangementView::mouseMoveEvent(QMouseEvent* event)
{
    if (!drag_ || !event->buttons().testFlag(Qt::LeftButton)) {
        showCursorFor(event->position());
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const QPointF moved = event->position() - pressAt_;
    if (!dragMoved_ && moved.manhattanLength() < QApplication::startDragDistance())
        return;
    dragMoved_ = true;
    follow(event->position(), event->modifiers());
    event->accept();
}

void ArrangementView::follow(QPointF viewportPoint, Qt::KeyboardModifiers modifiers)
{
    // Measured on the viewport, so a scroll on the press (to show the bar) moves nothing.
    pointer_ = viewportPoint;
    const double moved = viewportPoint.x() - pressAt_.x();
    const auto delta = static_cast<REFERENCE_TIME>(std::llround(moved / layout_.pixelsPerSecond() * kUnitsPerSecond));
    dragged_ = drag_->moved(delta, !modifiers.testFlag(Qt::ShiftModifier));
    layout_.preview(drag_->index(), dragged_);
    if (drag_->part() == BarPart::Body)
        viewport()->setCursor(Qt::ClosedHandCursor);
    updateScrollBars();
    viewport()->update();
}

void ArrangementView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !drag_) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    const int index = drag_->index();
    const bool moved = dragMoved_;
    const bool changed = moved && !sameProperties(dragged_, drag_->original());
    drag_.reset();
    dragMoved_ = false;
    if (changed)
        Q_EMIT entryEdited(index, dragged_.properties());
    if (moved)
        refresh();  // the list's values, whoever took the edit
    showCursorFor(event->position());
    event->accept();
}

void ArrangementView::cancelDrag()
{
    if (drag_)
        refresh();
}

void ArrangementView::showCursorFor(QPointF viewportPoint)
{
    switch (hitBar(layout_, viewportPoint + scroll()).part) {
    case BarPart::Body: viewport()->setCursor(Qt::OpenHandCursor); break;
    case BarPart::LeftEdge:
    case BarPart::RightEdge: viewport()->setCursor(Qt::SizeHorCursor); break;
    case BarPart::FadeInHandle:
    case BarPart::FadeOutHandle: viewport()->setCursor(Qt::PointingHandCursor); break;
    case BarPart::None: viewport()->unsetCursor(); break;
    }
}

void ArrangementView::nudge(int direction, bool fine)
{
    const int index = currentEntry();
    if (index < 0 || drag_)
        return;
    const double step = layout_.tickStep() / (fine ? 10.0 : 1.0);
    const auto shift = static_cast<REFERENCE_TIME>(std::llround(step * kUnitsPerSecond));
    EntryProperties properties = store_.at(index).properties();
    const REFERENCE_TIME start = std::max<REFERENCE_TIME>(0, properties.startTime + direction * shift);
    if (start == properties.startTime)
        return;
    properties.startTime = start;
    Q_EMIT entryEdited(index, properties);
    refresh();
    ensureVisible(index);
}

void ArrangementView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int index = hitBar(layout_, event->position() + scroll()).index;
    if (event->button() == Qt::LeftButton && index >= 0) {
        makeCurrent(index, false);
        Q_EMIT entryActivated(index);
    }
    event->accept();
}

void ArrangementView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers().testFlag(Qt::ControlModifier)) {
        const double steps = event->angleDelta().y() / 120.0;
        if (steps != 0)
            zoomAround(std::pow(1.25, steps), event->position().x());
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void ArrangementView::keyPressEvent(QKeyEvent* event)
{
    const int count = store_.audioCount();
    const int current = currentEntry();
    if (event->key() == Qt::Key_Escape && drag_) {
        cancelDrag();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Shift && drag_ && dragMoved_) {
        follow(pointer_, event->modifiers() | Qt::ShiftModifier);  // snapping stops at once
        event->accept();
        return;
    }
    const bool arrow = event->key() == Qt::Key_Left || event->key() == Qt::Key_Right;
    if (arrow && event->modifiers().testFlag(Qt::ControlModifier)) {
        nudge(event->key() == Qt::Key_Left ? -1 : 1, event->modifiers().testFlag(Qt::ShiftModifier));
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        if (count > 0)
            makeCurrent(current < 0 ? 0 : std::max(0, current - 1), false);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        if (count > 0)
            makeCurrent(current < 0 ? 0 : std::min(count - 1, current + 1), false);
        break;
    case Qt::Key_Home:
        if (count > 0)
            makeCurrent(0, false);
        break;
    case Qt::Key_End:
        if (count > 0)
            makeCurrent(count - 1, false);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (current >= 0)
            Q_EMIT entryActivated(current);
        break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
}

void ArrangementView::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Shift && drag_ && dragMoved_) {
        follow(pointer_, event->modifiers() & ~Qt::ShiftModifier);
        event->accept();
        return;
    }
    QAbstractScrollArea::keyReleaseEvent(event);
}

void ArrangementView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void ArrangementView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

}  // namespace sonarel
