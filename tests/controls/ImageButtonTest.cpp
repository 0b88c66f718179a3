// SPDX-License-Identifier: GPL-3.0-or-later
// The image button driven by real Qt events on the offscreen platform: hover and press edges,
// hover sounds, drags, double clicks, the disabled look and focus, the captured background, and
// the compiled-in resources it uses.
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include "controls/ImageButton.h"
#include "res/ResourceIds.h"
#include "res/Resources.h"

using sonarel::ImageButton;
namespace res = sonarel::res;

namespace {

// A window whose background is one flat colour, painted by hand so that changing it is not a
// palette change.
class Host : public QWidget {
public:
    QColor colour{200, 210, 220};

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), colour); }
};

const QColor kRed(255, 0, 0);

QIcon redSquare(int side)
{
    QPixmap pixmap(side, side);
    pixmap.fill(kRed);
    return QIcon(pixmap);
}

// Colours compared as 8-bit RGB; QColor's own comparison also looks at how a colour was made.
QRgb rgb(const QColor& colour)
{
    return colour.rgb();
}
QRgb at(const QImage& image, int x, int y)
{
    return image.pixel(x, y);
}

QImage shot(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The bounding box of the pixels of the test icon's pure red.
QRect redPixels(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == kRed.rgb())
                box |= QRect(x, y, 1, 1);
    return box;
}

// The bounding box of the pixels that are neither the background nor the icon.
QRect inkPixels(const QImage& image, const QColor& background, QRect within)
{
    QRect box;
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (c != background.rgb() && c != kRed.rgb())
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

template <typename Test>
bool anyPixel(const QImage& image, QRect within, Test test)
{
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x)
            if (test(image.pixel(x, y)))
                return true;
    return false;
}

bool contains(const QImage& image, const QColor& colour, QRect within)
{
    return anyPixel(image, within, [&](QRgb c) { return c == colour.rgb(); });
}

QColor light(const QWidget& w)
{
    return w.palette().color(QPalette::Active, QPalette::Light);
}
QColor shadow(const QWidget& w)
{
    return w.palette().color(QPalette::Active, QPalette::Dark);
}

// A button set up the way the main window sets up its command buttons.
ImageButton* commandButton(QWidget* parent, const QString& caption, int iconId, QRect geometry)
{
    auto* button = new ImageButton(caption, parent);
    button->setGeometry(geometry);
    if (iconId)
        button->setIcon(res::iconPath(iconId));
    button->setSound(res::resourceFile(res::kSoundHover), false, true);
    button->drawTransparent(false);
    button->setButtonCursor(res::resourceFile(res::kCursorButton), true);
    button->setTooltipText(caption, true);
    button->setAlign(ImageButton::AlignIconTop, true);
    return button;
}

}  // namespace

class ImageButtonTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Host> host_;
    ImageButton* button_ = nullptr;  // 80 x 60 at (100, 50), red icon, caption "Mix"
    QPoint outside_{20, 20};         // a point of the host away from the button

    QPoint buttonCentreInHost() const { return button_->geometry().center(); }

