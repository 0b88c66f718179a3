// SPDX-License-Identifier: GPL-3.0-or-later
// The arrangement: the picture of the mix list on its time line (the "Timeline" people see): a
// ruler in minutes and seconds, a bar per entry in lanes, each bar with the entry's file name, a
// height that shows its volume and a sketch of its waveform; the total length of the mix marked; a
// play-head while a mix runs.
//
// The view reads the store and shares the list's selection model (row i = entry i), so selecting
// here selects in the list and the other way round. It follows the list when refresh() is called.
// Peak levels come from a PeakService; bars draw their sketch as the levels arrive.
// Keys: Left/Right (Up/Down) move the current entry, Enter activates it, Ctrl+wheel zooms.
//
// Bars are edited by dragging (see BarDrag): the body moves, the edges trim, the handles at the top
// corners fade; Shift turns snapping off and Escape cancels. Ctrl+Left/Right nudge the current
// entry's start by a tick of the ruler (with Shift by a tenth of one).
//
// Each bar with volume points, and the current bar, shows its level line (see LevelLine): Ctrl and
// a click on the line add a point, a point is dragged in time and level, and Delete or a double
// click removes the point last pressed. The view changes nothing
// itself: a finished edit is handed on by entryEdited, and the bar shows it after refresh().
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <optional>
#include <utility>
#include <vector>

#include "app/arrangement/ArrangementLayout.h"
#include "app/arrangement/BarDrag.h"
#include "render/PeakService.h"

class QItemSelectionModel;

namespace sonarel {

class ArrangementView : public QAbstractScrollArea {
    Q_OBJECT

public:
    enum class BarLook { Playable, Missing, Unreadable, Unmixable };

    ArrangementView(const MixItemStore& store, PeakService& peaks, QWidget* parent = nullptr);

    void setSelectionModel(QItemSelectionModel* selection);
    const ArrangementLayout& layout() const { return layout_; }
    BarLook lookOf(int index) const;
    PeakState peakStateOf(int index) const;
    // The place of entry `index`'s bar on the viewport (scrolled), empty when there is none.
    QRectF barOnViewport(int index) const;
    // Where a fade handle of entry `index`'s bar is on the viewport.
    QPointF fadeHandleOnViewport(int index, BarPart handle) const;
    // What the bar of entry `index` says: its name, and whether it is missing, unreadable or muted.
    QString barText(int index) const;
    bool isDragging() const { return drag_.has_value() || pointDrag_.has_value(); }
    // Where point `point` of entry `index`'s level line is on the viewport (as drawn).
    QPointF volumePointOnViewport(int index, int point) const;
    // The point Delete removes: its entry and its place in the entry's points; -1 for none.
    std::pair<int, int> chosenPoint() const { return {pointEntry_, pointIndex_}; }
    // While a bar is dragged, the time the drag sets (BarDrag::readout), shown beside the pointer;
    // empty otherwise.
    QString dragReadout() const;

    // Where the ruler's time labels and the "Total" tag are on the viewport; a label that the tag
    // would cover is not shown.
    std::vector<QRectF> rulerLabelsOnViewport() const;
    QRectF totalTagOnViewport() const;  // empty when the mix has no length

    // The next refresh fits the whole mix to the window, as the first one does (a new list).
    void fitWhenRefreshed();

    // Seconds into the mix, or a negative value for no play-head.
    void setPlayHead(double seconds);
    double playHead() const { return playHead_; }

    // The whole picture at the current zoom (narrowed to `maxWidth` when it is wider), without the
    // selection and the focus.
    QImage renderPicture(int maxWidth = 8192) const;

public Q_SLOTS:
    void refresh();  // the list changed
    void zoomIn();
    void zoomOut();
    void fitToWindow();

Q_SIGNALS:
    void entryActivated(int index);     // double click or Enter on a bar
    void rulerClicked(double seconds);  // a press on the ruler, at that time of the mix
    // A drag or a nudge gave entry `index` new properties: one edit, for the list and its history.
    void entryEdited(int index, const sonarel::EntryProperties& properties);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct Paint;  // the painting of one picture, shared by the window and the export
    void paintReadout(QPainter& painter) const;
    void zoomAround(double factor, double viewportX);
    void updateScrollBars();
    void peaksArrived(const QString& path);
    int currentEntry() const;
    void makeCurrent(int index, bool toggle);
    void ensureVisible(int index);
    QPointF scroll() const;
    bool isSelected(int index) const;
    void showCursorFor(QPointF viewportPoint);
    void cancelDrag();
    void follow(QPointF viewportPoint, Qt::KeyboardModifiers modifiers);
    void nudge(int direction, bool fine);
    // The volume points of entry `index` as drawn: as a drag has them while one is dragged.
    const VolumePoints& pointsOf(int index) const;
    bool showsLevelLine(int index) const;
    bool pressPoint(QPointF picturePoint, bool control);
    void followPoint(QPointF viewportPoint);
    void removeChosenPoint();

    const MixItemStore& store_;
    PeakService& peaks_;
    QItemSelectionModel* selection_ = nullptr;
    ArrangementLayout layout_;
    std::vector<PeakLookup> lookups_;  // per entry
    std::vector<QString> paths_;       // per entry, absolute
    std::vector<QString> names_;       // per entry, as the list shows them
    double playHead_ = -1.0;
    bool fitted_ = false;          // the first refresh with a size fits the mix to the window
    std::optional<BarDrag> drag_;  // from a press on a bar to the release
    QPointF pressAt_;              // on the viewport
    QPointF pointer_;              // where the pointer was last seen during the drag
    bool dragMoved_ = false;       // past the drag distance: the bar follows the pointer
    MixItem dragged_;              // the entry as the drag has it now
    // A volume point pressed and maybe dragged: its entry, its place, and where it was drawn.
    struct PointDrag {
        int entry = -1;
        int point = -1;
        QPointF origin;  // picture coordinates
    };
    std::optional<PointDrag> pointDrag_;
    int pointEntry_ = -1;  // the point last pressed or added, which Delete removes
    int pointIndex_ = -1;
};

}  // namespace sonarel
