// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <cstdlib>
#include <functional>

#include "app/ListFileCommands.h"
#include "app/MainDialog.h"
#include "app/MixListView.h"
#include "controls/ControlIds.h"
#include "platform/media/FaultPoints.h"
#include "res/Resources.h"
#include "settings/ProfileStore.h"
#include "support/MainWindowFixture.h"
#include "support/RecordingDesktop.h"
#include "support/WavFile.h"

using namespace sonarel;
using sonarel::testing::RecordingDesktop;

class MainDialogTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    int profileCounter_ = 0;

    struct Fixture {
        RecordingDesktop desktop;
        ProfileStore profile;
        media::MediaLibrary library;
        MainDialog dialog;
        Fixture(const QString& app, const QString& music) : profile(app), dialog(desktop, profile, library, music) {}
        QPushButton* button(int id) { return dialog.findChild<QPushButton*>(objectNameOf(id)); }
        QString status() { return dialog.findChild<QLabel*>(objectNameOf(kIdStatusLine))->text(); }
        int rows() { return dialog.mixList().rowCount(); }
        QString cell(int row, int column) { return dialog.mixList().item(row, column)->text(); }
    };

    std::unique_ptr<Fixture> make()
    {
        auto fixture = std::make_unique<Fixture>(QStringLiteral("sonarel-ui-%1").arg(++profileCounter_),
                                                 dir_.filePath(QStringLiteral("Music")));
        OutputSettings settings = fixture->dialog.outputSettings();
        settings.outputFile = dir_.filePath(QStringLiteral("out%1.wav").arg(profileCounter_));
        fixture->dialog.setOutputSettings(settings);
        return fixture;
    }

    QString tone(const QString& name, double seconds)
    {
        const QString path = dir_.filePath(name);
        sonarel::testing::writeWav16(path.toStdString(), 2, 44100,
                                     sonarel::testing::sine16(2, 44100, seconds, 440, 6000));
        return path;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(sonarel::testing::prepareWindowTests(dir_)); }

    void startsWithColumnsStatusAndButtons()
    {
        Fixture f(QStringLiteral("sonarel-ui-start"), dir_.filePath(QStringLiteral("Music")));
        QVERIFY(f.dialog.isReady());
        QCOMPARE(f.status(), QStringLiteral("Output File: ") + dir_.filePath(QStringLiteral("Music/audio_mix.wav")));
        QCOMPARE(f.dialog.windowTitle(), QStringLiteral("Sonarel"));
        const QStringList headers{QStringLiteral("File Name"), QStringLiteral("Duration(s)"), QStringLiteral("volume"),
                                  QStringLiteral("Start time(s)"), QStringLiteral("Speed")};
        for (int c = 0; c < headers.size(); ++c)
            QCOMPARE(f.dialog.mixList().horizontalHeaderItem(c)->text(), headers[c]);
        QVERIFY(f.dialog.mixList().columnWidth(0) >= 105);
        QVERIFY(f.dialog.mixList().columnWidth(3) >= 75);
        for (int id : {kIdAdd, kIdOptions, kIdMix, kIdHelp, kIdExit, kIdDeleteSelected, kIdDeleteAll, kIdProperties,
                       kIdHomepage, kIdAbout})
            QVERIFY2(f.button(id) != nullptr, qPrintable(objectNameOf(id)));
        QCOMPARE(f.button(kIdMix)->text(), QStringLiteral("Mix"));
        QCOMPARE(f.button(kIdAdd)->toolTip(), QStringLiteral("Add audio files to list"));
        QVERIFY(f.desktop.messages.empty());

        // No music folder: said once, and the home folder is used.
        Fixture noMusic(QStringLiteral("sonarel-ui-nomusic"), QString());
        QCOMPARE(noMusic.desktop.texts(), QStringList{QStringLiteral("Can not get My Music directory!")});
        QVERIFY(noMusic.status().endsWith(QStringLiteral("/audio_mix.wav")));
    }

    void engineFailureStopsTheStartUp()
    {
        RecordingDesktop desktop;
        ProfileStore profile(QStringLiteral("sonarel-ui-noengine"));
        media::MediaLibrary library;
        library.faults().fail(media::fault::kLibraryInitialize);
        MainDialog dialog(desktop, profile, library, dir_.path());
        QVERIFY(!dialog.isReady());
        QCOMPARE(desktop.messages.size(), size_t{1});
        QCOMPARE(desktop.messages[0].text, QStringLiteral("Could not initialize COM library."));
        QCOMPARE(desktop.messages[0].caption, QStringLiteral("Error"));
        QCOMPARE(dialog.findChild<QLabel*>(objectNameOf(kIdStatusLine))->text(), QString());
    }

    void mixChecksAndTheReplaceQuestion()
    {
        auto f = make();
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QCOMPARE(f->desktop.texts(), QStringList{QStringLiteral("Please add audio files into the list")});

        f->dialog.addFiles({tone(QStringLiteral("a.wav"), 0.2)});
        const QString output = f->dialog.outputSettings().outputFile;
        {
            QFile file(output);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("precious");
        }
        f->desktop.messages.clear();
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QCOMPARE(f->desktop.messages.size(), size_t{1});
        QVERIFY(f->desktop.messages[0].question);
        QCOMPARE(f->desktop.messages[0].text, output + QStringLiteral(" exists. Do you want to replace it?"));
        QCOMPARE(f->button(kIdMix)->text(), QStringLiteral("Mix"));
        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("precious"));
    }

    void mixRunsCountsTimeAndFinishes()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("b.wav"), 0.5), tone(QStringLiteral("c.wav"), 0.3)});
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QCOMPARE(f->button(kIdMix)->text(), QStringLiteral("Stop"));
        QVERIFY(f->dialog.findChild<QProgressBar*>(objectNameOf(kIdProgress))->isVisible() || !f->dialog.isVisible());

        // Closing is refused while mixing, by the close box and by Esc.
        QVERIFY(!f->dialog.close());
        QTest::keyClick(&f->dialog, Qt::Key_Escape);
        QCOMPARE(f->desktop.texts().count(QStringLiteral("Please first stop Convert")), 2);
        QVERIFY(f->dialog.runControl().isMixing());

        // The ticks show hours, minutes and seconds; hours go past 99.
        for (int i = 0; i < 3725; ++i)
            f->dialog.runControl().onTimerTick();
        QCOMPARE(f->status(), QStringLiteral("Please wait... Used Time: 01:02:05"));
        for (int i = 3725; i < 100 * 3600; ++i)
            f->dialog.runControl().onTimerTick();
        QCOMPARE(f->status(), QStringLiteral("Please wait... Used Time: 100:00:00"));

        // The graph's completion notice arrives through the event loop.
        QTRY_COMPARE_WITH_TIMEOUT(f->button(kIdMix)->text(), QStringLiteral("Mix"), 30000);
        const QString output = f->dialog.outputSettings().outputFile;
        QCOMPARE(f->status(), QStringLiteral("Done. Output File: ") + output);
        sonarel::testing::WavData wav;
        std::string error;
        QVERIFY2(sonarel::testing::readWav(output.toStdString(), wav, error), error.c_str());
        QCOMPARE(wav.frames(), std::int64_t{22050});

        // A second mix counts again from 1, and Stop ends it at once with a valid file.
        f->desktop.answers = {true};
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QCOMPARE(f->button(kIdMix)->text(), QStringLiteral("Stop"));
        f->dialog.runControl().onTimerTick();
        QCOMPARE(f->status(), QStringLiteral("Please wait... Used Time: 00:00:01"));
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QCOMPARE(f->button(kIdMix)->text(), QStringLiteral("Mix"));
        QCOMPARE(f->status(), QStringLiteral("Done. Output File: ") + output);
        QVERIFY2(sonarel::testing::readWav(output.toStdString(), wav, error), error.c_str());
        QVERIFY(wav.frames() <= 22050);
        QVERIFY(f->dialog.close());
    }

    // The loudness line speaks of the list that was mixed: it goes when another list is opened
    // and when the list is emptied, each time after a finished mix.
    void theLoudnessLineBelongsToTheMixedList()
    {
        auto f = make();
        auto* loudness = f->dialog.findChild<QLabel*>(QStringLiteral("loudness"));
        const QString other = dir_.filePath(QStringLiteral("other list.csv"));
        QFile list(other);
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("path,start_seconds,volume,speed\nloud-b.wav,0,1,1\n");
        list.close();
        const auto mixed = [&] {
            f->desktop.answers = {true};  // replace the last mix
            QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
            return QTest::qWaitFor([&] { return !f->dialog.runControl().isMixing(); }, 30000) &&
                   loudness->text().startsWith(QStringLiteral("Loudness: "));
        };
        const std::function<void()> leaveTheMix[] = {
            [&] { QVERIFY(f->dialog.listFile().openListFile(other)); },
            [&] { QTest::mouseClick(f->button(kIdDeleteAll), Qt::LeftButton); },
        };
        for (const auto& leave : leaveTheMix) {
            f->dialog.addFiles({tone(QStringLiteral("loud-a.wav"), 1.0), tone(QStringLiteral("loud-b.wav"), 0.8)});
            QVERIFY2(mixed(), qPrintable(loudness->text()));
            leave();
            QCOMPARE(loudness->text(), QString());
        }
    }

    void addingFilesFromTheDialogAndByDrop()
    {
        auto f = make();
        const QString unreadable = dir_.filePath(QStringLiteral("sub/noise.mp3"));
        QDir().mkpath(dir_.filePath(QStringLiteral("sub")));
        {
            QFile noise(unreadable);
            QVERIFY(noise.open(QIODevice::WriteOnly));
            noise.write(QByteArray(3000, '\x5a'));
        }
        const QString first = tone(QStringLiteral("one.wav"), 1.5);
        const QString second = tone(QStringLiteral("two.wav"), 0.25);
        f->desktop.filesToOpen = {{first, second, unreadable}};
        QTest::mouseClick(f->button(kIdAdd), Qt::LeftButton);
        QCOMPARE(f->desktop.dialogRequests.size(), size_t{1});
        QCOMPARE(f->desktop.dialogRequests[0].title, QStringLiteral("Select Media Files..."));
        QCOMPARE(f->desktop.dialogRequests[0].filters.size(), 5);
        QCOMPARE(f->desktop.dialogRequests[0].filters[0].displayText, QStringLiteral("Media Files (all types)"));
        QCOMPARE(f->rows(), 3);
        QCOMPARE(f->cell(0, 0), QStringLiteral("one.wav"));
        QCOMPARE(f->cell(0, 1), QStringLiteral("1.500"));
        QCOMPARE(f->cell(1, 1), QStringLiteral("0.250"));
        QCOMPARE(f->cell(2, 0), QStringLiteral("noise.mp3"));
        QCOMPARE(f->cell(2, 1), QStringLiteral("-0.000"));
        QCOMPARE(f->cell(2, 2), QStringLiteral("1.000"));
        QCOMPARE(f->cell(2, 3), QStringLiteral("0.000"));
        QCOMPARE(f->profile.ReadString(profile::kOption, profile::kLastAudioFolder, QString()),
                 dir_.filePath(QStringLiteral("sub/")));
        QVERIFY(f->desktop.messages.empty());

        // The next dialog starts in the remembered folder.
        QTest::mouseClick(f->button(kIdAdd), Qt::LeftButton);
        QCOMPARE(f->desktop.dialogRequests.back().initialFolder, dir_.filePath(QStringLiteral("sub/")));
        QCOMPARE(f->rows(), 3);

        // Files dropped from a file manager are added the same way.
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)});
        QWidget* viewport = f->dialog.mixList().viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
        QCOMPARE(f->rows(), 5);
        QCOMPARE(f->cell(4, 0), QStringLiteral("two.wav"));

        // Deleting: the selection is needed; rows go with their entries.
        QTest::mouseClick(f->button(kIdDeleteSelected), Qt::LeftButton);
        QCOMPARE(f->desktop.texts().last(), QStringLiteral("Please select an audio item!"));
        f->dialog.mixList().selectRow(1);
        QTest::mouseClick(f->button(kIdDeleteSelected), Qt::LeftButton);
        QCOMPARE(f->rows(), 4);
        QCOMPARE(f->cell(1, 0), QStringLiteral("noise.mp3"));
        QTest::mouseClick(f->button(kIdDeleteAll), Qt::LeftButton);
        QCOMPARE(f->rows(), 0);
        QCOMPARE(f->dialog.store().audioCount(), 0);
    }

    void aFullListRefusesFilesByName()
    {
        auto f = make();
        const QString file = tone(QStringLiteral("fill.wav"), 0.05);
        for (int i = 0; i < kMixItemCapacity - 1; ++i)
            QCOMPARE(f->dialog.store().append(file.toStdString(), 500'000), AppendResult::Appended);
        const QString last = tone(QStringLiteral("last.wav"), 0.05);
        const QString extra = tone(QStringLiteral("extra.wav"), 0.05);
        f->dialog.addFiles({last, extra});
        QCOMPARE(f->dialog.store().audioCount(), kMixItemCapacity);
        QCOMPARE(f->rows(), kMixItemCapacity);
        QCOMPARE(f->desktop.messages.size(), size_t{1});
        QVERIFY(f->desktop.messages[0].text.contains(extra));
        QVERIFY(!f->desktop.messages[0].text.contains(last));
    }

    void rendersTheWindowForPeopleToSee()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("Morning Birds.wav"), 0.4),
                            tone(QStringLiteral("Voice over.wav"), 0.2)});
        f->dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f->dialog));
        const QImage image = f->dialog.grab().toImage();
        const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/main-window.png");
        QVERIFY(image.save(path));
        qInfo("main window picture: %s", qPrintable(path));

        // Nothing overlaps: every control lies inside the window and apart from the others.
        QList<QWidget*> controls;
        for (QWidget* child : f->dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (child->isVisible() && !child->objectName().isEmpty() && child->objectName() != QStringLiteral("102"))
                controls << child;
        }
        QVERIFY(controls.size() >= 12);
        for (int i = 0; i < controls.size(); ++i) {
            QVERIFY2(f->dialog.rect().contains(controls[i]->geometry()), qPrintable(controls[i]->objectName()));
            for (int j = i + 1; j < controls.size(); ++j)
                QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                         qPrintable(controls[i]->objectName() + QStringLiteral(" / ") + controls[j]->objectName()));
        }
        // Captions fit their buttons.
        for (int id : {kIdAdd, kIdOptions, kIdMix, kIdExit, kIdHomepage, kIdAbout}) {
            QPushButton* button = f->button(id);
            const int textWidth = button->fontMetrics().horizontalAdvance(button->text().remove(QLatin1Char('&')));
            QVERIFY2(textWidth < button->width(), qPrintable(button->text()));
        }
        f->dialog.hide();
    }
};

QTEST_MAIN(MainDialogTest)
#include "MainDialogTest.moc"
