// SPDX-License-Identifier: GPL-3.0-or-later
// ImageButton's drawing: the captured background, the edge, the icon, the caption, the focus and
// the size it asks for.
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

#include <algorithm>

#include "controls/ImageButton.h"

namespace sonarel {

void ImageButton::discardBackground()
{
    backgroundCache_ = QPixmap();
}

void ImageButton::paintCapturedBackground(QPainter& painter)
{
    QWidget* const parent = parentWidget();
    if (!parent)
        return;
    if (backgroundCache_.isNull()) {
        const qreal ratio = devicePixelRatioF();
        QPixmap capture(size() * ratio);
        capture.setDevicePixelRatio(ratio);
        capture.fill(Qt::transparent);
        // The parent alone, without its children: the button itself must not end up in it.
        parent->render(&capture, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
        backgroundCache_ = capture;
    }
    painter.drawPixmap(0, 0, backgroundCache_);
}

void ImageButton::drawBackground(QPainter& painter, const PaintState& state)
{
    painter.fillRect(state.item, palette().brush(QPalette::Button));
}

void ImageButton::drawBorder(QPainter& painter, const PaintState& state)
{
    if (!isFlat()) {
        QStyleOptionButton option;
        initStyleOption(&option);
        style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
        return;
    }
    if (!drawBorderFlag_ || !(state.pressed || isHot_))
        return;
    const QColor light = palette().color(QPalette::Active, QPalette::Light);
    const QColor shadow = palette().color(QPalette::Active, QPalette::Dark);
    const QColor& topLeft = state.pressed ? shadow : light;
    const QColor& bottomRight = state.pressed ? light : shadow;
    const QRect r = state.item;
    painter.fillRect(r.left(), r.top(), r.width() - 1, 1, topLeft);
    painter.fillRect(r.left(), r.top(), 1, r.height() - 1, topLeft);
    painter.fillRect(r.right(), r.top(), 1, r.height(), bottomRight);
    painter.fillRect(r.left(), r.bottom(), r.width(), 1, bottomRight);
}

void ImageButton::drawIcon(QPainter& painter, const PaintState& state, QRect& captionRect)
{
    const QIcon& icon = (state.pressed || isHot_ || idleIcon_.isNull()) ? icon_ : idleIcon_;
    const QSize size = iconSize();
    const QRect item = state.item;
    const bool hasCaption = !text().isEmpty();
    const int centredLeft = item.left() + (item.width() - size.width()) / 2;
    const int centredTop = item.top() + (item.height() - size.height()) / 2;

    QPoint topLeft(centredLeft, centredTop);
    if (hasCaption) {
        switch (align_) {
        case AlignIconLeft:
            topLeft.setX(item.left() + imageMargin_.width());
            captionRect.setLeft(topLeft.x() + size.width());
            break;
        case AlignIconTop:
            topLeft.setY(item.top() + imageMargin_.height());
            captionRect.setTop(captionRect.top() + size.height());
            break;
        case AlignIconRight:
            topLeft.setX(item.right() + 1 - imageMargin_.width() - size.width());
            captionRect.setRight(topLeft.x() - 1);
            break;
        default:  // AlignOverlap: both centred
            break;
        }
    }
    if (state.pressed)
        topLeft += pressedOffset_;

    const QIcon::Mode mode = state.disabled ? QIcon::Disabled : QIcon::Normal;
    painter.drawPixmap(topLeft, icon.pixmap(size, devicePixelRatioF(), mode));
}

void ImageButton::drawText(QPainter& painter, const PaintState& state, const QRect& captionRect)
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const int mnemonic = style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this) ? Qt::TextShowMnemonic
                                                                                         : Qt::TextHideMnemonic;
    const int flags = Qt::AlignCenter | Qt::TextWordWrap | mnemonic;
    const QRect r = state.pressed ? captionRect.translated(pressedOffset_) : captionRect;

    if (state.disabled) {
        // Engraved: a light copy one pixel down and right, the shadow-coloured text on top.
        painter.setPen(palette().color(QPalette::Active, QPalette::Light));
        painter.drawText(r.translated(1, 1), flags, text());
        painter.setPen(palette().color(QPalette::Active, QPalette::Dark));
        painter.drawText(r, flags, text());
        return;
    }
    painter.setPen(palette().color(QPalette::Active, QPalette::ButtonText));
    painter.drawText(r, flags, text());
}

void ImageButton::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const PaintState state{rect(), isDown(), hasFocus(), !isEnabled()};

    if (transparent_)
        paintCapturedBackground(painter);
    else
        drawBackground(painter, state);
    drawBorder(painter, state);

    QRect captionRect = state.item;
    if (!icon_.isNull())
        drawIcon(painter, state, captionRect);
    if (!text().isEmpty())
        drawText(painter, state, captionRect);

    if (keyboardFocus_.ringVisible(*this)) {
        paintFocusRing(painter, *this, state.item);
    } else if (drawFlatFocus_ && state.focused && isFlat()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = state.item.adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

QSize ImageButton::sizeHint() const
{
    ensurePolished();
    const QSize image = icon_.isNull() ? QSize(0, 0) : iconSize();
    QSize caption(0, 0);
    if (!text().isEmpty())
        caption = fontMetrics().size(Qt::TextShowMnemonic, text());

    QSize content;
    switch (align_) {
    case AlignIconTop:
        content = QSize(std::max(image.width(), caption.width()), image.height() + caption.height());
        break;
    case AlignOverlap: content = image.expandedTo(caption); break;
    default: content = QSize(image.width() + caption.width(), std::max(image.height(), caption.height())); break;
    }
    // Margins on both sides, plus room for the one-pixel edge and the pressed offset.
    return content + 2 * imageMargin_ + QSize(2, 2) + QSize(std::abs(pressedOffset_.x()), std::abs(pressedOffset_.y()));
}

QSize ImageButton::minimumSizeHint() const
{
    return sizeHint();
}

}  // namespace sonarel
