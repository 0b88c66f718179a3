// SPDX-License-Identifier: GPL-3.0-or-later
// Shaping an entry from the main window as a person does it: the audio settings dialog's "More"
// part typed into and refused, "Fit length...", and Mute from the window's menu and Ctrl+M with
// its undo.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include "app/ListFileCommands.h"
#include "model/EntryEditing.h"
#include "model/NumberText.h"
#include "settings/ui/AudioSettingsDialog.h"
#include "settings/ui/FitLengthDialog.h"
#include "support/MainWindowFixture.h"

using namespace sonarel;
using sonarel::testing::MainWindowFixture;
using Box = AudioSettingsDialog;
using WhenSettingsOpen = sonarel::testing::WhenDialogOpens<AudioSettingsDialog>;

namespace {

constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;

QLineEdit* box(QWidget& dialog, int id)
{
    return dialog.findChild<QLineEdit*>(QString::number(id));
}

template <typename W>
W* control(QWidget& dialog, int id)
{
    return dialog.findChild<W*>(QString::number(id));
}

void type(QWidget& dialog, int id, const QString& text)
{
    QLineEdit* edit = box(dialog, id);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

void selectRows(MixListView& list, std::initializer_list<int> rows)
{
    list.clearSelection();
    for (int row : rows)
        list.selectionModel()->select(list.model()->index(row, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Opens the window's context menu from the keyboard and runs `act` on it while it shows.
bool withWindowMenu(MainDialog& window, const std::function<void(QMenu&)>& act)
{
    bool seen = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr || seen)
            return;
        seen = true;
        act(*menu);
        if (menu->isVisible())
            menu->close();
    });
    poll.start();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), window.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&window, &event);
    return seen;
}

