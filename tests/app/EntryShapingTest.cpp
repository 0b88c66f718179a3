// SPDX-License-Identifier: GPL-3.0-or-later
// Shaping an entry from the main window as a person does it: the audio settings dialog's "More"
// part typed into and refused, "Fit length...", and Mute from the window's menu and Ctrl+M with
// its undo.
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include "app/ListFileCommands.h"
#include "model/EntryEditing.h"
#include "settings/ui/AudioSettingsDialog.h"
#include "settings/ui/DuckingDialog.h"
#include "settings/ui/FitLengthDialog.h"
#include "support/MainWindowFixture.h"

using namespace sonarel;
using sonarel::testing::MainWindowFixture;
using Box = AudioSettingsDialog;

namespace {

constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;

template <typename W = QLineEdit>
W* control(QWidget& dialog, int id)
{
    return dialog.findChild<W*>(QString::number(id));
}

void type(QWidget& dialog, int id, const QString& text)
{
    QLineEdit* edit = control(dialog, id);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

void press(QWidget& dialog, int id, Qt::Key key = Qt::Key_Space)
{
    control<QWidget>(dialog, id)->setFocus();
    QTest::keyClick(control<QWidget>(dialog, id), key);
}

void selectRows(MixListView& list, std::initializer_list<int> rows)
{
    list.clearSelection();
    for (int row : rows)
        list.selectionModel()->select(list.model()->index(row, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// The window's context menu, opened from the keyboard: whether its item `text` is checked, and
// then that item chosen by its access key `key`.
bool chooseFromMenu(MainDialog& window, const QString& text = QStringLiteral("&Mute"), Qt::Key key = Qt::Key_M)
{
    bool checked = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            poll.stop();
            for (QAction* action : menu->actions())
                checked |= action->text() == text && action->isChecked();
            QTest::keyClick(menu, key);
        }
    });
    poll.start();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), window.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&window, &event);
    return checked;
}

}  // namespace

class EntryShapingTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int counter_ = 0;

    // A window whose list holds `entries` files of four seconds each.
    std::unique_ptr<MainWindowFixture> make(int entries)
    {
        ++counter_;
        auto f = std::make_unique<MainWindowFixture>(QStringLiteral("sonarel-shape-%1").arg(counter_),
                                                     dir_.filePath(QStringLiteral("Music")));
        QStringList files;
        for (int i = 0; i < entries; ++i) {
            files << dir_.filePath(QStringLiteral("s%1-%2.wav").arg(counter_).arg(i));
            sonarel::testing::writeWav16(files.back().toStdString(), 2, 44100,
                                         sonarel::testing::constant16(2, 44100, 4.0, 1000));
        }
        f->dialog.addFiles(files);
        return f;
    }

    // Opens the audio settings of `row` with the properties button and runs `act` in the dialog.
    static bool editRow(MainWindowFixture& f, int row, const std::function<void(AudioSettingsDialog&)>& act)
    {
        selectRows(f.list(), {row});
        sonarel::testing::WhenDialogOpens<AudioSettingsDialog> when(act);
        QTest::mouseClick(f.button(kIdProperties), Qt::LeftButton);
        return when.ran();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(sonarel::testing::prepareWindowTests(dir_)); }

    void moreOpensThePartAndEveryFieldReachesTheEntry()
    {
        auto f = make(1);
        QVERIFY(editRow(*f, 0, [&](AudioSettingsDialog& d) {
            QVERIFY(QTest::qWaitForWindowActive(&d));
            QVERIFY(!control(d, Box::kIdInPoint)->isVisible());  // a plain entry opens with the part closed
            const int closedHeight = d.height();
            QTest::keyClick(&d, Qt::Key_M, Qt::AltModifier);
            QTRY_VERIFY(control(d, Box::kIdInPoint)->isVisible());  // an access key clicks after a short flash
            QVERIFY(d.height() > closedHeight);
            QCOMPARE(control(d, Box::kIdOutPoint)->text(), QString());  // the file's end
            QVERIFY(!control(d, Box::kIdPitch)->isEnabled());
            type(d, Box::kIdInPoint, QStringLiteral("1.5"));
            type(d, Box::kIdOutPoint, QStringLiteral("3.5"));
            type(d, Box::kIdFadeIn, QStringLiteral("0.25"));
            type(d, Box::kIdFadeOut, QStringLiteral("0.5"));
            press(d, Box::kIdFadeCurve, Qt::Key_Down);
            press(d, Box::kIdKeepPitch);
            QVERIFY(control(d, Box::kIdPitch)->isEnabled());
            type(d, Box::kIdPitch, QStringLiteral("-7"));
            press(d, Box::kIdMute);
            type(d, Box::kIdVolumePoints, QStringLiteral("1.5:1; 2:0.25"));
            press(d, Box::kIdPitch, Qt::Key_Return);
            QVERIFY(!d.isVisible());
        }));
        QVERIFY(f->desktop.messages.empty());
        EntryProperties expected;
        expected.inPoint = 15 * kSecond / 10;
        expected.outPoint = 35 * kSecond / 10;
        expected.fadeIn = kSecond / 4;
        expected.fadeOut = kSecond / 2;
        expected.fadeCurve = FadeCurve::EqualPower;
        expected.keepPitch = true;
        expected.pitchSemitones = -7.0;
        expected.muted = true;
        expected.volumePoints = {{15 * kSecond / 10, 1.0}, {2 * kSecond, 0.25}};
        QVERIFY(sameProperties(f->dialog.store().at(0).properties(), expected));
        QVERIFY(f->cell(0, 0).endsWith(QStringLiteral(" (muted)")));

        // A shaped entry opens with the part open; an emptied out box is the file's end again.
        QVERIFY(editRow(*f, 0, [&](AudioSettingsDialog& d) {
            QCOMPARE(control(d, Box::kIdOutPoint)->text(), QStringLiteral("3.500"));
            QCOMPARE(control(d, Box::kIdVolumePoints)->text(), QStringLiteral("1.5:1;2:0.25"));
            QVERIFY(control(d, Box::kIdPitch)->isEnabled());
            type(d, Box::kIdOutPoint, QString());
            type(d, Box::kIdVolumePoints, QString());
            press(d, Box::kIdMute);
            QTest::keyClick(&d, Qt::Key_Return);
        }));
        QCOMPARE(f->dialog.store().at(0).outPoint, kToSourceEnd);
        QVERIFY(f->dialog.store().at(0).volumePoints.empty());
        QVERIFY(!f->cell(0, 0).contains(QStringLiteral("muted")));
    }

    void eachRefusalFocusesItsBoxWithTheTextSelected_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const QString number = QStringLiteral("Please enter a number.");
        QTest::newRow("in abc") << int(Box::kIdInPoint) << "abc" << number;
        QTest::newRow("in -1") << int(Box::kIdInPoint) << "-1"
                               << QStringLiteral("Please enter an in point of 0 seconds or more.");
        QTest::newRow("in at the end") << int(Box::kIdInPoint) << "4"
                                       << QStringLiteral(
                                              "Please enter an in point before the end of the file, at 4.000 seconds.");
        QTest::newRow("out 0") << int(Box::kIdOutPoint) << "0"
                               << QStringLiteral(
                                      "Please enter an out point after the in point, or leave the box empty "
                                      "to play to the end of the file.");
        QTest::newRow("fade in -0.5") << int(Box::kIdFadeIn) << "-0.5"
                                      << QStringLiteral("Please enter a fade length of 0 seconds or more.");
        QTest::newRow("fade out x") << int(Box::kIdFadeOut) << "x" << number;
        QTest::newRow("pitch 30") << int(Box::kIdPitch) << "30"
                                  << QStringLiteral("Please enter a pitch between -24 and 24 semitones.");
        const QString points = QStringLiteral(
            "These volume points cannot be used: %1.\n\nPlease write TIME:LEVEL pairs separated by semicolons, in "
            "time order, for example 0:1;2.5:0.3 (seconds of the file's own time, levels 0 to 100).");
        QTest::newRow("points out of order")
            << int(Box::kIdVolumePoints) << "2:1;1:0.5"
            << points.arg(QStringLiteral("the volume points must be in time order (point 2, at 1.000 s, is not "
                                         "after 2.000 s)"));
        QTest::newRow("points without a level")
            << int(Box::kIdVolumePoints) << "2"
            << points.arg(QStringLiteral("the volume point 1 \"2\" is not TIME:LEVEL"));
    }

    void eachRefusalFocusesItsBoxWithTheTextSelected()
    {
        QFETCH(int, id);
        QFETCH(QString, text);
        QFETCH(QString, message);
        auto f = make(1);
        QVERIFY(editRow(*f, 0, [&](AudioSettingsDialog& d) {
            QTest::mouseClick(control<QPushButton>(d, Box::kIdMore), Qt::LeftButton);
            press(d, Box::kIdKeepPitch);
            type(d, Box::kIdVolume, QStringLiteral("0.5"));  // the three boxes pass; the part is checked next
            type(d, id, text);
            QTest::keyClick(&d, Qt::Key_Return);
            QVERIFY(d.isVisible());
            QCOMPARE(f->desktop.texts(), QStringList{message});
            QCOMPARE(d.focusWidget(), control(d, id));
            QCOMPARE(control(d, id)->selectedText(), text);
        }));
        QVERIFY(sameProperties(f->dialog.store().at(0).properties(), EntryProperties{}));
    }

    void fitLengthSetsTheSpeed()
    {
        auto f = make(1);
        QVERIFY(editRow(*f, 0, [&](AudioSettingsDialog& d) {
            QTest::mouseClick(control<QPushButton>(d, Box::kIdMore), Qt::LeftButton);
            type(d, Box::kIdInPoint, QStringLiteral("1"));
            sonarel::testing::WhenDialogOpens<FitLengthDialog> fit([&](FitLengthDialog& ask) {
                QLineEdit* length = control(ask, FitLengthDialog::kIdLength);
                QCOMPARE(length->text(), QStringLiteral("3.000"));  // what plays today: 4 - 1 seconds
                QTest::keyClicks(length, QStringLiteral("0"));
                QTest::keyClick(length, Qt::Key_Return);
                QCOMPARE(f->desktop.texts(), QStringList{kFitLengthRefused});
                QCOMPARE(length->selectedText(), QStringLiteral("0"));
                QTest::keyClicks(length, QStringLiteral("1.5"));
                QTest::keyClick(length, Qt::Key_Return);
                QVERIFY(!ask.isVisible());
            });
            QTest::mouseClick(control<QPushButton>(d, Box::kIdFitLength), Qt::LeftButton);
            QVERIFY(fit.ran());
            QCOMPARE(control(d, Box::kIdSpeed)->text(), QStringLiteral("2.000"));

            // A length that needs more than three decimals of speed still comes out as asked.
            type(d, Box::kIdOutPoint, QStringLiteral("2"));
            sonarel::testing::WhenDialogOpens<FitLengthDialog> again([&](FitLengthDialog& ask) {
                QTest::keyClicks(control(ask, FitLengthDialog::kIdLength), QStringLiteral("7"));
                QTest::keyClick(&ask, Qt::Key_Return);
            });
            QTest::mouseClick(control<QPushButton>(d, Box::kIdFitLength), Qt::LeftButton);
            QVERIFY(again.ran());
            QTest::keyClick(&d, Qt::Key_Return);
        }));
        const MixItem& item = f->dialog.store().at(0);
        QCOMPARE(static_cast<double>(item.outPoint - item.inPoint) / static_cast<double>(kSecond) / item.speed, 7.0);
    }

    // Values finer than the boxes show (from a list file or the timeline) survive an edit of the
    // volume: only what was typed changes.
    void editingTheThreeBoxesKeepsTheShaping()
    {
        auto f = make(1);
        EntryProperties shaped;
        shaped.inPoint = 12'345'671;
        shaped.fadeOut = 2'222'229;
        shaped.keepPitch = true;
        shaped.pitchSemitones = 1.0 / 3.0;
        QVERIFY(setEntryProperties(f->dialog.store(), 0, shaped));
        QVERIFY(editRow(*f, 0, [&](AudioSettingsDialog& d) {
            type(d, Box::kIdVolume, QStringLiteral("0.5"));
            QTest::keyClick(&d, Qt::Key_Return);
        }));
        shaped.volume = 0.5;
        QVERIFY(sameProperties(f->dialog.store().at(0).properties(), shaped));
    }

    void tabAndAccessKeysReachEveryControl()
    {
        auto f = make(1);
        QVERIFY(editRow(*f, 0, [&](AudioSettingsDialog& d) {
            QVERIFY(QTest::qWaitForWindowActive(&d));
            QTest::keyClick(&d, Qt::Key_M, Qt::AltModifier);
            QTRY_VERIFY(control(d, Box::kIdInPoint)->isVisible());
            for (int id : {Box::kIdInPoint, Box::kIdOutPoint, Box::kIdFadeIn, Box::kIdFadeOut, Box::kIdFadeCurve,
                           Box::kIdKeepPitch, Box::kIdMute, Box::kIdFitLength, Box::kIdVolumePoints, Box::kIdDuck, Box::kIdChapter, Box::kIdGroup}) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QCOMPARE(QApplication::focusWidget()->objectName(), QString::number(id));
            }
            QTest::keyClick(&d, Qt::Key_U, Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget(), control(d, Box::kIdOutPoint));

            QStringList keys;  // every access key of the dialog is its own
            for (QWidget* widget : d.findChildren<QWidget*>()) {
                auto* label = qobject_cast<QLabel*>(widget);
                auto* button = qobject_cast<QAbstractButton*>(widget);
                const QString text = label ? label->text() : button ? button->text() : QString();
                const qsizetype amp = text.indexOf(QLatin1Char('&'));
                QVERIFY2(amp < 0 || !keys.contains(text.mid(amp + 1, 1).toLower()), qPrintable(text));
                if (amp >= 0)
                    keys << text.mid(amp + 1, 1).toLower();
            }
            QCOMPARE(keys.size(), 14);
        }));
    }

    void muteFromTheMenuAndCtrlMIsOneUndoStep()
    {
        auto f = make(3);
        f->dialog.show();
        f->dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f->dialog));
        auto muted = [&] {
            QString marks;
            for (int i = 0; i < 3; ++i)
                marks += f->dialog.store().at(i).muted ? QLatin1Char('M') : QLatin1Char('-');
            return marks;
        };
        auto ctrlM = [&] {
            f->dialog.activateWindow();  // the shortcut belongs to the window, which a closed menu may leave inactive
            QVERIFY(QTest::qWaitForWindowActive(&f->dialog));
            QTest::keySequence(&f->dialog, QKeySequence(Qt::CTRL | Qt::Key_M));
        };

        selectRows(f->list(), {0, 2});
        QVERIFY(!chooseFromMenu(f->dialog));
        QCOMPARE(muted(), QStringLiteral("M-M"));
        QVERIFY(f->cell(0, 0).endsWith(QStringLiteral(" (muted)")));
        QCOMPARE(f->list().item(2, 3)->foreground().color(),
                 f->list().palette().color(QPalette::Disabled, QPalette::Text));
        QCOMPARE(f->cell(2, 2), QStringLiteral("1.000"));  // the columns keep their values
        QVERIFY(chooseFromMenu(f->dialog));                // all selected are muted: checked, and it unmutes
        QCOMPARE(muted(), QStringLiteral("---"));
        ctrlM();
        selectRows(f->list(), {0, 1});  // one muted, one not: both are muted
        ctrlM();
        QCOMPARE(muted(), QStringLiteral("MMM"));

        // Each command is one step of the history, whatever number of rows it changed.
        for (const char* before : {"M-M", "---", "M-M", "---"}) {
            f->dialog.listFile().undo();
            QCOMPARE(muted(), QString::fromLatin1(before));
        }
        QVERIFY(!f->cell(0, 0).contains(QStringLiteral("muted")));
        QVERIFY(f->desktop.messages.empty());
        f->list().clearSelection();
        ctrlM();
        QCOMPARE(f->desktop.texts(), QStringList{QStringLiteral("Please select an item!")});
    }

    // Duck Others Under This from the context menu and Ctrl+D marks the selected entries, and the
    // list's Ducking dialog changes depth, attack and release as one undo step.
    void duckMarksEntriesAndTheDuckingDialogIsOneUndoStep()
    {
        auto f = make(3);
        f->dialog.show();
        f->dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f->dialog));
        const QString duckItem = QStringLiteral("Duc&k Others Under This");
        selectRows(f->list(), {1});
        QVERIFY(!chooseFromMenu(f->dialog, duckItem, Qt::Key_K));
        QVERIFY(f->dialog.store().at(1).duck && !f->dialog.store().at(0).duck);
        QVERIFY(f->cell(1, 0).endsWith(QStringLiteral(" (duck)")));
        f->dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f->dialog));
        QTest::keySequence(&f->dialog, QKeySequence(Qt::CTRL | Qt::Key_D));
        QVERIFY(!f->dialog.store().at(1).duck);
        f->dialog.listFile().undo();
        QVERIFY(f->dialog.store().at(1).duck);

        sonarel::testing::WhenDialogOpens<DuckingDialog> when([&](DuckingDialog& d) {
            auto* release = d.findChild<QLineEdit*>(QString::number(DuckingDialog::kIdDuckRelease));
            QCOMPARE(release->text(), QStringLiteral("0.500"));
            release->setText(QStringLiteral("12"));
            QTest::keyClick(&d, Qt::Key_Return);
            QVERIFY(d.isVisible());
            QCOMPARE(d.focusWidget(), release);
            release->setText(QStringLiteral("1,5"));
            d.findChild<QLineEdit*>(QString::number(DuckingDialog::kIdDuckDepth))->setText(QStringLiteral("-18"));
            QTest::keyClick(&d, Qt::Key_Return);
        });
        f->dialog.duckingCommand();
        QVERIFY(when.ran());
        QCOMPARE(f->desktop.texts(),
                 QStringList{QStringLiteral("The ducking release must lie between 0 and 10 seconds.")});
        QCOMPARE(f->dialog.store().ducking(), (DuckSettings{-18.0, 0.3, 1.5}));
        QCOMPARE(f->dialog.listFile().undoAction()->text(), QStringLiteral("&Undo Ducking"));
        f->dialog.listFile().undo();
        QCOMPARE(f->dialog.store().ducking(), DuckSettings{});
        QVERIFY(f->dialog.store().at(1).duck);
    }
};

QTEST_MAIN(EntryShapingTest)
#include "EntryShapingTest.moc"
