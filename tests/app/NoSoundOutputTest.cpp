// SPDX-License-Identifier: GPL-3.0-or-later
// The window without a sound server (this test's environment points at none and forbids starting
// one): Space says so in one message, and mixing works as before.
#include <QtTest>

#include "app/PlaybackCommands.h"
#include "support/MainWindowFixture.h"

using namespace sonarel;

class NoSoundOutputTest : public QObject {
    Q_OBJECT

private:
    sonarel::testing::MainWindowScratch scratch;

private slots:
    void initTestCase() { QVERIFY(scratch.setUp()); }

    void playSaysThereIsNoSoundAndMixingGoesOn()
    {
        auto f = scratch.makeWindow();
        f->dialog.addFiles({scratch.tone(QStringLiteral("tone.wav"), 0.5)});
        f->dialog.show();
        QApplication::setActiveWindow(&f->dialog);
        QVERIFY(QTest::qWaitForWindowActive(&f->dialog));
        const QString status = f->status();
        f->list().setFocus();
        QTest::keyClick(&f->list(), Qt::Key_Space);
        QVERIFY(!f->dialog.playback().isPlaying());
        QCOMPARE(f->desktop.messages.size(), std::size_t{1});
        QVERIFY(f->desktop.messages[0].text.startsWith(QStringLiteral("No sound output is available")));
        QCOMPARE(f->status(), status);

        f->dialog.mixCommand();
        QVERIFY(QTest::qWaitFor([&] { return !f->dialog.runControl().isMixing(); }, 20000));
        QCOMPARE(f->dialog.runControl().lastOutcome(), MixOutcome::Completed);
        QCOMPARE(f->desktop.messages.size(), std::size_t{1});
    }
};

QTEST_MAIN(NoSoundOutputTest)
#include "NoSoundOutputTest.moc"
