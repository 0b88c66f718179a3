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

#include "app/arrangement/LevelLine.h"
#include "model/MixListRows.h"

namespace sonarel {

namespace {
constexpr double kZoomStep = 1.5;
}  // namespace

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
    pointDrag_.reset();
    dragMoved_ = false;
    if (pointEntry_ >= store_.audioCount() ||
        (pointEntry_ >= 0 && pointIndex_ >= static_cast<int>(store_.at(pointEntry_).volumePoints.size()))) {
        pointEntry_ = -1;
        pointIndex_ = -1;
    }
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
    if (layout_.bars()[static_cast<std::size_t>(index)].duck)
        text += QStringLiteral(" (duck)");
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

void ArrangementView::fitWhenRefreshed()
{
    fitted_ = false;
}

QPointF ArrangementView::scroll() const
{
    return {static_cast<double>(horizontalScrollBar()->value()), static_cast<double>(verticalScrollBar()->value())};
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
    // Escape cancels a drag here rather than closing the window, and Delete takes a chosen point.
    if (event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Escape && isDragging()) || (key == Qt::Key_Delete && pointEntry_ >= 0)) {
            event->accept();
            return true;
        }
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
    const bool toggle = event->modifiers().testFlag(Qt::ControlModifier);
    drag_.reset();
    pointDrag_.reset();
    dragMoved_ = false;
    if (pressPoint(event->position() + scroll(), toggle)) {
        pressAt_ = event->position();
        event->accept();
        return;
    }
    const BarHit hit = hitBar(layout_, event->position() + scroll());
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
    if (pointDrag_ && event->buttons().testFlag(Qt::LeftButton)) {
        if (dragMoved_ || (event->position() - pressAt_).manhattanLength() >= QApplication::startDragDistance()) {
            dragMoved_ = true;
            followPoint(event->position());
        }
        event->accept();
        return;
    }
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
    const auto delta = nearestReferenceTime(moved / layout_.pixelsPerSecond());
    dragged_ = drag_->moved(delta, !modifiers.testFlag(Qt::ShiftModifier));
    layout_.preview(drag_->index(), dragged_);
    if (drag_->part() == BarPart::Body)
        viewport()->setCursor(Qt::ClosedHandCursor);
    updateScrollBars();
    viewport()->update();
}

void ArrangementView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && pointDrag_) {
        const int index = pointDrag_->entry;
        const bool changed = dragMoved_ && !sameProperties(dragged_, store_.at(index));
        pointDrag_.reset();
        if (changed)
            Q_EMIT entryEdited(index, dragged_.properties());
        if (dragMoved_)
            refresh();
        dragMoved_ = false;
        viewport()->update();
        event->accept();
        return;
    }
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

QString ArrangementView::dragReadout() const
{
    if (pointDrag_ && dragMoved_)
        return pointReadout(dragged_.volumePoints[static_cast<std::size_t>(pointDrag_->point)]);
    return drag_ && dragMoved_ ? drag_->readout(dragged_) : QString();
}

void ArrangementView::cancelDrag()
{
    if (isDragging())
        refresh();
}

const VolumePoints& ArrangementView::pointsOf(int index) const
{
    if (pointDrag_ && pointDrag_->entry == index)
        return dragged_.volumePoints;
    return store_.at(index).volumePoints;
}

bool ArrangementView::showsLevelLine(int index) const
{
    return index == currentEntry() || !store_.at(index).volumePoints.empty();
}

QPointF ArrangementView::volumePointOnViewport(int index, int point) const
{
    if (index < 0 || index >= static_cast<int>(layout_.bars().size()) || point < 0 ||
        point >= static_cast<int>(pointsOf(index).size()))
        return {};
    const VolumePoint& p = pointsOf(index)[static_cast<std::size_t>(point)];
    return levelLinePosition(layout_.bars()[static_cast<std::size_t>(index)], p.time, p.level,
                             layout_.pixelsPerSecond()) -
           scroll();
}

// A press on a point chooses it and may drag it; with Ctrl, a press on a shown level line adds a
// point there. Whether the press was taken.
bool ArrangementView::pressPoint(QPointF picturePoint, bool control)
{
    const int index = layout_.barAt(picturePoint);
    if (index < 0 || index >= store_.audioCount() || !showsLevelLine(index)) {
        pointEntry_ = pointIndex_ = -1;
        return false;
    }
    const ArrangementBar& bar = layout_.bars()[static_cast<std::size_t>(index)];
    const double pps = layout_.pixelsPerSecond();
    const VolumePoints& points = store_.at(index).volumePoints;
    const int near = pointNear(bar, points, picturePoint, pps);
    if (near >= 0 && !control) {
        makeCurrent(index, false);
        pointEntry_ = index;
        pointIndex_ = near;
        dragged_ = store_.at(index);
        pointDrag_ = PointDrag{index, near,
                               levelLinePosition(bar, points[static_cast<std::size_t>(near)].time,
                                                 points[static_cast<std::size_t>(near)].level, pps)};
        viewport()->update();
        return true;
    }
    if (control && onLevelLine(bar, points, picturePoint, pps)) {
        MixItem item = store_.at(index);
        const int added = addPointOnLine(item.volumePoints, levelLinePoint(bar, picturePoint, pps).time);
        if (added < 0)
            return true;  // a point is there already
        makeCurrent(index, false);
        pointEntry_ = index;
        pointIndex_ = added;
        Q_EMIT entryEdited(index, item.properties());
        refresh();
        return true;
    }
    pointEntry_ = pointIndex_ = -1;
    return false;
}

void ArrangementView::followPoint(QPointF viewportPoint)
{
    const ArrangementBar& bar = layout_.bars()[static_cast<std::size_t>(pointDrag_->entry)];
    const QPointF to = pointDrag_->origin + (viewportPoint - pressAt_);
    dragged_ = store_.at(pointDrag_->entry);
    movePoint(dragged_.volumePoints, pointDrag_->point, levelLinePoint(bar, to, layout_.pixelsPerSecond()));
    pointer_ = viewportPoint;
    viewport()->update();
}

void ArrangementView::removeChosenPoint()
{
    const int index = pointEntry_;
    if (index < 0 || index >= store_.audioCount() || isDragging())
        return;
    MixItem item = store_.at(index);
    if (pointIndex_ < 0 || pointIndex_ >= static_cast<int>(item.volumePoints.size()))
        return;
    item.volumePoints.erase(item.volumePoints.begin() + pointIndex_);
    pointEntry_ = pointIndex_ = -1;
    Q_EMIT entryEdited(index, item.properties());
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
    const auto shift = nearestReferenceTime(step);
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
    const QPointF at = event->position() + scroll();
    const int index = hitBar(layout_, at).index;
    const int point = index >= 0 && showsLevelLine(index)
                          ? pointNear(layout_.bars()[static_cast<std::size_t>(index)], store_.at(index).volumePoints,
                                      at, layout_.pixelsPerSecond())
                          : -1;
    if (event->button() == Qt::LeftButton && point >= 0) {
        pointDrag_.reset();
        pointEntry_ = index;
        pointIndex_ = point;
        removeChosenPoint();
        event->accept();
        return;
    }
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
    if (event->key() == Qt::Key_Escape && isDragging()) {
        cancelDrag();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Delete && pointEntry_ >= 0) {
        removeChosenPoint();
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
