// SPDX-License-Identifier: GPL-3.0-or-later
// A layout for windows drawn at one size that may grow: every widget keeps the place it has at the
// drawn size, and each of its edges either stays with the window's left or top edge or moves with
// its right or bottom edge. A widget tied to both sides of a direction stretches in it. The drawn
// size is the least the window can be made; a menu bar set with setMenuBar() sits above it all.
#pragma once

#include <QLayout>
#include <QList>
#include <QRect>
#include <QSize>

namespace sonarel {

class CornerLayout : public QLayout {
public:
    // Which edges of the window a widget follows as the window grows.
    enum Edge { Left = 1, Top = 2, Right = 4, Bottom = 8 };
    Q_DECLARE_FLAGS(Edges, Edge)

    // `drawnSize`: the size the places below are given for (without a menu bar).
    CornerLayout(QWidget* parent, const QSize& drawnSize);
    ~CornerLayout() override;

    // `place` in pixels within the drawn size.
    void addWidget(QWidget* widget, const QRect& place, Edges edges = Edges(Left) | Top);

    // QLayout
    void addItem(QLayoutItem* item) override;  // at its current geometry, following the top left
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

    // Where `place` goes when the area for the drawn size is `area`.
    static QRect placed(const QRect& place, Edges edges, const QSize& drawnSize, const QRect& area);

private:
    struct Entry {
        QLayoutItem* item;
        QRect place;
        Edges edges;
    };
    QList<Entry> entries_;
    QSize drawnSize_;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(CornerLayout::Edges)

}  // namespace sonarel
