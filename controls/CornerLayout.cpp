// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CornerLayout.h"

#include <QWidget>
#include <QWidgetItem>
#include <algorithm>

namespace sonarel {

CornerLayout::CornerLayout(QWidget* parent, const QSize& drawnSize) : QLayout(parent), drawnSize_(drawnSize)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

CornerLayout::~CornerLayout()
{
    for (const Entry& entry : entries_)
        delete entry.item;
}

void CornerLayout::addWidget(QWidget* widget, const QRect& place, Edges edges)
{
    addChildWidget(widget);
    entries_.append({new QWidgetItem(widget), place, edges});
    invalidate();
}

void CornerLayout::addItem(QLayoutItem* item)
{
    const QRect place = item->widget() != nullptr ? item->widget()->geometry() : item->geometry();
    entries_.append({item, place, Edges(Left) | Top});
}

QLayoutItem* CornerLayout::itemAt(int index) const
{
    return index >= 0 && index < entries_.size() ? entries_[index].item : nullptr;
}

QLayoutItem* CornerLayout::takeAt(int index)
{
    if (index < 0 || index >= entries_.size())
        return nullptr;
    return entries_.takeAt(index).item;
}

int CornerLayout::count() const
{
    return static_cast<int>(entries_.size());
}

QSize CornerLayout::sizeHint() const
{
    return drawnSize_;
}

QSize CornerLayout::minimumSize() const
{
    return drawnSize_;
}

QRect CornerLayout::placed(const QRect& place, Edges edges, const QSize& drawnSize, const QRect& area)
{
    // Smaller than drawn happens only while the window system has not yet applied the minimum;
    // the widgets then keep their drawn places rather than overlap.
    const int grownX = std::max(0, area.width() - drawnSize.width());
    const int grownY = std::max(0, area.height() - drawnSize.height());
    int left = place.left();
    int right = place.left() + place.width();
    int top = place.top();
    int bottom = place.top() + place.height();
    if (edges & Right) {
        right += grownX;
        if (!(edges & Left))
            left += grownX;
    }
    if (edges & Bottom) {
        bottom += grownY;
        if (!(edges & Top))
            top += grownY;
    }
    return {area.left() + left, area.top() + top, right - left, bottom - top};
}

void CornerLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    for (const Entry& entry : entries_) {
        const QRect where = placed(entry.place, entry.edges, drawnSize_, rect);
        // Straight to the widget: an item skips hidden widgets, which would show up in an old place.
        if (QWidget* widget = entry.item->widget())
            widget->setGeometry(where);
        else
            entry.item->setGeometry(where);
    }
}

}  // namespace sonarel
