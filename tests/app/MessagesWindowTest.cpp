// SPDX-License-Identifier: GPL-3.0-or-later
// What the window shows about files it cannot use and places it cannot write, the timeline's view
// of a list, and the About links when nothing can open them: the real window, driven by events.
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include "app/AboutDialog.h"
#include "app/InfoCommands.h"
#include "app/ListFileCommands.h"
#include "app/arrangement/ArrangementView.h"
#include "app/arrangement/ArrangementWindow.h"
#include "controls/HyperLinkStatic.h"
#include "platform/BrowserCommand.h"
#include "platform/QtDesktop.h"
#include "support/MainWindowFixture.h"
#include "support/SmallDisk.h"

using namespace sonarel;
using sonarel::testing::MainWindowFixture;

class MessagesWindowTest : public QObject {
    Q_OBJECT

    sonarel::testing::MainWindowScratch scratch_;

    QString junk(const QString& name)
    {
        QFile file(scratch_.path(name));
        if (file.open(QIODevice::WriteOnly))
            file.write("plain words, not a sound\n");
        return file.fileName();
    }

    static ArrangementWindow& openTimeline(MainWindowFixture& f)
    {
        f.dialog.show();
        (void)QTest::qWaitForWindowExposed(&f.dialog);
        QTest::keyClick(&f.dialog, Qt::Key_T, Qt::ControlModifier);
        ArrangementWindow* window = f.dialog.arrangementWindow();
        if (!window)
            qFatal("Ctrl+T did not open the timeline");
        (void)QTest::qWaitForWindowExposed(window);
        return *window;
    }

    static QString summaryOf(ArrangementWindow& window)
    {
        return window.findChild<QLabel*>(QStringLiteral("timelineSummary"))->text();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(scratch_.setUp()); }

    void anUnreadableEntryIsMarkedInTheListAndHatchedWithItsName()
    {
        auto f = scratch_.makeWindow();
        f->dialog.addFiles({scratch_.tone(QStringLiteral("fine.wav"), 1.0), junk(QStringLiteral("notes.mp3"))});
        QCOMPARE(f->rows(), 2);
        const auto duration = f->list().item(1, 1);
        QCOMPARE(duration->data(Qt::AccessibleTextRole).toString(), QStringLiteral("unreadable"));
        QVERIFY2(duration->toolTip().contains(QStringLiteral("notes.mp3 is not a media file that can be played")),
                 qPrintable(duration->toolTip()));
        QVERIFY(duration->font().italic());
        QVERIFY(!f->list().item(0, 1)->font().italic());
        QVERIFY(f->list().item(0, 1)->toolTip().isEmpty());

        ArrangementWindow& window = openTimeline(*f);
        QVERIFY(QTest::qWaitFor([&] { return window.peaks().pendingCount() == 0; }, 30000));
        ArrangementView& view = window.view();
        QCOMPARE(view.lookOf(1), ArrangementView::BarLook::Unreadable);
        QCOMPARE(view.barText(1), QStringLiteral("notes.mp3 (unreadable)"));
        // Wide enough for its name whatever the zoom.
        for (int zoom = 0; zoom < 3; ++zoom) {
            QCOMPARE(view.barOnViewport(1).width(), ArrangementLayout::kUnknownLengthBarWidth);
            view.zoomOut();
        }
        // Drawn hatched: the hatch's red among the grey, and the name's dark text on its backing.
        const QImage picture = view.renderPicture();
        const QRect body = view.layout().bars()[1].body.toAlignedRect().adjusted(3, 3, -3, -3);
        int hatch = 0;
        int text = 0;
        for (int y = body.top(); y <= body.bottom(); ++y) {
            for (int x = body.left(); x <= body.right(); ++x) {
                const QColor c = picture.pixelColor(x, y);
                hatch += c.red() > 150 && c.green() < 110 && c.blue() < 110;
                text += c.lightness() < 60;
            }
        }
        QVERIFY2(hatch > 20, qPrintable(QString::number(hatch)));
        QVERIFY2(text > 10, qPrintable(QString::number(text)));
        // The bar of unknown length does not cover a later entry in its lane.
        f->dialog.addFiles({scratch_.tone(QStringLiteral("later.wav"), 1.0)});
        f->dialog.store().at(2).startTime = kReferenceUnitsPerSecond / 10;
        f->list().refresh(f->dialog.store());
        view.fitToWindow();
        const auto& bars = view.layout().bars();
        if (bars[1].lane == bars[2].lane)
            QVERIFY(!bars[1].slot.intersects(bars[2].slot));
    }

