// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ImageButton.h"

#include <QAudioDevice>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QMediaDevices>
#include <QMouseEvent>
#include <QSoundEffect>

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

}  // namespace sonarel
