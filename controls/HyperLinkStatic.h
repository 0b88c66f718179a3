// SPDX-License-Identifier: GPL-3.0-or-later
// A text label that acts as a link: blue and underlined, a pointing-hand cursor, a tooltip with
// its address, red while the pointer is over it, purple once it has been opened, and a click (or
// Enter or Space when it has the keyboard focus) that opens the address. When the desktop cannot
// open the address, the link starts the default web browser itself; when that fails too, it beeps
// and says why.
//
// Use: create it with its text, place it, call attach(), then setLinkAddress() and setUnderline()
// as needed. Leaving the link is detected by polling the pointer every 100 ms, so it is noticed
// also when the pointer jumps to another window and no leave event arrives.
//
// User-interface thread only. Messages, the beep and launches go through the Desktop interface,
// which must outlive the link.
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QTimer>

namespace sonarel {

class Desktop;

class HyperLinkStatic : public QLabel {
    Q_OBJECT

public:
    enum Underline : int {
        UnderlineWhileOver = -1,  // underlined only while the pointer is over the link
        UnderlineNever = 0,
        UnderlineAlways = 1,
    };
    static constexpr int kHoverTimerInterval = 100;  // ms between pointer checks while over
    static constexpr int kOpened = 33;               // openLink() answers above 32 mean success

    explicit HyperLinkStatic(Desktop& desktop, const QString& text = QString(), QWidget* parent = nullptr);

    // Turns the placed label into a link: takes its text as the address when none is set (or the
    // address as its text when it has none), makes the plain and underlined fonts from its font,
    // fits it to its text, shows the hand cursor, and starts with UnderlineWhileOver.
    void attach();
    bool isAttached() const { return attached_; }

    // Stores the address; once attached, also refits the link and sets the tooltip to it.
    void setLinkAddress(const QString& address);
    QString linkAddress() const { return linkAddress_; }

    // One of Underline; the font changes at once when attached.
    void setUnderline(int mode);
    int underline() const { return underlineMode_; }

    // Whether attach() and setLinkAddress() resize the label to its text (on by default).
    void setAdjustToFit(bool adjust) { adjustToFit_ = adjust; }
    bool adjustToFit() const { return adjustToFit_; }

    // Resizes the label to its text measured in the underlined font, plus its frame. The vertical
    // centre stays with Qt::AlignVCenter, else the top edge; the horizontal centre stays with
    // Qt::AlignHCenter, the right edge with Qt::AlignRight, else the left edge.
    void fitToText();

    QColor linkColour() const { return linkColour_; }
    QColor visitedColour() const { return visitedColour_; }
    QColor hoverColour() const { return hoverColour_; }
    void setColours(const QColor& link, const QColor& visited, const QColor& hover);
    // The colour the text is drawn in now.
    QColor textColour() const;

    bool isOver() const { return isOver_; }
    bool isVisited() const { return isVisited_; }
    bool isWatchingPointer() const { return hoverTimer_.isActive(); }

    // Opens `address`: first through the desktop, then with the default web browser started with
    // the address as one argument. Answers kOpened, or the code of the last failure (see
    // linkErrorText).
    int openLink(const QString& address);
    // Shows "Unable to open hyperlink:", a blank line and the text for `code` in the application box.
    void reportLinkError(int code);
    static QString linkErrorText(int code);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void hoverStart();
    void hoverEndCheck();
    void click();
    void selectFont(const QFont& font);
    void applyColour();

    Desktop& desktop_;
    QColor linkColour_{0, 0, 238};
    QColor visitedColour_{85, 26, 139};
    QColor hoverColour_{255, 0, 0};
    bool isOver_ = false;
    bool isVisited_ = false;
    bool pressed_ = false;
    bool attached_ = false;
    bool adjustToFit_ = true;
    int underlineMode_ = UnderlineWhileOver;
    QString linkAddress_;
    QFont standardFont_;
    QFont underlineFont_;
    QTimer hoverTimer_;
};

}  // namespace sonarel
