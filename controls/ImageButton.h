// SPDX-License-Identifier: GPL-3.0-or-later
// The push button of the main window's command row: flat, an icon above its caption, a raised
// edge while the pointer is over it and a sunken edge while it is pressed, drawn over a captured
// copy of the parent's background so the window's picture shows through.
//
// User-interface thread only. The button owns its icons, sound effects and background cache.
//
// Keyboard: Space and Enter press the focused button. When the focus came from the keyboard the
// button shows a focus ring (see KeyboardFocus); a mouse user sees no ring. Screen readers get
// the caption as the button's name (the tooltip for a button without caption) and the tooltip
// as its description.
//
// Set-up, in the order the main window applies it to each button:
//   setIcon(path)                          — buttons with an icon only
//   setSound(hover sound, false, true)
//   drawTransparent(false)
//   setButtonCursor(cursor, true)
//   setTooltipText(text, true)
//   setAlign(AlignIconTop, true)
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QPoint>
#include <QPushButton>
#include <QSize>
#include <QUrl>

#include "controls/KeyboardFocus.h"

class QSoundEffect;

namespace sonarel {

class ImageButton : public QPushButton {
    Q_OBJECT

public:
    // How icon and caption are arranged. A button without caption always centres its icon.
    enum Align : int {
        AlignIconLeft = 0,   // icon at the left margin, caption centred in the rest
        AlignIconTop = 1,    // icon centred at the top margin, caption centred below it
        AlignIconRight = 2,  // icon at the right margin, caption centred in the rest
        AlignOverlap = 3,    // icon and caption both centred, the caption over the icon
    };
    static constexpr int kAlignRefused = 4;  // setAlign()'s answer to a value above 3

    explicit ImageButton(QWidget* parent = nullptr);
    explicit ImageButton(const QString& caption, QWidget* parent = nullptr);
    ~ImageButton() override;

    // Installs the icon shown normally, hot and pressed, and an optional icon shown while the
    // button is idle. Both old icons go first. A null icon leaves the button without one. The
    // icon is drawn at iconSize(), which is set to the icon's natural size: the picture's pixel
    // size for a path (":/icons/add.png"; QIcon adds an "@2x" file beside it on dense screens),
    // the smallest available size for a QIcon. Returns 0, or 1 when a picture cannot be read —
    // then the button is left without icons.
    int setIcon(const QIcon& icon, const QIcon& idleIcon = QIcon());
    int setIcon(const QString& path, const QString& idlePath = QString());

    // Sets the sound played when the pointer enters the button (onClick false) or when it is
    // clicked (onClick true); an empty source clears it. A string is a file or resource path
    // (":/sounds/hover.wav"). Playback never blocks and never waits for a busy device: a missing
    // file or a machine without sound output simply plays nothing. Sound objects are created at
    // the first play. `async` is kept for the callers' sake: playback is always asynchronous.
    // Returns 0.
    int setSound(const QUrl& source, bool onClick = false, bool async = true);
    int setSound(const QString& path, bool onClick = false, bool async = true);

    // Paints the background from a copy of the parent's pixels under the button instead of
    // filling it. The copy is taken at the next paint and reused until this is called again, the
    // palette or style changes, or the button is moved or resized.
    void drawTransparent(bool repaint = true);

    // The cursor shown over the button. A path names a picture whose PNG text entries
    // "HotSpotX" and "HotSpotY" give the hot spot (the centre without them). Returns 0, or 1 when
    // the picture cannot be loaded — then the default cursor is used.
    int setButtonCursor(const QCursor& cursor, bool repaint = false);
    int setButtonCursor(const QString& path, bool repaint = false);

    // Sets the tooltip text; a null text is ignored. With activate false no tooltip shows. The
    // text is also the accessible description, and the accessible name of a button without
    // caption.
    void setTooltipText(const QString& text, bool activate = true);

    // Accepts 0 to 3 (see Align) and returns 0; anything else is refused with kAlignRefused and
    // changes nothing.
    int setAlign(int align, bool repaint = true);

    // State. The button is flat (QPushButton::isFlat()) and "default" is QPushButton's own.
    bool isHot() const { return isHot_; }
    int align() const { return align_; }
    bool isTransparent() const { return transparent_; }
    bool drawBorderFlag() const { return drawBorderFlag_; }
    void setDrawBorderFlag(bool draw);
    bool drawFlatFocus() const { return drawFlatFocus_; }
    void setDrawFlatFocus(bool draw);
    QSize imageMargin() const { return imageMargin_; }
    QPoint pressedOffset() const { return pressedOffset_; }
    QUrl hoverSound() const { return hoverSound_.source; }
    QUrl clickSound() const { return clickSound_.source; }
    // How often a hover or click sound was started; counts also where no device makes it heard.
    int hoverSoundCount() const { return hoverSound_.plays; }
    int clickSoundCount() const { return clickSound_.plays; }
    // Whether the focus ring shows now.
    bool showsFocusRing() const { return keyboardFocus_.ringVisible(*this); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    struct PaintState {
        QRect item;    // the whole button
        bool pressed;  // held down
        bool focused;
        bool disabled;
    };

    // Drawing steps, called in this order by paintEvent(); a derived button may replace any.
    // drawBackground is used only when the button is not transparent.
    virtual void drawBackground(QPainter& painter, const PaintState& state);
    virtual void drawBorder(QPainter& painter, const PaintState& state);
    // Draws the icon and takes the space it uses out of `captionRect`.
    virtual void drawIcon(QPainter& painter, const PaintState& state, QRect& captionRect);
    virtual void drawText(QPainter& painter, const PaintState& state, const QRect& captionRect);

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Sound {
        QUrl source;
        QSoundEffect* effect = nullptr;  // child of the button, made at the first play
        int plays = 0;
    };

    void init();
    void clearIcons();
    void installIcon(const QIcon& icon, const QIcon& idleIcon, QSize naturalSize);
    void trackHover(QPoint position, Qt::MouseButtons buttons);
    void clearHot();
    void play(Sound& sound);
    void paintCapturedBackground(QPainter& painter);
    void discardBackground();
    void moveFocusToNextTabStop();

    QIcon icon_;
    QIcon idleIcon_;
    Sound hoverSound_;
    Sound clickSound_;
    QPixmap backgroundCache_;  // null while nothing is captured
    KeyboardFocus keyboardFocus_;

    bool isHot_ = false;
    bool transparent_ = false;
    bool drawBorderFlag_ = true;
    bool drawFlatFocus_ = false;
    int align_ = AlignIconLeft;
    QSize imageMargin_{3, 3};
    QPoint pressedOffset_{1, 1};
};

}  // namespace sonarel
