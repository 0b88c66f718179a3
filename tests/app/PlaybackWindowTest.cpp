// SPDX-License-Identifier: GPL-3.0-or-later
// Playback from the window, on a private PulseAudio server's null sink: Space in the list plays
// and pauses, the status line follows and returns when the mix has played, and what was heard is
// the file the Mix button writes; Mix stops playback and Play waits while a mix runs; in the
// timeline, a click on the ruler and Home move the play-head and Space plays from it.
#include <QtTest>
#include <chrono>

#include "app/PlaybackCommands.h"
#include "app/arrangement/ArrangementView.h"
#include "app/arrangement/ArrangementWindow.h"
#include "support/MainWindowFixture.h"
#include "support/PulseServer.h"

using namespace sonarel;
using sonarel::testing::PulseServer;

class PlaybackWindowTest : public QObject {
    Q_OBJECT

private:
    sonarel::testing::MainWindowScratch scratch;
    std::unique_ptr<PulseServer> server;

    QString noise(const QString& name, double seconds, unsigned seed)
    {
        const QString file = scratch.path(name);
        sonarel::testing::writeWav16(file.toStdString(), 2, PulseServer::kRate,
                                     sonarel::testing::noisyTone(seconds, seed, 0.4));
        return file;
    }

    // A window with two overlapping entries, the first after a fifth of a second of silence.
    std::unique_ptr<sonarel::testing::MainWindowFixture> windowWithList()
    {
        auto f = scratch.makeWindow();
        f->dialog.addFiles({noise(QStringLiteral("one.wav"), 1.0, 11), noise(QStringLiteral("two.wav"), 0.6, 12)});
        f->dialog.store().at(0).startTime = kReferenceUnitsPerSecond / 5;
        f->dialog.store().at(1).startTime = kReferenceUnitsPerSecond / 2;
        f->dialog.store().at(1).volume = 0.6;
        f->list().refresh(f->dialog.store());
        f->dialog.show();
        QApplication::setActiveWindow(&f->dialog);
        if (!QTest::qWaitForWindowActive(&f->dialog))
            qWarning("the window did not become active");
        f->list().setFocus();
        return f;
    }

    // Mixes the window's list into `name` with the Mix command; its samples.
    static std::vector<std::int32_t> mixTo(sonarel::testing::MainWindowFixture& f, const QString& path)
    {
        OutputSettings settings = f.dialog.outputSettings();
        settings.outputFile = path;
        f.dialog.setOutputSettings(settings);
        f.dialog.mixCommand();
        if (!QTest::qWaitFor([&] { return !f.dialog.runControl().isMixing(); }, 20000))
            return {};
        sonarel::testing::WavData wav;
        std::string error;
        return sonarel::testing::readWav(path.toStdString(), wav, error) ? wav.samples : std::vector<std::int32_t>{};
    }

    static QAction* soloAction(sonarel::testing::MainWindowFixture& f)
    {
        for (QAction* action : f.dialog.findChildren<QAction*>())
            if (action->text() == QStringLiteral("&Solo"))
                return action;
        return nullptr;
    }

    static bool waitUntilStopped(WindowPlayback& playback, int ms = 10000)
    {
        return QTest::qWaitFor([&] { return !playback.isPlaying(); }, ms);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(scratch.setUp());
        server = std::make_unique<PulseServer>();
        if (!server->start())
            QSKIP(qPrintable(QStringLiteral("no PulseAudio server for the test: ") + server->why()));
    }

    void cleanupTestCase() { server.reset(); }

