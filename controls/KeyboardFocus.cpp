// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/KeyboardFocus.h"

#include <QFocusEvent>
#include <QPainter>
#include <QWidget>

namespace sonarel {

bool KeyboardFocus::set(bool fromKeyboard)
{
    const bool changed = fromKeyboard_ != fromKeyboard;
    fromKeyboard_ = fromKeyboard;
    return changed;
}

bool KeyboardFocus::focusIn(const QFocusEvent& event)
{
    switch (event.reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason: return set(true);
    case Qt::MouseFocusReason: return set(false);
    default:
        // The window coming back, a popup closing or a programmatic move keep what the person
        // was doing before.
        return false;
    }
}

bool KeyboardFocus::focusOut(const QFocusEvent& event)
{
    // Clicked away: whatever later gives the focus back without saying how finds the mouse in use.
    return event.reason() == Qt::MouseFocusReason && set(false);
}

bool KeyboardFocus::keyPressed()
{
    return set(true);
}

bool KeyboardFocus::mousePressed()
{
    return set(false);
}

bool KeyboardFocus::ringVisible(const QWidget& widget) const
{
    return fromKeyboard_ && widget.hasFocus();
}

void paintFocusRing(QPainter& painter, const QWidget& widget, const QRect& rect)
{
    constexpr int kWidth = 2;
    const QRect ring = rect.adjusted(1, 1, -1, -1);
    if (ring.width() <= 2 * kWidth || ring.height() <= 2 * kWidth)
        return;
    const QColor colour = widget.palette().color(QPalette::Active, QPalette::Highlight);
    painter.save();
    painter.fillRect(ring.left(), ring.top(), ring.width(), kWidth, colour);
    painter.fillRect(ring.left(), ring.bottom() - kWidth + 1, ring.width(), kWidth, colour);
    painter.fillRect(ring.left(), ring.top() + kWidth, kWidth, ring.height() - 2 * kWidth, colour);
    painter.fillRect(ring.right() - kWidth + 1, ring.top() + kWidth, kWidth, ring.height() - 2 * kWidth, colour);
    painter.restore();
}

}  // namespace sonarel
