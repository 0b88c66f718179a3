// SPDX-License-Identifier: GPL-3.0-or-later
// Match Loudness... and Trim Silence in the main window, driven by their keys and the Edit menu:
// the target asked for, the volumes and trims set as one undo step, the entries left as they were
// named in one message, and Esc on the progress box stopping a long scan with the list unchanged.
#include <QElapsedTimer>
#include <QInputDialog>
#include <QMenuBar>
#include <QProgressDialog>
#include <QtTest>

#include "app/LevelCommands.h"
#include "app/ListFileCommands.h"
#include "model/EntryEditing.h"
#include "support/MainWindowFixture.h"

using namespace sonarel;
using sonarel::testing::MainWindowFixture;
using sonarel::testing::WhenDialogOpens;

namespace {

constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;

std::vector<std::int16_t> silence16(double seconds)
{
    return sonarel::testing::constant16(2, 44100, seconds, 0);
}

}  // namespace

class LevelCommandsTest : public QObject {
    Q_OBJECT

private:
    sonarel::testing::MainWindowScratch scratch_;

    QString wav(const QString& name, const std::vector<std::int16_t>& samples)
    {
        const QString path = scratch_.path(name);
        sonarel::testing::writeWav16(path.toStdString(), 2, 44100, samples);
        return path;
    }

    // A window with `files`, shown and active, every entry selected by Ctrl+A.
    std::unique_ptr<MainWindowFixture> windowWith(const QStringList& files)
    {
        auto f = scratch_.makeWindow();
        f->dialog.addFiles(files);
        f->dialog.show();
        QApplication::setActiveWindow(&f->dialog);
        if (!QTest::qWaitForWindowActive(&f->dialog))
            return nullptr;
        f->list().setFocus();
        QTest::keyClick(&f->list(), Qt::Key_A, Qt::ControlModifier);
        return f;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(scratch_.setUp()); }

    void matchLoudnessSetsTheSelectedVolumesAsOneStep()
    {
        using sonarel::testing::sine16;
        auto f = windowWith({wav(QStringLiteral("loud.wav"), sine16(2, 44100, 2.0, 440, 20000)),
                             wav(QStringLiteral("quiet.wav"), sine16(2, 44100, 2.0, 440, 2518)),
                             wav(QStringLiteral("short.wav"), sine16(2, 44100, 0.3, 440, 8000))});
        QVERIFY(f);
        const MixItemStore& store = f->dialog.store();
        WhenDialogOpens<QInputDialog> ask([](QInputDialog& d) {
            QCOMPARE(d.doubleValue(), -20.0);
            auto* box = d.findChild<QAbstractSpinBox*>();
            box->selectAll();
            QTest::keyClicks(box, QStringLiteral("-23"));
            QTest::keyClick(&d, Qt::Key_Return);
        });
        QTest::keyClick(&f->list(), Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(ask.ran());
        QCOMPARE(f->dialog.levelCommands().matchTarget(), -23.0);
        // 18 dB apart before: as loud as each other after, each at the target.
        QVERIFY(store.at(0).volume < 1.0);
        QVERIFY(std::abs(store.at(1).volume / store.at(0).volume - std::pow(10.0, 18.0 / 20.0)) < 0.05);
        QCOMPARE(store.at(2).volume, 1.0);
        QCOMPARE(f->desktop.messages.size(), std::size_t{1});
        QVERIFY(f->desktop.messages[0].text.contains(QStringLiteral("short.wav")));
        QVERIFY(!f->desktop.messages[0].text.contains(QStringLiteral("loud.wav")));
        QCOMPARE(f->dialog.listFile().undoAction()->text(), QStringLiteral("&Undo Match Loudness"));
        f->dialog.listFile().undo();
        QCOMPARE(store.at(0).volume, 1.0);
        QCOMPARE(store.at(1).volume, 1.0);
    }

    void trimSilenceFromTheEditMenu()
    {
        std::vector<std::int16_t> take = silence16(1.0);
        const std::vector<std::int16_t> sound = sonarel::testing::sine16(2, 44100, 1.5, 440, 8000);
        take.insert(take.end(), sound.begin(), sound.end());
        const std::vector<std::int16_t> tail = silence16(1.0);
        take.insert(take.end(), tail.begin(), tail.end());
        auto f = windowWith({wav(QStringLiteral("take.wav"), take), wav(QStringLiteral("hush.wav"), silence16(1.0))});
        QVERIFY(f);
        QMenu* edit = nullptr;
        for (QAction* menu : f->dialog.findChild<QMenuBar*>()->actions())
            if (menu->text() == QStringLiteral("&Edit"))
                edit = menu->menu();
        QVERIFY(edit);
        QAction* trim = nullptr;
        for (QAction* action : edit->actions())
            if (action->text() == QStringLiteral("&Trim Silence"))
                trim = action;
        QVERIFY(trim);
        QCOMPARE(trim->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
        trim->trigger();
        const MixItemStore& store = f->dialog.store();
        QVERIFY(std::abs(store.at(0).inPoint - 9 * kSecond / 10) < kSecond / 1000);
        QVERIFY(std::abs(store.at(0).outPoint - 26 * kSecond / 10) < kSecond / 1000);
        QCOMPARE(store.at(1).outPoint, kToSourceEnd);
        QCOMPARE(f->desktop.messages.size(), std::size_t{1});
        QVERIFY(f->desktop.messages[0].text.contains(QStringLiteral("hush.wav")));
        QCOMPARE(f->dialog.listFile().undoAction()->text(), QStringLiteral("&Undo Trim Silence"));
    }

    void escapeStopsALongScanAndChangesNothing()
    {
        // Long entries that keep their pitch: the stretcher makes the scan take seconds.
        const QString file = wav(QStringLiteral("long.wav"), sonarel::testing::sine16(2, 44100, 30.0, 440, 8000));
        auto f = windowWith(QStringList(8, file));
        QVERIFY(f);
        MixItemStore& store = f->dialog.store();
        for (int i = 0; i < store.audioCount(); ++i) {
            EntryProperties slow = store.at(i).properties();
            slow.speed = 0.5;
            slow.keepPitch = true;
            setEntryProperties(store, i, slow);
        }
        f->list().refresh(store);
        QTest::keyClick(&f->list(), Qt::Key_A, Qt::ControlModifier);
        const QString undoBefore = f->dialog.listFile().undoAction()->text();
        WhenDialogOpens<QInputDialog> ask([](QInputDialog& d) { QTest::keyClick(&d, Qt::Key_Return); });
        QElapsedTimer shown;
        WhenDialogOpens<QProgressDialog> progress([&](QProgressDialog& d) {
            shown.start();
            QTest::keyClick(&d, Qt::Key_Escape);
        });
        f->dialog.levelCommands().matchLoudnessAction()->trigger();
        QVERIFY(ask.ran());
        QVERIFY(progress.ran());
        QVERIFY2(shown.elapsed() < 5000, qPrintable(QString::number(shown.elapsed())));
        for (int i = 0; i < store.audioCount(); ++i)
            QCOMPARE(store.at(i).volume, 1.0);
        QVERIFY(f->desktop.messages.empty());
        QCOMPARE(f->dialog.listFile().undoAction()->text(), undoBefore);
    }
};

QTEST_MAIN(LevelCommandsTest)
#include "LevelCommandsTest.moc"