    void theTimelineFitsANewlyOpenedListAndCountsInWords()
    {
        auto f = scratch_.makeWindow();
        f->dialog.addFiles({scratch_.tone(QStringLiteral("long.wav"), 8.0)});
        ArrangementWindow& window = openTimeline(*f);
        ArrangementView& view = window.view();
        for (int i = 0; i < 4; ++i)
            view.zoomIn();
        const double zoomedIn = view.layout().pixelsPerSecond();

        const QString list = scratch_.path(QStringLiteral("short.csv"));
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write((scratch_.tone(QStringLiteral("short.wav"), 1.0) + QStringLiteral(",0,1,1\n")).toUtf8());
        file.close();
        QVERIFY(f->dialog.listFile().openListFile(list));
        QCOMPARE(view.layout().bars().size(), 1u);
        QVERIFY(view.layout().pixelsPerSecond() != zoomedIn);
        // The whole second in view, filling it.
        const QRectF bar = view.barOnViewport(0);
        QVERIFY2(bar.left() >= 0 && bar.right() <= view.viewport()->width() + 1,
                 qPrintable(QString::number(bar.right())));
        QVERIFY(bar.width() > view.viewport()->width() * 0.8);
        QVERIFY(QTest::qWaitFor([&] { return window.peaks().pendingCount() == 0; }, 30000));
        QCOMPARE(summaryOf(window), QStringLiteral("1 entry in 1 lane, total length 0:01.0"));

        // The last ruler label does not run under the "Total" tag.
        const QRectF tag = view.totalTagOnViewport();
        QVERIFY(!tag.isEmpty());
        const std::vector<QRectF> labels = view.rulerLabelsOnViewport();
        QVERIFY(labels.size() >= 2);
        for (const QRectF& label : labels)
            QVERIFY2(!label.intersects(tag), qPrintable(QStringLiteral("%1..%2 under %3..%4")
                                                            .arg(label.left())
                                                            .arg(label.right())
                                                            .arg(tag.left())
                                                            .arg(tag.right())));

        // An edit keeps the zoom the user chose.
        view.zoomIn();
        const double chosen = view.layout().pixelsPerSecond();
        f->dialog.store().at(0).startTime = kReferenceUnitsPerSecond;
        f->list().refresh(f->dialog.store());
        QCOMPARE(view.layout().pixelsPerSecond(), chosen);
        f->dialog.addFiles({scratch_.tone(QStringLiteral("second.wav"), 1.0)});
        QVERIFY(QTest::qWaitFor([&] { return window.peaks().pendingCount() == 0; }, 30000));
        QCOMPARE(summaryOf(window), QStringLiteral("2 entries in 1 lane, total length 0:02.0"));
    }

    void theExportedPictureShowsNoSelection()
    {
        auto f = scratch_.makeWindow();
        f->dialog.addFiles({scratch_.tone(QStringLiteral("x1.wav"), 1.0),
                            scratch_.tone(QStringLiteral("x2.wav"), 2.0)});
        ArrangementWindow& window = openTimeline(*f);
        QVERIFY(QTest::qWaitFor([&] { return window.peaks().pendingCount() == 0; }, 30000));
        f->list().clearSelection();
        const QImage plain = window.view().renderPicture();
        f->list().selectRow(1);
        QVERIFY(f->list().selectionModel()->isRowSelected(1, {}));
        QCOMPARE(window.view().renderPicture(), plain);
    }

