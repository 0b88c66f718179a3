// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ImageButton.h"

#include <QAudioDevice>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QMediaDevices>
#include <QMouseEvent>
#include <QPainter>
#include <QSoundEffect>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

#include <algorithm>

namespace sonarel {

namespace {

// A file or resource path as a sound source; ":/x" becomes "qrc:/x", which QSoundEffect wants.
QUrl soundUrl(const QString& path)
{
    if (path.isEmpty())
        return {};
    if (path.startsWith(QLatin1String(":/")))
        return QUrl(QLatin1String("qrc") + path);
    return QUrl::fromLocalFile(path);
}

QSize smallestSize(const QList<QSize>& sizes)
{
    return *std::min_element(sizes.begin(), sizes.end(),
                             [](QSize a, QSize b) { return a.width() * a.height() < b.width() * b.height(); });
}

}  // namespace

ImageButton::ImageButton(QWidget* parent) : QPushButton(parent)
{
    init();
}

ImageButton::ImageButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent)
{
    init();
}

ImageButton::~ImageButton() = default;

void ImageButton::init()
{
    setFlat(true);
    // Moves arrive without a held button too, so a pointer that entered during a drag turns the
    // button hot at its first move after the release.
    setMouseTracking(true);
    connect(this, &QAbstractButton::clicked, this, [this] {
        // A click by mnemonic is a keyboard action too: the focus it brings shows its ring.
        setFocus(keyboardFocus_.fromKeyboard() ? Qt::ShortcutFocusReason : Qt::MouseFocusReason);
        play(clickSound_);
    });
}

// ---- set-up ----------------------------------------------------------------------------------

void ImageButton::clearIcons()
{
    icon_ = QIcon();
    idleIcon_ = QIcon();
    QAbstractButton::setIcon(QIcon());
}

void ImageButton::installIcon(const QIcon& icon, const QIcon& idleIcon, QSize naturalSize)
{
    icon_ = icon;
    idleIcon_ = idleIcon;
    if (naturalSize.isValid())
        setIconSize(naturalSize);
    QAbstractButton::setIcon(icon);  // keeps icon() and accessibility truthful; also repaints
}

int ImageButton::setIcon(const QIcon& icon, const QIcon& idleIcon)
{
    clearIcons();
    if (icon.isNull()) {
        update();
        return 0;
    }
    const QList<QSize> sizes = icon.availableSizes();
    const QSize natural = sizes.isEmpty() ? iconSize() : smallestSize(sizes);
    if (icon.pixmap(natural).isNull() || (!idleIcon.isNull() && idleIcon.pixmap(natural).isNull())) {
        update();
        return 1;
    }
    installIcon(icon, idleIcon, natural);
    return 0;
}

int ImageButton::setIcon(const QString& path, const QString& idlePath)
{
    clearIcons();
    if (path.isEmpty()) {
        update();
        return 0;
    }
    const QSize natural = QImageReader(path).size();
    const bool idleReadable = idlePath.isEmpty() || QImageReader(idlePath).size().isValid();
    if (!natural.isValid() || !idleReadable) {
        update();
        return 1;
    }
    installIcon(QIcon(path), idlePath.isEmpty() ? QIcon() : QIcon(idlePath), natural);
    return 0;
}

int ImageButton::setSound(const QUrl& source, bool onClick, bool /*async*/)
{
    Sound& sound = onClick ? clickSound_ : hoverSound_;
    if (sound.source == source)
        return 0;
    sound.source = source;
    delete sound.effect;  // made again for the new source at its first play
    sound.effect = nullptr;
    return 0;
}

int ImageButton::setSound(const QString& path, bool onClick, bool async)
{
    return setSound(soundUrl(path), onClick, async);
}

void ImageButton::drawTransparent(bool repaint)
{
    transparent_ = true;
    discardBackground();
    if (repaint)
        update();
}

int ImageButton::setButtonCursor(const QCursor& cursor, bool repaint)
{
    setCursor(cursor);
    if (repaint)
        update();
    return 0;
}

int ImageButton::setButtonCursor(const QString& path, bool repaint)
{
    QImageReader reader(path);
    // The text entries are in the PNG header, so read them before the pixels.
    bool hasX = false;
    bool hasY = false;
    const int hotX = reader.text(QStringLiteral("HotSpotX")).toInt(&hasX);
    const int hotY = reader.text(QStringLiteral("HotSpotY")).toInt(&hasY);
    const QImage image = reader.read();
    if (image.isNull()) {
        unsetCursor();
        if (repaint)
            update();
        return 1;
    }
    const QPixmap pixmap = QPixmap::fromImage(image);
    return setButtonCursor(hasX && hasY ? QCursor(pixmap, hotX, hotY) : QCursor(pixmap), repaint);
}