    void spaceInTheListPlaysWhatTheMixWrites()
    {
        auto f = windowWithList();
        WindowPlayback& playback = f->dialog.playback();
        const QString before = f->status();
        QVERIFY(server->startRecording());
        QTest::keyClick(&f->list(), Qt::Key_Space);
        QVERIFY(playback.isPlaying());
        QVERIFY(QTest::qWaitFor([&] { return f->status().startsWith(QStringLiteral("Playing 0:0")); }, 2000));
        QVERIFY2(f->status().endsWith(QStringLiteral(" of 0:01.2")), qPrintable(f->status()));
        QVERIFY(waitUntilStopped(playback));
        QCOMPARE(f->status(), before);
        const auto recorded = server->stopRecording();

        f->dialog.mixCommand();
        QVERIFY(QTest::qWaitFor([&] { return !f->dialog.runControl().isMixing(); }, 20000));
        sonarel::testing::WavData file;
        std::string error;
        QVERIFY2(sonarel::testing::readWav(f->dialog.outputSettings().outputFile.toStdString(), file, error),
                 error.c_str());
        const sonarel::testing::Alignment a = sonarel::testing::align(recorded, file.samples, 0);
        QVERIFY(a.found);
        QCOMPARE(a.fileFrame, std::int64_t{PulseServer::kRate / 5});
        QCOMPARE(a.mismatches, std::int64_t{0});
        QCOMPARE(a.missing, std::int64_t{0});
        QVERIFY(f->desktop.messages.empty());
    }

    // Solo plays the selected entry alone; the mix written after it still holds both.
    void soloPlaysOnlyTheSelectedEntries()
    {
        auto f = windowWithList();
        WindowPlayback& playback = f->dialog.playback();
        f->list().selectRow(1);
        QAction* solo = nullptr;
        for (QAction* action : f->dialog.findChildren<QAction*>())
            if (action->text() == QStringLiteral("&Solo"))
                solo = action;
        QVERIFY(solo);
        QVERIFY(server->startRecording());
        solo->trigger();
        QVERIFY(playback.isPlaying());
        QVERIFY(waitUntilStopped(playback));
        const auto recorded = server->stopRecording();

        f->dialog.mixCommand();
        QVERIFY(QTest::qWaitFor([&] { return !f->dialog.runControl().isMixing(); }, 20000));
        sonarel::testing::WavData both;
        std::string error;
        QVERIFY(sonarel::testing::readWav(f->dialog.outputSettings().outputFile.toStdString(), both, error));
        QCOMPARE(both.frames(), std::int64_t{PulseServer::kRate * 6 / 5});
        // The second entry alone, as its own file at its place and volume.
        f->dialog.store().at(0).muted = true;
        OutputSettings settings = f->dialog.outputSettings();
        settings.outputFile = scratch.path(QStringLiteral("alone.wav"));
        f->dialog.setOutputSettings(settings);
        f->dialog.mixCommand();
        QVERIFY(QTest::qWaitFor([&] { return !f->dialog.runControl().isMixing(); }, 20000));
        sonarel::testing::WavData alone;
        QVERIFY(sonarel::testing::readWav(f->dialog.outputSettings().outputFile.toStdString(), alone, error));
        const sonarel::testing::Alignment a = sonarel::testing::align(recorded, alone.samples, 0);
        QVERIFY(a.found);
        QCOMPARE(a.fileFrame, std::int64_t{PulseServer::kRate / 2});
        QCOMPARE(a.mismatches, std::int64_t{0});
        QCOMPARE(a.missing, std::int64_t{0});
    }

    // Paused inside the second entry, Solo on it goes on from the pause: the first sound heard is
    // the entry alone at that place, not its start.
    void soloAfterAPauseStartsAtThePlayHead()
    {
        auto f = windowWithList();
        WindowPlayback& playback = f->dialog.playback();
        f->dialog.store().at(0).muted = true;
        const std::vector<std::int32_t> alone = mixTo(*f, scratch.path(QStringLiteral("solo-alone.wav")));
        f->dialog.store().at(0).muted = false;
        f->list().refresh(f->dialog.store());
        QVERIFY(!alone.empty());
        f->list().setFocus();
        QTest::keyClick(&f->list(), Qt::Key_Space);
        QVERIFY(QTest::qWaitFor([&] { return playback.playHeadSeconds() > 0.65; }, 3000));
        QTest::keyClick(&f->list(), Qt::Key_Space);
        QVERIFY(playback.isPaused());
        const double at = playback.playHeadSeconds();
        QVERIFY2(at < 0.9, qPrintable(QString::number(at)));
        f->list().selectRow(1);
        QVERIFY(server->startRecording());
        soloAction(*f)->trigger();
        QVERIFY(playback.isPlaying() && !playback.isPaused());
        QVERIFY2(playback.playHeadSeconds() >= at - 0.01, qPrintable(QString::number(playback.playHeadSeconds())));
        QVERIFY(waitUntilStopped(playback));
        const auto recorded = server->stopRecording();
        const auto from = static_cast<std::int64_t>(at * PulseServer::kRate);
        const sonarel::testing::Alignment a = sonarel::testing::align(recorded, alone, from);
        QVERIFY2(a.found, "the entry's sound at the play-head is not the first sound heard");
        QVERIFY2(std::abs(a.fileFrame - from) < PulseServer::kRate / 100, qPrintable(QString::number(a.fileFrame)));
        QCOMPARE(a.mismatches, std::int64_t{0});
    }