QAction* muteAction(QMenu& menu)
{
    for (QAction* action : menu.actions()) {
        if (action->text() == QStringLiteral("&Mute"))
            return action;
    }
    return nullptr;
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
            const QString path = dir_.filePath(QStringLiteral("s%1-%2.wav").arg(counter_).arg(i));
            sonarel::testing::writeWav16(path.toStdString(), 2, 44100,
                                         sonarel::testing::constant16(2, 44100, 4.0, 1000));
            files << path;
        }
        f->dialog.addFiles(files);
        return f;
    }

    // Opens the audio settings of `row` with the properties button and runs `act` in the dialog.
    static bool editRow(MainWindowFixture& f, int row, const std::function<void(AudioSettingsDialog&)>& act)
    {
        selectRows(f.list(), {row});
        WhenSettingsOpen when(act);
        QTest::mouseClick(f.button(kIdProperties), Qt::LeftButton);
        return when.ran();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(sonarel::testing::prepareWindowTests(dir_)); }

    void moreOpensThePartAndEveryFieldReachesTheEntry()
    {
        auto f = make(1);
        QCOMPARE(f->dialog.store().at(0).duration, 4 * kSecond);
        QVERIFY(editRow(*f, 0, [&](AudioSettingsDialog& d) {
            auto* more = control<QPushButton>(d, Box::kIdMore);
            QVERIFY(QTest::qWaitForWindowActive(&d));
            QVERIFY(!more->isChecked());  // a plain entry opens with the part closed
            QVERIFY(!box(d, Box::kIdInPoint)->isVisible());
            const int closedHeight = d.height();
            QTest::keyClick(&d, Qt::Key_M, Qt::AltModifier);
            QTRY_VERIFY(more->isChecked());  // an access key clicks after a short flash
            QVERIFY(box(d, Box::kIdInPoint)->isVisible());
            QVERIFY(d.height() > closedHeight);
            QVERIFY(
                d.rect().contains(control<QPushButton>(d, Box::kIdFitLength)
                                      ->geometry()
                                      .translated(control<QPushButton>(d, Box::kIdFitLength)->parentWidget()->pos())));
            QTest::keyClick(&d, Qt::Key_M, Qt::AltModifier);
            QTRY_COMPARE(d.height(), closedHeight);
            QVERIFY(!box(d, Box::kIdInPoint)->isVisible());
            QTest::mouseClick(more, Qt::LeftButton);

            QCOMPARE(box(d, Box::kIdInPoint)->text(), QStringLiteral("0.000"));
            QCOMPARE(box(d, Box::kIdOutPoint)->text(), QString());  // the file's end
            QVERIFY(!box(d, Box::kIdPitch)->isEnabled());
            type(d, Box::kIdInPoint, QStringLiteral("1.5"));
            type(d, Box::kIdOutPoint, QStringLiteral("3.5"));
            type(d, Box::kIdFadeIn, QStringLiteral("0.25"));
            type(d, Box::kIdFadeOut, QStringLiteral("0.5"));
            auto* curve = control<QComboBox>(d, Box::kIdFadeCurve);
            curve->setFocus();
            QTest::keyClick(curve, Qt::Key_Down);
            QCOMPARE(curve->currentText(), QStringLiteral("Equal power"));
            auto* keepPitch = control<QCheckBox>(d, Box::kIdKeepPitch);
            keepPitch->setFocus();
            QTest::keyClick(keepPitch, Qt::Key_Space);
            QVERIFY(box(d, Box::kIdPitch)->isEnabled());
            type(d, Box::kIdPitch, QStringLiteral("-7"));
            auto* mute = control<QCheckBox>(d, Box::kIdMute);
            mute->setFocus();
            QTest::keyClick(mute, Qt::Key_Space);
            QTest::keyClick(box(d, Box::kIdPitch), Qt::Key_Return);
            QVERIFY(!d.isVisible());
        }));
        QVERIFY2(f->desktop.messages.empty(), qPrintable(f->desktop.texts().join(QLatin1Char('|'))));
        const MixItem& item = f->dialog.store().at(0);
        QCOMPARE(item.inPoint, 15 * kSecond / 10);
        QCOMPARE(item.outPoint, 35 * kSecond / 10);
        QCOMPARE(item.fadeIn, kSecond / 4);
        QCOMPARE(item.fadeOut, kSecond / 2);
        QCOMPARE(item.fadeCurve, FadeCurve::EqualPower);
        QVERIFY(item.keepPitch);
        QCOMPARE(item.pitchSemitones, -7.0);
        QVERIFY(item.muted);
        QCOMPARE(item.volume, 1.0);
        QVERIFY(f->cell(0, 0).endsWith(QStringLiteral(" (muted)")));

        // A shaped entry opens with the part open and its values shown; an emptied out box is the end.
        QVERIFY(editRow(*f, 0, [&](AudioSettingsDialog& d) {
            QVERIFY(control<QPushButton>(d, Box::kIdMore)->isChecked());
            QCOMPARE(box(d, Box::kIdInPoint)->text(), QStringLiteral("1.500"));
            QCOMPARE(box(d, Box::kIdOutPoint)->text(), QStringLiteral("3.500"));
            QCOMPARE(box(d, Box::kIdPitch)->text(), QStringLiteral("-7.000"));
            QVERIFY(box(d, Box::kIdPitch)->isEnabled());
            QVERIFY(control<QCheckBox>(d, Box::kIdMute)->isChecked());
            type(d, Box::kIdOutPoint, QString());
            QTest::keyClick(control<QCheckBox>(d, Box::kIdMute), Qt::Key_Space);
            QTest::keyClick(&d, Qt::Key_Return);
        }));
        QCOMPARE(f->dialog.store().at(0).outPoint, kToSourceEnd);
        QVERIFY(!f->dialog.store().at(0).muted);
        QVERIFY(!f->cell(0, 0).contains(QStringLiteral("muted")));
        QCOMPARE(f->dialog.store().at(0).inPoint, 15 * kSecond / 10);
    }

    void eachRefusalFocusesItsBoxWithTheTextSelected_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const QString number = QStringLiteral("Please enter a number.");
        const QString fade = QStringLiteral("Please enter a fade length of 0 seconds or more.");
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
        QTest::newRow("fade in -0.5") << int(Box::kIdFadeIn) << "-0.5" << fade;
        QTest::newRow("fade out x") << int(Box::kIdFadeOut) << "x" << number;
        QTest::newRow("pitch 30") << int(Box::kIdPitch) << "30"
                                  << QStringLiteral("Please enter a pitch between -24 and 24 semitones.");
    }

    void eachRefusalFocusesItsBoxWithTheTextSelected()
    {
        QFETCH(int, id);
        QFETCH(QString, text);
        QFETCH(QString, message);
        auto f = make(1);
        QVERIFY(editRow(*f, 0, [&](AudioSettingsDialog& d) {
            QTest::mouseClick(control<QPushButton>(d, Box::kIdMore), Qt::LeftButton);
            if (id == Box::kIdPitch) {
                control<QCheckBox>(d, Box::kIdKeepPitch)->setFocus();
                QTest::keyClick(control<QCheckBox>(d, Box::kIdKeepPitch), Qt::Key_Space);
            }
            type(d, Box::kIdVolume, QStringLiteral("0.5"));  // the three boxes pass; the part is checked next
            type(d, id, text);
            QTest::keyClick(&d, Qt::Key_Return);
            QVERIFY(d.isVisible());
            QCOMPARE(f->desktop.texts(), QStringList{message});
            QCOMPARE(f->desktop.messages[0].caption, applicationName());
            QLineEdit* failing = box(d, id);
            QCOMPARE(d.focusWidget(), failing);
            QCOMPARE(failing->selectedText(), failing->text());
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
                QLineEdit* length = box(ask, FitLengthDialog::kIdLength);
                QCOMPARE(length->text(), QStringLiteral("3.000"));  // what plays today: 4 - 1 seconds
                QCOMPARE(length->selectedText(), length->text());
                QTest::keyClicks(length, QStringLiteral("0"));
                QTest::keyClick(length, Qt::Key_Return);
                QVERIFY(ask.isVisible());
                QCOMPARE(f->desktop.texts(), QStringList{kFitLengthRefused});
                QCOMPARE(ask.focusWidget(), length);
                QCOMPARE(length->selectedText(), QStringLiteral("0"));
                QTest::keyClicks(length, QStringLiteral("1.5"));
                QTest::keyClick(length, Qt::Key_Return);
                QVERIFY(!ask.isVisible());
            });
            QTest::mouseClick(control<QPushButton>(d, Box::kIdFitLength), Qt::LeftButton);
            QVERIFY(fit.ran());
            QCOMPARE(box(d, Box::kIdSpeed)->text(), QStringLiteral("2.000"));

            // A length that needs more than three decimals of speed still comes out as asked.
            type(d, Box::kIdOutPoint, QStringLiteral("2"));
            sonarel::testing::WhenDialogOpens<FitLengthDialog> again([&](FitLengthDialog& ask) {
                QCOMPARE(box(ask, FitLengthDialog::kIdLength)->text(), QStringLiteral("0.500"));  // 1 s at speed 2
                QTest::keyClicks(box(ask, FitLengthDialog::kIdLength), QStringLiteral("7"));
                QTest::keyClick(&ask, Qt::Key_Return);
            });
            QTest::mouseClick(control<QPushButton>(d, Box::kIdFitLength), Qt::LeftButton);
            QVERIFY(again.ran());
            QTest::keyClick(&d, Qt::Key_Return);
        }));
        const MixItem& item = f->dialog.store().at(0);
        QCOMPARE(item.inPoint, kSecond);
        QCOMPARE(item.outPoint, 2 * kSecond);
        QCOMPARE(item.speed, 1.0 / 7.0);
        QCOMPARE(static_cast<double>(item.outPoint - item.inPoint) / static_cast<double>(kSecond) / item.speed, 7.0);

        // Cancel leaves the speed as it was; an out point before the in point is named first.
        QVERIFY(editRow(*f, 0, [&](AudioSettingsDialog& d) {
            const QString speed = box(d, Box::kIdSpeed)->text();
            sonarel::testing::WhenDialogOpens<FitLengthDialog> cancelled([&](FitLengthDialog& ask) {
                QTest::keyClick(&ask, Qt::Key_Escape);
            });
            QTest::mouseClick(control<QPushButton>(d, Box::kIdFitLength), Qt::LeftButton);
            QVERIFY(cancelled.ran());
            QCOMPARE(box(d, Box::kIdSpeed)->text(), speed);
            type(d, Box::kIdOutPoint, QStringLiteral("0.5"));
            f->desktop.messages.clear();
            QTest::mouseClick(control<QPushButton>(d, Box::kIdFitLength), Qt::LeftButton);
            QCOMPARE(f->desktop.messages.size(), size_t{1});
            QCOMPARE(d.focusWidget(), box(d, Box::kIdOutPoint));
        }));
    }

    // Values finer than the boxes show (from a list file or the timeline) survive an edit of the
    // volume: only what was typed changes.
    void editingTheThreeBoxesKeepsTheShaping()
    {
        auto f = make(1);
        EntryProperties shaped;
        shaped.inPoint = 12'345'671;
        shaped.outPoint = 31'234'567;
        shaped.fadeIn = 1'111'111;
        shaped.fadeOut = 2'222'229;
        shaped.keepPitch = true;
        shaped.pitchSemitones = 1.0 / 3.0;
        QVERIFY(setEntryProperties(f->dialog.store(), 0, shaped));
        f->list().refresh(f->dialog.store());
        QVERIFY(editRow(*f, 0, [&](AudioSettingsDialog& d) {
            QVERIFY(box(d, Box::kIdInPoint)->isVisible());
            type(d, Box::kIdVolume, QStringLiteral("0.5"));
            QTest::keyClick(&d, Qt::Key_Return);
        }));
        EntryProperties expected = shaped;
        expected.volume = 0.5;
        QVERIFY(sameProperties(f->dialog.store().at(0).properties(), expected));
    }

    void tabAndAccessKeysReachEveryControl()
    {
        auto f = make(1);
        QVERIFY(editRow(*f, 0, [&](AudioSettingsDialog& d) {
            QVERIFY(QTest::qWaitForWindowActive(&d));
            QTest::keyClick(&d, Qt::Key_M, Qt::AltModifier);
            QTRY_VERIFY(box(d, Box::kIdInPoint)->isVisible());  // an access key clicks after a short flash
            QCOMPARE(QApplication::focusWidget(), control<QWidget>(d, Box::kIdMore));
            const int order[] = {Box::kIdInPoint,   Box::kIdOutPoint,  Box::kIdFadeIn, Box::kIdFadeOut,
                                 Box::kIdFadeCurve, Box::kIdKeepPitch, Box::kIdMute,   Box::kIdFitLength};
            for (int id : order) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QCOMPARE(QApplication::focusWidget()->objectName(), QString::number(id));
            }
            QTest::keyClick(&d, Qt::Key_F, Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget(), control<QWidget>(d, Box::kIdFadeIn));
            QTest::keyClick(&d, Qt::Key_U, Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget(), control<QWidget>(d, Box::kIdOutPoint));
            QCOMPARE(box(d, Box::kIdOutPoint)->accessibleName(), QStringLiteral("Out point in seconds"));

            // Every access key of the dialog is its own.
            QStringList keys;
            for (QWidget* widget : d.findChildren<QWidget*>()) {
                QString text;
                if (auto* label = qobject_cast<QLabel*>(widget))
                    text = label->text();
                else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                    text = button->text();
                const qsizetype amp = text.indexOf(QLatin1Char('&'));
                if (amp < 0)
                    continue;
                const QString key = text.mid(amp + 1, 1).toLower();
                QVERIFY2(!keys.contains(key), qPrintable(text));
                keys << key;
            }
            QCOMPARE(keys.size(), 10);

            // Open, every control lies inside the dialog and none covers another.
            QList<QRect> placed;
            for (QWidget* widget : d.findChildren<QWidget*>()) {
                if (!widget->isVisible() || widget == widget->window() || widget->objectName() == QString() ||
                    widget->parentWidget() == nullptr || widget->children().contains(box(d, Box::kIdInPoint)))
                    continue;
                const QRect at(widget->mapTo(&d, QPoint(0, 0)), widget->size());
                QVERIFY2(d.rect().contains(at), qPrintable(widget->objectName()));
                for (const QRect& other : placed)
                    QVERIFY2(!other.intersects(at), qPrintable(widget->objectName()));
                placed << at;
            }
            QCOMPARE(placed.size(), 15);
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

        selectRows(f->list(), {0, 2});
        QVERIFY(withWindowMenu(f->dialog, [&](QMenu& menu) {
            QAction* mute = muteAction(menu);
            QVERIFY(mute != nullptr);
            QVERIFY(!mute->isChecked());
            QTest::keyClick(&menu, Qt::Key_M);
        }));
        QCOMPARE(muted(), QStringLiteral("M-M"));
        QVERIFY(f->cell(0, 0).endsWith(QStringLiteral(" (muted)")));
        QVERIFY(!f->cell(1, 0).contains(QStringLiteral("muted")));
        const QColor grey = f->list().palette().color(QPalette::Disabled, QPalette::Text);
        QCOMPARE(f->list().item(2, 3)->foreground().color(), grey);
        QVERIFY(f->list().item(1, 3)->foreground().color() != grey);
        QCOMPARE(f->cell(2, 2), QStringLiteral("1.000"));  // the columns keep their values

        // With every selected entry muted the item is checked, and the command unmutes.
        QVERIFY(withWindowMenu(f->dialog, [&](QMenu& menu) { QVERIFY(muteAction(menu)->isChecked()); }));
        QTest::keySequence(&f->dialog, QKeySequence(Qt::CTRL | Qt::Key_M));
        QCOMPARE(muted(), QStringLiteral("---"));
        QTest::keySequence(&f->dialog, QKeySequence(Qt::CTRL | Qt::Key_M));
        selectRows(f->list(), {0, 1});  // one muted, one not: both are muted
        QTest::keySequence(&f->dialog, QKeySequence(Qt::CTRL | Qt::Key_M));
        QCOMPARE(muted(), QStringLiteral("MMM"));

        // Each command is one step of the history, whatever number of rows it changed.
        ListFileCommands& history = f->dialog.listFile();
        history.undo();
        QCOMPARE(muted(), QStringLiteral("M-M"));
        history.undo();
        QCOMPARE(muted(), QStringLiteral("---"));
        QVERIFY(!f->cell(0, 0).contains(QStringLiteral("muted")));
        history.undo();
        QCOMPARE(muted(), QStringLiteral("M-M"));
        history.undo();
        QCOMPARE(muted(), QStringLiteral("---"));
        QVERIFY(f->desktop.messages.empty());

        f->list().clearSelection();
        QTest::keySequence(&f->dialog, QKeySequence(Qt::CTRL | Qt::Key_M));
        QCOMPARE(f->desktop.texts(), QStringList{QStringLiteral("Please select an item!")});
        QCOMPARE(muted(), QStringLiteral("---"));
    }
};

QTEST_MAIN(EntryShapingTest)
#include "EntryShapingTest.moc"
