// SPDX-License-Identifier: GPL-3.0-or-later
// The hyperlink driven by real pointer moves, clicks and keys on the offscreen platform, with the
// desktop recorded: colours and underline while hovering and after leaving (also to another
// window), opening and the visited colour, the browser fallback's command lines, the failure
// messages, and refitting to the text.
#include <QCursor>
#include <QTest>

#include "controls/HyperLinkStatic.h"
#include "support/RecordingDesktop.h"

using sonarel::HyperLinkStatic;
using sonarel::testing::RecordingDesktop;

namespace {

const QString kAddress = QStringLiteral("https://www.example.org/page");
const QColor kBlue(0, 0, 238);
const QColor kRed(255, 0, 0);
const QColor kPurple(85, 26, 139);

bool imageHolds(const QImage& image, const QColor& colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour.rgb())
                return true;
    return false;
}

struct Fixture {
    RecordingDesktop desktop;
    QWidget host;
    HyperLinkStatic* link;

    explicit Fixture(const QString& text = QStringLiteral("Our web site"),
                     Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop, QRect place = QRect(20, 20, 200, 20))
    {
        host.resize(400, 120);
        host.move(0, 0);
        link = new HyperLinkStatic(desktop, text, &host);
        link->setAlignment(align);
        link->setGeometry(place);
        link->attach();
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        pointAway();  // the pointer may still rest where an earlier link was
    }
    void pointAt(QPoint local) { QCursor::setPos(link->mapToGlobal(local)); }
    void pointAtLink() { pointAt(link->rect().center()); }
    void pointAway() { QCursor::setPos(host.mapToGlobal(QPoint(390, 110))); }
    void click() { QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center()); }
};

}  // namespace

class HyperLinkStaticTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void hoverShowsRedUnderlinedAndLeavingRestores()
    {
        Fixture f;
        QCOMPARE(f.link->textColour(), kBlue);
        QVERIFY(!f.link->font().underline());
        QCOMPARE(f.link->cursor().shape(), Qt::PointingHandCursor);

        f.pointAtLink();
        QTRY_VERIFY(f.link->isOver());
        QCOMPARE(f.link->textColour(), kRed);
        QVERIFY(f.link->font().underline());
        QVERIFY(f.link->isWatchingPointer());
        QVERIFY(imageHolds(f.link->grab().toImage(), kRed));

        f.pointAway();
        QTRY_VERIFY(!f.link->isOver());
        QCOMPARE(f.link->textColour(), kBlue);
        QVERIFY(!f.link->font().underline());
        QVERIFY(!f.link->isWatchingPointer());
    }

    void leavingToAnotherWindowIsNoticed()
    {
        Fixture f;
        QWidget other;
        other.setGeometry(600, 400, 100, 100);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        f.pointAtLink();
        QTRY_VERIFY(f.link->isOver());
        // The jump sends the link no event at all; only its pointer check can notice.
        QCursor::setPos(other.mapToGlobal(QPoint(50, 50)));
        QTRY_VERIFY(!f.link->isOver());
        QCOMPARE(f.link->textColour(), kBlue);
    }

    void underlineModes()
    {
        Fixture f;
        f.link->setUnderline(HyperLinkStatic::UnderlineAlways);
        QVERIFY(f.link->font().underline());
        f.pointAtLink();
        QTRY_VERIFY(f.link->isOver());
        f.pointAway();
        QTRY_VERIFY(!f.link->isOver());
        QVERIFY(f.link->font().underline());

        f.link->setUnderline(HyperLinkStatic::UnderlineNever);
        QVERIFY(!f.link->font().underline());
        f.pointAtLink();
        QTRY_VERIFY(f.link->isOver());
        QVERIFY(!f.link->font().underline());
    }

    void clickOpensTheAddressAndTurnsPurple()
    {
        Fixture f;
        f.link->setLinkAddress(kAddress);
        QCOMPARE(f.link->toolTip(), kAddress);
        f.pointAtLink();
        QTRY_VERIFY(f.link->isOver());
        f.click();
        QCOMPARE(f.desktop.openedDocuments, std::vector<QString>{kAddress});
        QVERIFY(f.link->isVisited());
        QVERIFY(!f.link->isOver());
        QCOMPARE(f.link->textColour(), kPurple);
        QVERIFY(imageHolds(f.link->grab().toImage(), kPurple));
        QVERIFY(f.desktop.messages.empty());
        QCOMPARE(f.desktop.beeps, 0);

        // Over it again it is red; leaving brings the purple back.
        f.pointAt(f.link->rect().center() + QPoint(1, 0));
        QTRY_VERIFY(f.link->isOver());
        QCOMPARE(f.link->textColour(), kRed);
        f.pointAway();
        QTRY_VERIFY(!f.link->isOver());
        QCOMPARE(f.link->textColour(), kPurple);
    }

    void withoutAnAddressTheLinkOpensItsText()
    {
        Fixture f(QStringLiteral("https://text.example.net/"));
        QCOMPARE(f.link->toolTip(), QStringLiteral("https://text.example.net/"));
        f.click();
        QCOMPARE(f.desktop.openedDocuments, std::vector<QString>{QStringLiteral("https://text.example.net/")});
    }

    void keyboardOpensTheFocusedLink()
    {
        Fixture f;
        f.link->setLinkAddress(kAddress);
        f.host.activateWindow();
        f.link->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(f.link->hasFocus());
        QTest::keyClick(f.link, Qt::Key_Return);
        QTest::keyClick(f.link, Qt::Key_Space);
        QCOMPARE(f.desktop.openedDocuments, (std::vector<QString>{kAddress, kAddress}));
    }

    void browserFallback_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("started");
        const QString a = kAddress;
        QTest::newRow("bare placeholder") << "firefox-esr %u" << QStringList{"firefox-esr", a};
        QTest::newRow("arguments after the placeholder are dropped")
            << "chromium --new-window %U --incognito" << QStringList{"chromium", "--new-window", a};
        QTest::newRow("quoted placeholder cut at its quote") << R"("/opt/My Browser/browser" --new-tab "%u" --x)"
                                                             << QStringList{"/opt/My Browser/browser", "--new-tab", a};
        QTest::newRow("file placeholder") << "viewer %F" << QStringList{"viewer", a};
        QTest::newRow("no placeholder: address appended")
            << "browser --private" << QStringList{"browser", "--private", a};
        QTest::newRow("escaped percent is no placeholder")
            << "browser --label=%%u %f" << QStringList{"browser", "--label=%u", a};
        QTest::newRow("other field codes dropped") << "browser %i %c %u" << QStringList{"browser", a};
        QTest::newRow("address with blanks stays one argument") << "browser %u" << QStringList{"browser", a};
    }

    void browserFallback()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, started);
        Fixture f;
        f.link->setLinkAddress(kAddress);
        f.desktop.openSucceeds = false;
        f.desktop.browserCommand = command;
        f.click();
        QCOMPARE(f.desktop.startedPrograms, std::vector<QStringList>{started});
        QVERIFY(f.link->isVisited());
        QVERIFY(f.desktop.messages.empty());
    }

    void failuresBeepAndSayWhy_data()
    {
        QTest::addColumn<bool>("haveBrowser");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no default browser") << false << ""
                                            << "There is no application associated\nwith the given filename extension.";
        QTest::newRow("entry without a program") << true << "%u"
                                                 << "The specified file was not found.";
        QTest::newRow("browser not installed") << true << "sonarel-no-such-browser %u"
                                               << "The specified file was not found.";
        QTest::newRow("browser folder missing") << true << "/sonarel-no-such-folder/browser %u"
                                                << "The specified path was not found.";
    }

    void failuresBeepAndSayWhy()
    {
        QFETCH(bool, haveBrowser);
        QFETCH(QString, command);
        QFETCH(QString, reason);
        Fixture f;
        f.desktop.openSucceeds = false;
        f.desktop.startSucceeds = false;
        if (haveBrowser)
            f.desktop.browserCommand = command;
        f.click();
        QCOMPARE(f.desktop.beeps, 1);
        QCOMPARE(f.desktop.texts(),
                 QStringList{QStringLiteral("Unable to open hyperlink:\n\n") + reason +
                             QStringLiteral("\n\nNo web browser could open ") + f.link->linkAddress()});
        QCOMPARE(f.desktop.messages.front().caption, sonarel::applicationName());
        QVERIFY(!f.link->isVisited());
        QCOMPARE(f.link->textColour(), kBlue);
    }

    void aFailedOpenAfterASuccessfulOneTurnsBlueAgain()
    {
        Fixture f;
        f.click();
        QVERIFY(f.link->isVisited());
        f.desktop.openSucceeds = false;
        f.click();
        QVERIFY(!f.link->isVisited());
        QCOMPARE(f.link->textColour(), kBlue);
    }

    void errorTexts()
    {
        Fixture f;
        f.link->reportLinkError(26);
        QVERIFY(f.desktop.texts().front().startsWith(
            QStringLiteral("Unable to open hyperlink:\n\nA sharing violation occurred. \n\n")));
        QVERIFY(HyperLinkStatic::linkErrorText(26).endsWith(u' '));
        QCOMPARE(HyperLinkStatic::linkErrorText(0),
                 QStringLiteral("The operating system is out\nof memory or resources."));
        QCOMPARE(HyperLinkStatic::linkErrorText(30),
                 QStringLiteral("The DDE transaction could not\nbe completed because other DDE transactions\n"
                                "were being processed."));
        QCOMPARE(HyperLinkStatic::linkErrorText(33), QStringLiteral("Unknown Error (33) occurred."));
        QCOMPARE(HyperLinkStatic::linkErrorText(-7), QStringLiteral("Unknown Error (-7) occurred."));
    }

    void refitKeepsTheAlignedEdgeOrCentre_data()
    {
        QTest::addColumn<int>("align");
        QTest::newRow("left") << int(Qt::AlignLeft | Qt::AlignTop);
        QTest::newRow("centred") << int(Qt::AlignHCenter | Qt::AlignTop);
        QTest::newRow("right") << int(Qt::AlignRight | Qt::AlignTop);
        QTest::newRow("vertically centred") << int(Qt::AlignLeft | Qt::AlignVCenter);
    }

    void refitKeepsTheAlignedEdgeOrCentre()
    {
        QFETCH(int, align);
        const QRect place(40, 30, 301, 41);
        Fixture f(QStringLiteral("Short"), Qt::Alignment(align), place);
        const QRect fitted = f.link->geometry();
        QFont underlined = f.link->font();
        underlined.setUnderline(true);
        QCOMPARE(fitted.size(), QFontMetrics(underlined).size(0, QStringLiteral("Short")));
        if (align & Qt::AlignHCenter)
            QVERIFY(qAbs((fitted.left() + fitted.width() / 2.0) - (place.left() + place.width() / 2.0)) <= 1);
        else if (align & Qt::AlignRight)
            QCOMPARE(fitted.left() + fitted.width(), place.left() + place.width());
        else
            QCOMPARE(fitted.left(), place.left());
        if (align & Qt::AlignVCenter)
            QVERIFY(qAbs((fitted.top() + fitted.height() / 2.0) - (place.top() + place.height() / 2.0)) <= 1);
        else
            QCOMPARE(fitted.top(), place.top());

        // A longer address text grows it again from the same edge or centre.
        f.link->setText(QStringLiteral("A much longer text than before"));
        f.link->setLinkAddress(kAddress);
        const QRect grown = f.link->geometry();
        QVERIFY(grown.width() > fitted.width());
        if (align & Qt::AlignRight)
            QCOMPARE(grown.left() + grown.width(), place.left() + place.width());
        else if (!(align & Qt::AlignHCenter))
            QCOMPARE(grown.left(), place.left());
        else
            QVERIFY(qAbs((grown.left() + grown.width() / 2.0) - (place.left() + place.width() / 2.0)) <= 1);
    }

    void framedLabelKeepsItsFrame()
    {
        RecordingDesktop desktop;
        QWidget host;
        auto* link = new HyperLinkStatic(desktop, QStringLiteral("Framed"), &host);
        link->setFrameStyle(QFrame::Box | QFrame::Plain);
        link->setLineWidth(2);
        link->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        link->setGeometry(10, 10, 200, 40);
        link->attach();
        QFont underlined = link->font();
        underlined.setUnderline(true);
        QCOMPARE(link->size(), QFontMetrics(underlined).size(0, QStringLiteral("Framed")) + QSize(4, 4));
    }
};

QTEST_MAIN(HyperLinkStaticTest)
#include "HyperLinkStaticTest.moc"
