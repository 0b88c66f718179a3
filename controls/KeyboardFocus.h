// SPDX-License-Identifier: GPL-3.0-or-later
// Focus that people can see when they work with the keyboard. A widget shows its focus ring only
// while it has the focus and the focus came from the keyboard (Tab, Shift+Tab, a mnemonic) or a
// key was pressed on it since; a mouse press hides the ring again, so people who use the mouse
// see the widget's own look. The widget feeds its events in and asks whether to paint the ring.
#pragma once

#include <QRect>

class QFocusEvent;
class QPainter;
class QWidget;

namespace sonarel {

class KeyboardFocus {
public:
    // Each returns true when the ring's visibility changed, so the caller repaints.
    bool focusIn(const QFocusEvent& event);
    bool focusOut(const QFocusEvent& event);
    bool keyPressed();
    bool mousePressed();

    bool fromKeyboard() const { return fromKeyboard_; }
    // Whether `widget` should show its ring now.
    bool ringVisible(const QWidget& widget) const;

private:
    bool set(bool fromKeyboard);
    bool fromKeyboard_ = false;
};

// Paints a two-pixel ring in the palette's highlight colour (the colour the desktop uses for
// focus and selection) just inside `rect`, leaving the outermost pixel for the widget's own edge.
void paintFocusRing(QPainter& painter, const QWidget& widget, const QRect& rect);

}  // namespace sonarel
