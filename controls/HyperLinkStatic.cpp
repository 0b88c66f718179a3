// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/HyperLinkStatic.h"

#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

#include "platform/BrowserCommand.h"
#include "platform/Desktop.h"

namespace sonarel {

namespace {

constexpr int kNoAssociation = 31;  // the desktop has no program for the address
constexpr int kFileNotFound = 2;

}  // namespace

HyperLinkStatic::HyperLinkStatic(Desktop& desktop, const QString& text, QWidget* parent)
    : QLabel(text, parent), desktop_(desktop)
{
    setTextFormat(Qt::PlainText);
    hoverTimer_.setInterval(kHoverTimerInterval);
    connect(&hoverTimer_, &QTimer::timeout, this, &HyperLinkStatic::hoverEndCheck);
}

void HyperLinkStatic::attach()
{
    if (linkAddress_.isEmpty())
        linkAddress_ = text();
    if (text().isEmpty())
        setText(linkAddress_);
    standardFont_ = font();
    standardFont_.setUnderline(false);
    underlineFont_ = standardFont_;
    underlineFont_.setUnderline(true);
    attached_ = true;
    fitToText();
    setCursor(Qt::PointingHandCursor);
    if (underlineMode_ != UnderlineWhileOver)
        selectFont(standardFont_);
    underlineMode_ = UnderlineWhileOver;
    setToolTip(linkAddress_);
    setAccessibleDescription(linkAddress_);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    applyColour();
}

void HyperLinkStatic::setLinkAddress(const QString& address)
{
    linkAddress_ = address;
    if (!attached_)
        return;
    fitToText();
    setToolTip(address);
    setAccessibleDescription(address);
}

void HyperLinkStatic::setUnderline(int mode)
{
    if (mode != underlineMode_ && attached_)
        selectFont(mode == UnderlineAlways ? underlineFont_ : standardFont_);
    underlineMode_ = mode;
}

void HyperLinkStatic::fitToText()
{
    if (!adjustToFit_ || !attached_)
        return;
    const QRect contents = contentsRect();
    const QSize border(width() - contents.width(), height() - contents.height());
    const QSize textSize = QFontMetrics(underlineFont_).size(0, text());
    const QSize needed = textSize + border;

    QRect frame = geometry();
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignVCenter)
        frame.setTop(frame.top() + (frame.height() - needed.height()) / 2);
    frame.setHeight(needed.height());
    if (align & Qt::AlignHCenter)
        frame.moveLeft(frame.left() + (frame.width() - needed.width()) / 2);
    else if (align & Qt::AlignRight)
        frame.moveLeft(frame.left() + frame.width() - needed.width());
    frame.setWidth(needed.width());
    setGeometry(frame);
}

void HyperLinkStatic::setColours(const QColor& link, const QColor& visited, const QColor& hover)
{
    linkColour_ = link;
    visitedColour_ = visited;
    hoverColour_ = hover;
    applyColour();
}

QColor HyperLinkStatic::textColour() const
{
    if (isOver_)
        return hoverColour_;
    return isVisited_ ? visitedColour_ : linkColour_;
}

void HyperLinkStatic::selectFont(const QFont& font)
{
    setFont(font);
    update();
}

void HyperLinkStatic::applyColour()
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, textColour());
    setPalette(colours);
    update();
}

void HyperLinkStatic::hoverStart()
{
    if (isOver_ || !attached_)
        return;
    isOver_ = true;
    if (underlineMode_ == UnderlineWhileOver)
        selectFont(underlineFont_);
    applyColour();
    hoverTimer_.start();
}

void HyperLinkStatic::hoverEndCheck()
{
    if (rect().contains(mapFromGlobal(QCursor::pos())))
        return;
    isOver_ = false;
    hoverTimer_.stop();
    if (underlineMode_ != UnderlineAlways)
        selectFont(standardFont_);
    applyColour();
}

void HyperLinkStatic::click()
{
    isOver_ = false;
    const int result = openLink(linkAddress_);
    isVisited_ = result > 32;
    applyColour();
    if (!isVisited_) {
        desktop_.beep();
        reportLinkError(result);
    }
}

int HyperLinkStatic::openLink(const QString& address)
{
    if (desktop_.openWithDefaultHandler(address))
        return kOpened;
    const std::optional<QString> command = desktop_.webBrowserCommand();
    if (!command)
        return kNoAssociation;
    const QStringList launch = browserLaunchArguments(*command, address);
    if (launch.isEmpty())
        return kFileNotFound;
    if (desktop_.startProgram(launch.first(), launch.mid(1)))
        return kOpened;
    return programStartFailureCode(launch.first());
}

void HyperLinkStatic::reportLinkError(int code)
{
    QString text = QStringLiteral("Unable to open hyperlink:\n\n") + linkErrorText(code);
    // The reason above is the shell's; the line below says it as Help and Homepage do.
    if (!linkAddress_.isEmpty())
        text += QStringLiteral("\n\n") + cannotOpenText(linkAddress_);
    desktop_.showAppMessage(text);
}

QString HyperLinkStatic::linkErrorText(int code)
{
    switch (code) {
    case 0: return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2: return QStringLiteral("The specified file was not found.");
    case 3: return QStringLiteral("The specified path was not found.");
    case 5: return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8: return QStringLiteral("There was not enough memory to complete the operation.");
    case 11: return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26: return QStringLiteral("A sharing violation occurred. ");
    case 27: return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28: return QStringLiteral("The DDE transaction could not\nbe completed because the request timed out.");
    case 29: return QStringLiteral("The DDE transaction failed.");
    case 30:
        return QStringLiteral(
            "The DDE transaction could not\nbe completed because other DDE transactions\n"
            "were being processed.");
    case 31: return QStringLiteral("There is no application associated\nwith the given filename extension.");
    case 32: return QStringLiteral("The specified dynamic-link library was not found.");
    default: return QStringLiteral("Unknown Error (%1) occurred.").arg(code);
    }
}

void HyperLinkStatic::mouseMoveEvent(QMouseEvent* event)
{
    hoverStart();
    QLabel::mouseMoveEvent(event);
}

void HyperLinkStatic::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !attached_) {
        QLabel::mousePressEvent(event);
        return;
    }
    pressed_ = true;
    event->accept();
}

void HyperLinkStatic::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressed_) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    pressed_ = false;
    event->accept();
    if (rect().contains(event->position().toPoint()))
        click();
}

void HyperLinkStatic::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (attached_) {
            click();
            return;
        }
        break;
    default: break;
    }
    QLabel::keyPressEvent(event);
}

void HyperLinkStatic::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

}  // namespace sonarel