private slots:
    void initTestCase() { sonarel::initSonarelResources(); }

    void init()
    {
        host_ = std::make_unique<Host>();
        host_->resize(320, 200);
        button_ = new ImageButton(QStringLiteral("Mix"), host_.get());
        button_->setGeometry(100, 50, 80, 60);
        button_->setIcon(redSquare(16));
        button_->setSound(QStringLiteral(":/sounds/hover.wav"), false, true);
        button_->drawTransparent(false);
        button_->setAlign(ImageButton::AlignIconTop, true);
        host_->show();
        QVERIFY(QTest::qWaitForWindowExposed(host_.get()));
        QTest::mouseMove(host_.get(), outside_);
    }

    void cleanup()
    {
        // A failed check can leave a button held; let the next case start with none.
        if (QGuiApplication::mouseButtons() & Qt::LeftButton)
            QTest::mouseRelease(host_->windowHandle(), Qt::LeftButton, {}, outside_);
        QTest::mouseMove(host_.get(), outside_);
        host_.reset();
    }

    void hoverRaisesTheEdgeAndPlaysOncePerEntry()
    {
        const QImage idle = shot(*button_);
        QCOMPARE(at(idle, 0, 0), rgb(host_->colour));
        QCOMPARE(button_->hoverSoundCount(), 0);

        QTest::mouseMove(button_);
        QVERIFY(button_->isHot());
        QImage hot = shot(*button_);
        QCOMPARE(at(hot, 0, 0), rgb(light(*button_)));
        QCOMPARE(at(hot, 79, 59), rgb(shadow(*button_)));
        QCOMPARE(button_->hoverSoundCount(), 1);

        QTest::mouseMove(button_, QPoint(10, 10));  // moving inside is not a new entry
        QCOMPARE(button_->hoverSoundCount(), 1);

        QTest::mouseMove(host_.get(), outside_);
        QVERIFY(!button_->isHot());
        QCOMPARE(shot(*button_), idle);

        QTest::mouseMove(button_);
        QVERIFY(button_->isHot());
        QCOMPARE(button_->hoverSoundCount(), 2);
    }

    void dragFromOutsideStartsNoHover()
    {
        QWindow* window = host_->windowHandle();
        QTest::mousePress(window, Qt::LeftButton, {}, outside_);
        QTest::mouseMove(window, buttonCentreInHost());
        // Also when the window system does report the entry, or a move, during the drag.
        QEnterEvent enter(QPointF(40, 30), button_->mapTo(host_.get(), QPointF(40, 30)),
                          button_->mapToGlobal(QPointF(40, 30)));
        QApplication::sendEvent(button_, &enter);
        QTest::mouseMove(button_, QPoint(41, 31));
        QVERIFY(!button_->isHot());
        QCOMPARE(button_->hoverSoundCount(), 0);
        QCOMPARE(at(shot(*button_), 0, 0), rgb(host_->colour));

        // Once the button is released over it, the pointer is simply over it.
        QTest::mouseRelease(window, Qt::LeftButton, {}, buttonCentreInHost());
        QTest::mouseMove(window, buttonCentreInHost() + QPoint(1, 1));
        QVERIFY(button_->isHot());
        QCOMPARE(button_->hoverSoundCount(), 1);
    }

    void losingFocusOrTheActiveWindowClearsHot()
    {
        auto* other = new ImageButton(QStringLiteral("Other"), host_.get());
        other->setGeometry(200, 120, 60, 40);
        other->show();
        host_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(host_.get()));

        button_->setFocus();
        QTest::mouseMove(button_);
        QVERIFY(button_->isHot());
        other->setFocus();
        QVERIFY(!button_->isHot());
        QCOMPARE(at(shot(*button_), 0, 0), rgb(host_->colour));

        // Hot without focus; another window becoming active takes hot away.
        QTest::mouseMove(host_.get(), outside_);
        QTest::mouseMove(button_);
        QVERIFY(button_->isHot());
        QWidget elsewhere;
        elsewhere.setGeometry(400, 400, 50, 50);
        elsewhere.show();
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        QVERIFY(!button_->isHot());
    }

    void pressShowsTheSunkenEdgeAndShiftsIconAndCaption()
    {
        QTest::mouseMove(button_);
        const QImage hot = shot(*button_);
        QTest::mousePress(button_, Qt::LeftButton);
        const QImage pressed = shot(*button_);
        QTest::mouseRelease(button_, Qt::LeftButton);

        QCOMPARE(at(pressed, 0, 0), rgb(shadow(*button_)));
        QCOMPARE(at(pressed, 79, 59), rgb(light(*button_)));
        QCOMPARE(redPixels(pressed), redPixels(hot).translated(1, 1));
        const QRect inner(2, 2, 76, 56);  // inside the edges
        QCOMPARE(inkPixels(pressed, host_->colour, inner), inkPixels(hot, host_->colour, inner).translated(1, 1));
    }

    void iconSitsAboveTheCaptionOrCentredWithoutOne()
    {
        const QImage withCaption = shot(*button_);
        QCOMPARE(redPixels(withCaption), QRect((80 - 16) / 2, 3, 16, 16));
        const QRect caption = inkPixels(withCaption, host_->colour, button_->rect());
        QVERIFY2(caption.top() > 3 + 16, "the caption is below the icon");
        // Centred in the rest of the button below the icon's height.
        QVERIFY(qAbs(caption.center().x() - 40) <= 1);
        QVERIFY(qAbs(caption.center().y() - (16 + 60) / 2) <= 2);

        button_->setText(QString());
        QCOMPARE(redPixels(shot(*button_)), QRect((80 - 16) / 2, (60 - 16) / 2, 16, 16));

        // A caption without icon is centred and wrapped.
        button_->setIcon(QIcon());
        button_->setText(QStringLiteral("Mix files together"));
        const QRect wrapped = inkPixels(shot(*button_), host_->colour, button_->rect());
        QVERIFY(wrapped.height() > button_->fontMetrics().height());
        QVERIFY(qAbs(wrapped.center().y() - 30) <= 2);
    }

    void doubleClickCountsAsTwoClicks()
    {
        QSignalSpy clicks(button_, &QAbstractButton::clicked);
        QTest::mouseDClick(host_->windowHandle(), Qt::LeftButton, {}, buttonCentreInHost());
        QCOMPARE(clicks.count(), 2);

        // Where the second press arrives only as the double click itself.
        clicks.clear();
        QTest::mouseClick(button_, Qt::LeftButton);
        QTest::mouseDClick(button_, Qt::LeftButton);
        QTest::mouseRelease(button_, Qt::LeftButton);
        QCOMPARE(clicks.count(), 2);
    }

    void disabledButtonLooksEngravedWithAGreyedIcon()
    {
        const QImage enabled = shot(*button_);
        button_->setEnabled(false);
        const QImage disabled = shot(*button_);
        const QRect captionArea(2, 3 + 16 + 1, 76, 60 - 20 - 2);

        QVERIFY(enabled.copy(captionArea) != disabled.copy(captionArea));
        // The light copy shows only along the edges of the glyphs, blended: look for brightness.
        const int backgroundGrey = qGray(host_->colour.rgb());
        QVERIFY(qGray(light(*button_).rgb()) > backgroundGrey + 20);
        QVERIFY(anyPixel(disabled, captionArea, [&](QRgb c) { return qGray(c) > backgroundGrey + 20; }));
        QVERIFY(contains(disabled, shadow(*button_), captionArea));
        QVERIFY(!contains(disabled, button_->palette().color(QPalette::Active, QPalette::ButtonText), captionArea));
        QVERIFY2(redPixels(disabled).isEmpty(), "the icon is drawn greyed");

        // The engraved highlight lies one pixel right and down of the shadow-coloured caption.
        const QRect ink = inkPixels(disabled, host_->colour, captionArea);
        QCOMPARE(ink.bottomRight(), inkPixels(enabled, host_->colour, captionArea).bottomRight() + QPoint(1, 1));

        // Disabled buttons neither turn hot nor play.
        QTest::mouseMove(button_);
        QVERIFY(!button_->isHot());
        QCOMPARE(button_->hoverSoundCount(), 0);
    }

    void disablingMovesFocusToTheNextTabStop()
    {
        auto* second = new ImageButton(QStringLiteral("Second"), host_.get());
        auto* third = new ImageButton(QStringLiteral("Third"), host_.get());
        second->setGeometry(10, 120, 60, 40);
        third->setGeometry(80, 120, 60, 40);
        second->show();
        third->show();
        host_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(host_.get()));

        button_->setFocus();
        button_->setEnabled(false);
        QCOMPARE(host_->focusWidget(), second);

        // Also when the focus is elsewhere: it goes to the tab stop after the disabled button.
        second->setEnabled(false);
        QCOMPARE(host_->focusWidget(), third);
        third->setFocus();
        button_->setEnabled(true);
        second->setEnabled(true);
        third->setEnabled(false);  // the chain wraps round
        QCOMPARE(host_->focusWidget(), button_);

        // With no tab stop left, the parent takes the focus.
        second->setEnabled(false);
        button_->setEnabled(false);
        QCOMPARE(host_->focusWidget(), host_.get());
    }

    void capturedBackgroundIsKeptUntilDiscarded()
    {
        const QColor first = host_->colour;
        QCOMPARE(at(shot(*button_), 0, 0), rgb(first));

        host_->colour = QColor(40, 90, 160);
        host_->update();
        QCOMPARE(at(shot(*button_), 0, 0), rgb(first));

        button_->drawTransparent(true);
        QCOMPARE(at(shot(*button_), 0, 0), rgb(host_->colour));

        host_->colour = QColor(150, 60, 60);
        QPalette palette = host_->palette();
        palette.setColor(QPalette::Window, Qt::yellow);
        host_->setPalette(palette);
        QCOMPARE(at(shot(*button_), 0, 0), rgb(host_->colour));

        host_->colour = QColor(10, 120, 10);
        button_->move(90, 50);
        QCOMPARE(at(shot(*button_), 0, 0), rgb(host_->colour));
    }

    void refusesWhatItCannotUse()
    {
        QCOMPARE(button_->setAlign(4, true), ImageButton::kAlignRefused);
        QCOMPARE(button_->align(), int(ImageButton::AlignIconTop));
        QCOMPARE(button_->setAlign(0, true), 0);
        QCOMPARE(button_->align(), 0);

        QCOMPARE(button_->setIcon(QStringLiteral(":/icons/no-such-icon.png")), 1);
        QVERIFY(button_->icon().isNull());
        QVERIFY(redPixels(shot(*button_)).isEmpty());
        QCOMPARE(button_->setIcon(res::iconPath(res::kIconAdd), QStringLiteral(":/no/idle.png")), 1);
        QVERIFY(button_->icon().isNull());

        QCOMPARE(button_->setButtonCursor(QStringLiteral(":/cursors/no-such-cursor.png")), 1);
        QVERIFY(!button_->testAttribute(Qt::WA_SetCursor));

        // A missing sound plays nothing, and says nothing either.
        QCOMPARE(button_->setSound(QStringLiteral(":/sounds/no-such-sound.wav")), 0);
        QTest::mouseMove(button_);
        QCOMPARE(button_->hoverSoundCount(), 1);
    }

    void resourcesAreCompiledIn()
    {
        const struct {
            int id;
            int side;
        } icons[] = {
            {res::kIconProgram, 32},   {res::kIconAdd, 32},  {res::kIconOptions, 32},        {res::kIconMix, 32},
            {res::kIconHelp, 32},      {res::kIconExit, 32}, {res::kIconDeleteSelected, 16}, {res::kIconDeleteAll, 16},
            {res::kIconProperties, 16}};
        for (const auto& icon : icons) {
            const QString path = res::iconPath(icon.id);
            QCOMPARE(QImageReader(path).size(), QSize(icon.side, icon.side));
            QString large = path;
            large.replace(QLatin1String(".png"), QLatin1String("@2x.png"));
            QCOMPARE(QImageReader(large).size(), QSize(2 * icon.side, 2 * icon.side));
            QCOMPARE(button_->setIcon(path), 0);
            QCOMPARE(button_->iconSize(), QSize(icon.side, icon.side));
        }
        QVERIFY(res::resourcePath(999) == nullptr);
        QVERIFY(res::iconPath(999).isEmpty());

        // The background stays light enough for black text.
        const QImage background(res::resourceFile(res::kBitmapBackground));
        QVERIFY(!background.isNull());
        for (int y = 0; y < background.height(); ++y)
            for (int x = 0; x < background.width(); ++x)
                QVERIFY(qGray(background.pixel(x, y)) > 200);

        QCOMPARE(button_->setButtonCursor(res::resourceFile(res::kCursorButton)), 0);
        QCOMPARE(button_->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(button_->cursor().hotSpot(), QPoint(12, 2));

        // A canonical PCM WAV: 44-byte header, 16-bit mono samples, some 40 ms of them.
        QFile sound(res::resourceFile(res::kSoundHover));
        QVERIFY(sound.open(QIODevice::ReadOnly));
        const QByteArray wav = sound.readAll();
        QCOMPARE(wav.left(4), QByteArray("RIFF"));
        QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
        QCOMPARE(wav.mid(20, 4), QByteArray("\x01\x00\x01\x00", 4));  // PCM, mono
        QCOMPARE(wav.mid(34, 6), QByteArray("\x10\x00"
                                            "data",
                                            6));  // 16 bits
        const double seconds = (wav.size() - 44) / 2.0 / 44100;
        QVERIFY2(seconds > 0.02 && seconds < 0.08, "a short tick");
    }

    // Renders the command buttons of the main window over its background picture to
    // image-buttons.png beside the test, for a person to look at.
    void rendersThePreview()
    {
        host_->hide();
        QWidget window;
        QPalette palette = window.palette();
        palette.setBrush(QPalette::Window, QBrush(QPixmap(res::resourceFile(res::kBitmapBackground))));
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        const QFontMetrics metrics(window.font());
        const auto dlu = [&](int x, int y, int w, int h) {
            const double cx = metrics.averageCharWidth() / 4.0;
            const double cy = metrics.height() / 8.0;
            return QRect(qRound(x * cx), qRound(y * cy), qRound(w * cx), qRound(h * cy));
        };
        window.setFixedSize(dlu(0, 0, 310, 130).size());

        commandButton(&window, QStringLiteral("Add"), res::kIconAdd, dlu(9, 5, 46, 32));
        auto* options = commandButton(&window, QStringLiteral("Options"), res::kIconOptions, dlu(68, 5, 46, 32));
        auto* mix = commandButton(&window, QStringLiteral("Mix"), res::kIconMix, dlu(127, 5, 46, 32));
        commandButton(&window, QStringLiteral("&Help"), res::kIconHelp, dlu(186, 5, 46, 32));
        commandButton(&window, QStringLiteral("Exit"), res::kIconExit, dlu(245, 5, 46, 32));
        commandButton(&window, QString(), res::kIconDeleteSelected, dlu(281, 54, 22, 14));
        auto* deleteAll = commandButton(&window, QString(), res::kIconDeleteAll, dlu(281, 82, 22, 14));
        commandButton(&window, QString(), res::kIconProperties, dlu(281, 110, 22, 14));
        commandButton(&window, QStringLiteral("Homepage"), 0, dlu(111, 50, 42, 16));
        auto* about = commandButton(&window, QStringLiteral("About"), 0, dlu(215, 50, 42, 16));
        mix->setEnabled(false);
        about->setEnabled(false);

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseMove(options);
        QVERIFY(options->isHot());
        // Pressed while the pointer stays on Options: the press goes to the button directly.
        QTest::mousePress(deleteAll, Qt::LeftButton);
        QVERIFY(options->isHot());
        const QString path = QCoreApplication::applicationDirPath() + "/image-buttons.png";
        QVERIFY(window.grab().save(path));
        QTest::mouseRelease(deleteAll, Qt::LeftButton);
        qInfo("preview: %s", qPrintable(path));
    }
};

QTEST_MAIN(ImageButtonTest)
#include "ImageButtonTest.moc"