    // A double click opens the file with the default player; when that is Sonarel itself, the
    // entry plays here, from its start, and no second Sonarel is started.
    void doubleClickPlaysInsideWhenSonarelIsTheDefaultPlayer()
    {
        auto f = windowWithList();
        WindowPlayback& playback = f->dialog.playback();
        QGuiApplication::setDesktopFileName(QStringLiteral("com.example.Sonarel"));
        QWidget* viewport = f->list().viewport();
        const QPoint second = f->list().visualItemRect(f->list().item(1, 0)).center();
        f->desktop.defaultHandler = QStringLiteral("org.example.Player");
        QTest::mouseClick(viewport, Qt::LeftButton, {}, second);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, second);
        QCOMPARE(f->desktop.openedDocuments.size(), std::size_t{1});
        QVERIFY(!playback.isPlaying());

        f->desktop.defaultHandler = QStringLiteral("com.example.Sonarel");
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, second);
        QCOMPARE(f->desktop.openedDocuments.size(), std::size_t{1});
        QVERIFY(playback.isPlaying());
        QVERIFY(playback.playHeadSeconds() >= 0.5 && playback.playHeadSeconds() < 0.9);
        QVERIFY(waitUntilStopped(playback));
    }

    // Ctrl+M on the first entry while it plays: the sound turns into the mix without it, without
    // a stop, within 0.3 s.
    void muteWhilePlayingIsHeardAtOnce()
    {
        auto f = windowWithList();
        const std::vector<std::int32_t> both = mixTo(*f, scratch.path(QStringLiteral("both.wav")));
        f->dialog.store().at(0).muted = true;
        const std::vector<std::int32_t> second = mixTo(*f, scratch.path(QStringLiteral("second.wav")));
        f->dialog.store().at(0).muted = false;
        f->list().refresh(f->dialog.store());
        QVERIFY(!both.empty() && !second.empty());

        WindowPlayback& playback = f->dialog.playback();
        f->list().selectRow(0);
        f->list().setFocus();
        QVERIFY(server->startRecording());
        const auto played = std::chrono::steady_clock::now();
        QTest::keyClick(&f->list(), Qt::Key_Space);
        QTest::qWait(600);
        const auto changed = std::chrono::steady_clock::now();
        QTest::keyClick(&f->list(), Qt::Key_M, Qt::ControlModifier);
        QVERIFY(f->dialog.store().at(0).muted);
        QVERIFY(playback.isPlaying());
        QVERIFY(waitUntilStopped(playback));
        const auto recorded = server->stopRecording();

        const sonarel::testing::Alignment a = sonarel::testing::align(recorded, both, 0);
        QVERIFY(a.found);
        const std::int64_t origin = a.recordedFrame - a.fileFrame;  // the recording's frame of mix frame 0
        const auto same = [&](const std::vector<std::int32_t>& file, std::int64_t k) {
            const std::int64_t r = origin + k;
            return 2 * k + 1 < static_cast<std::int64_t>(file.size()) && r >= 0 &&
                   2 * r + 1 < static_cast<std::int64_t>(recorded.size()) &&
                   std::abs(recorded[2 * r] - file[2 * k]) <= 1 && std::abs(recorded[2 * r + 1] - file[2 * k + 1]) <= 1;
        };
        std::int64_t switched = a.fileFrame;
        while (same(both, switched))
            ++switched;
        std::int64_t wrong = 0;
        for (std::int64_t k = switched; 2 * k < static_cast<std::int64_t>(second.size()); ++k)
            wrong += !same(second, k);
        QCOMPARE(wrong, std::int64_t{0});
        const double heardAfter =
            std::chrono::duration<double>(played + playback.control().startLatency() - changed).count() +
            static_cast<double>(switched) / PulseServer::kRate;
        qInfo("the mute reached the device %.3f s after Ctrl+M", heardAfter);
        QVERIFY2(heardAfter > 0 && heardAfter < 0.3, qPrintable(QString::number(heardAfter)));
    }

    void spacePausesAndGoesOn()
    {
        auto f = windowWithList();
        WindowPlayback& playback = f->dialog.playback();
        QTest::keyClick(&f->list(), Qt::Key_Space);
        QTest::qWait(300);
        QTest::keyClick(&f->list(), Qt::Key_Space);
        QVERIFY(playback.isPaused());
        QVERIFY2(f->status().startsWith(QStringLiteral("Paused 0:0")), qPrintable(f->status()));
        const double at = playback.playHeadSeconds();
        QTest::qWait(300);
        QCOMPARE(playback.playHeadSeconds(), at);
        QTest::keyClick(&f->list(), Qt::Key_Space);
        QVERIFY(!playback.isPaused());
        QVERIFY(waitUntilStopped(playback));
    }

    void mixStopsPlaybackAndPlayWaitsForTheMix()
    {
        auto f = windowWithList();
        WindowPlayback& playback = f->dialog.playback();
        QTest::keyClick(&f->list(), Qt::Key_Space);
        QVERIFY(playback.isPlaying());
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QVERIFY(!playback.isPlaying());
        QVERIFY(f->dialog.runControl().isMixing());
        f->list().setFocus();
        QTest::keyClick(&f->list(), Qt::Key_Space);
        QVERIFY(!playback.isPlaying());
        QVERIFY(QTest::qWaitFor([&] { return !f->dialog.runControl().isMixing(); }, 20000));
        QTest::keyClick(&f->list(), Qt::Key_Space);
        QVERIFY(playback.isPlaying());
        playback.stop();
    }

    void theTimelinesRulerAndHomeMoveThePlayHead()
    {
        auto f = windowWithList();
        WindowPlayback& playback = f->dialog.playback();
        f->dialog.arrangementCommand();
        ArrangementWindow* window = f->dialog.arrangementWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        ArrangementView& view = window->view();
        const double x = view.layout().xOf(0.5);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(static_cast<int>(std::lround(x)), 5));
        QVERIFY2(std::abs(playback.playHeadSeconds() - 0.5) < 0.1,
                 qPrintable(QString::number(playback.playHeadSeconds())));
        QCOMPARE(view.playHead(), playback.playHeadSeconds());
        QVERIFY(!playback.isPlaying());

        QTest::keyClick(&view, Qt::Key_Space);
        QVERIFY(playback.isPlaying());
        QVERIFY(QTest::qWaitFor([&] { return view.playHead() > 0.7; }, 3000));
        QTest::keyClick(&view, Qt::Key_Home);
        QVERIFY(playback.playHeadSeconds() < 0.3);
        QVERIFY(waitUntilStopped(playback));
        QCOMPARE(view.playHead(), 1.2);
    }

    // Last, for the server does not come back for this process: when it ends while the mix plays,
    // the window says so and returns to idle.
    void theSoundServerGoingAwayEndsPlayback()
    {
        auto f = scratch.makeWindow();
        f->dialog.addFiles({noise(QStringLiteral("long.wav"), 20.0, 13)});
        WindowPlayback& playback = f->dialog.playback();
        const QString before = f->status();
        playback.playCommand();
        QVERIFY(QTest::qWaitFor([&] { return playback.playHeadSeconds() > 0.3; }, 3000));
        server->kill();
        QVERIFY(waitUntilStopped(playback, 8000));
        QCOMPARE(f->status(), before);
        QVERIFY2(f->desktop.texts().join(QLatin1Char('|')).contains(QStringLiteral("the sound output went away")),
                 qPrintable(f->desktop.texts().join(QLatin1Char('|'))));
    }
};

QTEST_MAIN(PlaybackWindowTest)
#include "PlaybackWindowTest.moc"
