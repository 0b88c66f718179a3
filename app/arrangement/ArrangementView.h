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
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <vector>

#include "app/arrangement/ArrangementLayout.h"
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

    // Seconds into the mix, or a negative value for no play-head.
    void setPlayHead(double seconds);
    double playHead() const { return playHead_; }

    // The whole picture at the current zoom (narrowed to `maxWidth` when it is wider).
    QImage renderPicture(int maxWidth = 8192) const;

public Q_SLOTS:
    void refresh();  // the list changed
    void zoomIn();
    void zoomOut();
    void fitToWindow();

Q_SIGNALS:
    void entryActivated(int index);  // double click or Enter on a bar

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct Paint;  // the painting of one picture, shared by the window and the export
    void zoomAround(double factor, double viewportX);
    void updateScrollBars();
    void peaksArrived(const QString& path);
    int currentEntry() const;
    void makeCurrent(int index, bool toggle);
    void ensureVisible(int index);
    QPointF scroll() const;
    bool isSelected(int index) const;

    const MixItemStore& store_;
    PeakService& peaks_;
    QItemSelectionModel* selection_ = nullptr;
    ArrangementLayout layout_;
    std::vector<PeakLookup> lookups_;  // per entry
    std::vector<QString> paths_;       // per entry, absolute
    std::vector<QString> names_;       // per entry, as the list shows them
    double playHead_ = -1.0;
    bool fitted_ = false;  // the first refresh with a size fits the mix to the window
};

}  // namespace sonarel