    void aReadOnlyOutputFolderIsNamedBeforeAnythingStarts()
    {
        sonarel::testing::SmallDisk disk(QStringLiteral("1m,ro"));
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        auto f = scratch_.makeWindow();
        const QString gone = scratch_.tone(QStringLiteral("ro-gone.wav"), 1.0);
        f->dialog.addFiles({scratch_.tone(QStringLiteral("ro.wav"), 1.0), gone});
        QVERIFY(QFile::remove(gone));  // a question about it would come after the check
        QVERIFY(f->desktop.messages.empty());
        OutputSettings settings = f->dialog.outputSettings();
        settings.outputFile = disk.filePath(QStringLiteral("mix.wav"));
        f->dialog.setOutputSettings(settings);
        f->desktop.answers.push_back(true);  // would mix without the gone file, if it were asked
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QCOMPARE(f->desktop.texts(), QStringList{QStringLiteral("The output file %1 cannot be written: %2 is on a "
                                                                "read-only file system. Nothing was mixed; please "
                                                                "choose another output file.")
                                                     .arg(settings.outputFile, disk.path())});
        QCOMPARE(f->desktop.answers.size(), 1u);  // nothing was asked
        QCOMPARE(f->button(kIdMix)->text(), QStringLiteral("Mix"));
    }

    void aboutLinksSayWhatCouldNotOpenThemAsHomepageDoes()
    {
        sonarel::testing::RecordingDesktop desktop;
        desktop.openSucceeds = false;  // no browser, and no default for web pages
        AboutDialog about(desktop);
        about.show();
        (void)QTest::qWaitForWindowExposed(&about);
        auto* site = about.findChild<HyperLinkStatic*>(QString::number(AboutDialog::kIdWebSiteLink));
        QVERIFY(site);
        QTest::mouseClick(site, Qt::LeftButton, {}, site->rect().center());
        QCOMPARE(desktop.texts().size(), 1);
        QVERIFY2(desktop.texts()[0].startsWith(QStringLiteral("Unable to open hyperlink:\n\n")),
                 qPrintable(desktop.texts()[0]));
        QVERIFY(desktop.texts()[0].endsWith(QStringLiteral("\n\n") + cannotOpenText(site->linkAddress())));
        homepageCommand(desktop);
        QCOMPARE(desktop.texts().size(), 2);
        QVERIFY(desktop.texts()[1].startsWith(QStringLiteral("No web browser could open ")));

        // A contact that is a mail address opens as one.
        sonarel::testing::RecordingDesktop mail;
        HyperLinkStatic link(mail, QStringLiteral("Support Email: Click here"));
        link.attach();
        link.setLinkAddress(linkTarget(QStringLiteral("support@quillmoor.com")));
        link.resize(200, 20);
        link.show();
        QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(mail.openedDocuments, std::vector<QString>{QStringLiteral("mailto:support@quillmoor.com")});
        // Only a bare mail address: an address of a web page with a user in it stays one.
        QCOMPARE(linkTarget(QStringLiteral("https://user@quillmoor.com/")),
                 QStringLiteral("https://user@quillmoor.com/"));
    }

    void aMessageBoxNeverGrowsPastTheScreen()
    {
        QStringList lines;
        for (int i = 0; i < 400; ++i)
            lines << QStringLiteral("/music/take %1.wav: The file could not be found.").arg(i);
        lines << QStringLiteral("escape\x1b[2J");
        QtDesktop desktop(nullptr);
        int height = -1;
        QString shown;
        QString details;
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            height = box->frameGeometry().height();
            shown = box->text();
            details = box->detailedText();
            box->accept();
        });
        desktop.showAppMessage(lines.join(QLatin1Char('\n')));
        QVERIFY(height > 0);
        QVERIFY2(height <= QGuiApplication::primaryScreen()->availableGeometry().height(),
                 qPrintable(QString::number(height)));
        QVERIFY(shown.contains(QStringLiteral("more lines")));
        QVERIFY(details.endsWith(QStringLiteral("escape\\x1b[2J")));
    }
};

QTEST_MAIN(MessagesWindowTest)
#include "MessagesWindowTest.moc"