void ImageButton::setTooltipText(const QString& text, bool activate)
{
    if (text.isNull())
        return;
    setToolTip(activate ? text : QString());
    setAccessibleDescription(text);
    if (this->text().isEmpty())
        setAccessibleName(text);
}

int ImageButton::setAlign(int align, bool repaint)
{
    if (align < AlignIconLeft || align > AlignOverlap)
        return kAlignRefused;
    align_ = align;
    updateGeometry();
    if (repaint)
        update();
    return 0;
}

void ImageButton::setDrawBorderFlag(bool draw)
{
    drawBorderFlag_ = draw;
    update();
}

void ImageButton::setDrawFlatFocus(bool draw)
{
    drawFlatFocus_ = draw;
    update();
}

// ---- hover, focus and sounds -------------------------------------------------------------------

void ImageButton::trackHover(QPoint position, Qt::MouseButtons buttons)
{
    // Qt reports entries into disabled widgets too; a disabled button takes no part in the mouse.
    if (!isEnabled())
        return;
    // A drag that started elsewhere and crosses the button does not make it hot.
    if ((buttons & Qt::LeftButton) && !isHot_)
        return;
    if (rect().contains(position)) {
        if (isHot_)
            return;
        isHot_ = true;
        update();
        play(hoverSound_);
    } else {
        clearHot();
    }
}

void ImageButton::clearHot()
{
    if (!isHot_)
        return;
    isHot_ = false;
    update();
}

void ImageButton::play(Sound& sound)
{
    if (sound.source.isEmpty())
        return;
    ++sound.plays;
    // Without an output device there is nothing to hear; a sound effect would only complain.
    if (QMediaDevices::defaultAudioOutput().isNull())
        return;
    if (!sound.effect) {
        sound.effect = new QSoundEffect(this);
        sound.effect->setSource(sound.source);
    }
    // Returns at once: the effect loads and plays on its own and queues the play while the file
    // is still loading. A file that cannot be loaded plays nothing.
    sound.effect->play();
}

void ImageButton::moveFocusToNextTabStop()
{
    QWidget* const top = window();
    for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
        if (w->window() == top && w != top && !w->focusProxy() && w->isEnabled() && w->isVisibleTo(top) &&
            (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    if (QWidget* parent = parentWidget())
        parent->setFocus(Qt::OtherFocusReason);
}

void ImageButton::enterEvent(QEnterEvent* event)
{
    QPushButton::enterEvent(event);
    trackHover(event->position().toPoint(), QGuiApplication::mouseButtons());
}

void ImageButton::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    clearHot();
}

void ImageButton::mouseMoveEvent(QMouseEvent* event)
{
    QPushButton::mouseMoveEvent(event);
    trackHover(event->position().toPoint(), event->buttons());
}

void ImageButton::mousePressEvent(QMouseEvent* event)
{
    if (keyboardFocus_.mousePressed())
        update();
    QPushButton::mousePressEvent(event);
}

void ImageButton::keyPressEvent(QKeyEvent* event)
{
    if (keyboardFocus_.keyPressed())
        update();
    // Enter presses the focused button, as Space does; the window's buttons are never
    // auto-default, so QPushButton would pass Enter on to the window.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && plain) {
        if (!event->isAutoRepeat())
            click();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void ImageButton::focusInEvent(QFocusEvent* event)
{
    keyboardFocus_.focusIn(*event);
    QPushButton::focusInEvent(event);  // repaints
}

void ImageButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second click of a double click is a click of its own.
    mousePressEvent(event);
}

void ImageButton::focusOutEvent(QFocusEvent* event)
{
    keyboardFocus_.focusOut(*event);
    QPushButton::focusOutEvent(event);
    clearHot();
}

void ImageButton::hideEvent(QHideEvent* event)
{
    QPushButton::hideEvent(event);
    clearHot();
}

void ImageButton::moveEvent(QMoveEvent* event)
{
    QPushButton::moveEvent(event);
    discardBackground();
}

void ImageButton::resizeEvent(QResizeEvent* event)
{
    QPushButton::resizeEvent(event);
    discardBackground();
}

bool ImageButton::event(QEvent* event)
{
    // The window passes its deactivation down to its children as this event.
    if (event->type() == QEvent::WindowDeactivate)
        clearHot();
    if (event->type() == QEvent::Shortcut)
        keyboardFocus_.keyPressed();
    return QPushButton::event(event);
}

void ImageButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        // Only when this button itself was disabled, not when its window was.
        if (!isEnabled() && testAttribute(Qt::WA_ForceDisabled))
            moveFocusToNextTabStop();
        if (!isEnabled())
            clearHot();
        break;
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        discardBackground();
        update();
        break;
    default: break;
    }
}

// ---- drawing -----------------------------------------------------------------------------------

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
