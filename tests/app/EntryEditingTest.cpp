// SPDX-License-Identifier: GPL-3.0-or-later
// Editing entries in the main window as a person does it: the audio settings dialog driven by
// keys and clicks, the list's Enter, Delete, Ctrl+A, right click and double click, and a mix of
// an edited entry read back sample by sample.
#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdlib>

#include "app/AddFilesCommand.h"
#include "app/ListFileCommands.h"
#include "model/EntryEditing.h"
#include "model/ListHistory.h"
#include "model/NumberText.h"
#include "platform/media/FaultPoints.h"
#include "res/Resources.h"
#include "settings/ui/AudioSettingsDialog.h"
#include "settings/ui/SequenceGapDialog.h"
#include "support/MainWindowFixture.h"
#include "support/WavFile.h"

using namespace sonarel;
using sonarel::testing::MainWindowFixture;
using WhenSettingsOpen = sonarel::testing::WhenDialogOpens<AudioSettingsDialog>;

namespace {

QLineEdit* box(QDialog& dialog, int id)
{
    return dialog.findChild<QLineEdit*>(QString::number(id));
}

// Replaces a box's text by typing, as a person would.
void type(QDialog& dialog, int id, const QString& text)
{
    QLineEdit* edit = box(dialog, id);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

// Selects one row, whatever modifier keys earlier events left behind.
void selectOnly(MixListView& list, int row)
{
    list.selectionModel()->select(list.model()->index(row, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QRect rowRect(MixListView& list, int row)
{
    return list.visualRect(list.model()->index(row, 1));
}

}  // namespace

class EntryEditingTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int counter_ = 0;

    std::unique_ptr<MainWindowFixture> make(int entries)
    {
        auto f = std::make_unique<MainWindowFixture>(QStringLiteral("sonarel-edit-%1").arg(++counter_),
                                                     dir_.filePath(QStringLiteral("Music")));
        OutputSettings settings = f->dialog.outputSettings();
        settings.outputFile = dir_.filePath(QStringLiteral("edited%1.wav").arg(counter_));
        f->dialog.setOutputSettings(settings);
        QStringList files;
        for (int i = 0; i < entries; ++i)
            files << level(QStringLiteral("e%1-%2.wav").arg(counter_).arg(i), 0.2, 1000);
        if (!files.isEmpty())
            f->dialog.addFiles(files);
        return f;
    }

    QString level(const QString& name, double seconds, std::int16_t value)
    {
        const QString path = dir_.filePath(name);
        sonarel::testing::writeWav16(path.toStdString(), 2, 44100,
                                     sonarel::testing::constant16(2, 44100, seconds, value));
        return path;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(sonarel::testing::prepareWindowTests(dir_)); }

    void aNewEntryOpensWithItsValuesAndCancelChangesNothing()
    {
        auto f = make(2);
        selectOnly(f->list(), 1);
        const MixItem before = f->dialog.store().at(1);
        for (const bool byEscape : {false, true}) {
            WhenSettingsOpen when([&](AudioSettingsDialog& d) {
                QCOMPARE(d.windowTitle(), QStringLiteral("Audio Settings"));
                QCOMPARE(box(d, AudioSettingsDialog::kIdVolume)->text(), QStringLiteral("1.000"));
                QCOMPARE(box(d, AudioSettingsDialog::kIdStartTime)->text(), QStringLiteral("0.000"));
                QCOMPARE(box(d, AudioSettingsDialog::kIdSpeed)->text(), QStringLiteral("1.000"));
                QCOMPARE(box(d, AudioSettingsDialog::kIdVolume)->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
                type(d, AudioSettingsDialog::kIdVolume, QStringLiteral("3"));
                type(d, AudioSettingsDialog::kIdStartTime, QStringLiteral("4"));
                if (byEscape)
                    QTest::keyClick(&d, Qt::Key_Escape);
                else
                    QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("2")), Qt::LeftButton);
                QVERIFY(!d.isVisible());
            });
            QTest::mouseClick(f->button(kIdProperties), Qt::LeftButton);
            QVERIFY(when.ran());
            QCOMPARE(f->dialog.store().at(1).volume, before.volume);
            QCOMPARE(f->dialog.store().at(1).startTime, before.startTime);
            QCOMPARE(f->cell(1, 2), QStringLiteral("1.000"));
        }
        QVERIFY(f->desktop.messages.empty());
    }

    void valuesAreCheckedInTheDialog_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("volume");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("message");  // empty: accepted
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("failingBox");
        QTest::addColumn<qint64>("storedStart");
        const QString range = QStringLiteral("Please enter a number between 0 and 100.");
        const QString error = QStringLiteral("Error");
        const QString app = applicationName();
        using Box = AudioSettingsDialog;
        QTest::newRow("volume 100") << "0"
                                    << "100"
                                    << "1" << QString() << QString() << 0 << qint64{0};
        QTest::newRow("volume 0") << "1.5"
                                  << "0"
                                  << "1" << QString() << QString() << 0 << qint64{15'000'000};
        QTest::newRow("2.5abc") << "2.5abc"
                                << "1"
                                << "1" << QString() << QString() << 0 << qint64{25'000'000};
        QTest::newRow("volume 100.5") << "0"
                                      << "100.5"
                                      << "1" << range << app << int(Box::kIdVolume) << qint64{};
        QTest::newRow("volume -0.1") << "0"
                                     << "-0.1"
                                     << "1" << range << app << int(Box::kIdVolume) << qint64{};
        QTest::newRow("empty volume") << "0"
                                      << ""
                                      << "1" << QStringLiteral("Please enter a number.") << app << int(Box::kIdVolume)
                                      << qint64{};
        QTest::newRow("start -1") << "-1"
                                  << "1"
                                  << "1" << QStringLiteral("Start time should be greater than 0") << error
                                  << int(Box::kIdStartTime) << qint64{};
        QTest::newRow("start -1, empty volume")
            << "-1"
            << ""
            << "1" << QStringLiteral("Please enter a number.") << app << int(Box::kIdVolume) << qint64{};
        QTest::newRow("speed 0") << "0"
                                 << "1"
                                 << "0" << QString() << app << int(Box::kIdSpeed) << qint64{};
        QTest::newRow("speed 1e6") << "0"
                                   << "1"
                                   << "1e6"
                                   << QStringLiteral(
                                          "Please enter a speed between 1/256 (0.00390625) and 256: 1 plays "
                                          "the file as it is, 2 twice as fast, 0.5 at half speed.")
                                   << app << int(Box::kIdSpeed) << qint64{};
        QTest::newRow("volume 1e-400") << "0"
                                       << "1e-400"
                                       << "1"
                                       << QStringLiteral(
                                              "This number is too close to zero to be used: please enter 0 "
                                              "or a number farther from zero.")
                                       << app << int(Box::kIdVolume) << qint64{};
        QTest::newRow("speed nan") << "0"
                                   << "1"
                                   << "nan" << QStringLiteral("Please enter a number.") << app << int(Box::kIdSpeed)
                                   << qint64{};
    }

    void valuesAreCheckedInTheDialog()
    {
        QFETCH(QString, start);
        QFETCH(QString, volume);
        QFETCH(QString, speed);
        QFETCH(QString, message);
        QFETCH(QString, caption);
        QFETCH(int, failingBox);
        QFETCH(qint64, storedStart);
        const bool refused = failingBox != 0;
        // One entry, and two at once: the boxes are checked in the same order.
        for (const int entries : {1, 2}) {
            auto f = make(entries);
            f->list().selectionModel()->select(QItemSelection(f->list().model()->index(0, 0),
                                                              f->list().model()->index(entries - 1, 0)),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            WhenSettingsOpen when([&](AudioSettingsDialog& d) {
                type(d, AudioSettingsDialog::kIdVolume, volume);
                type(d, AudioSettingsDialog::kIdStartTime, start);
                type(d, AudioSettingsDialog::kIdSpeed, speed);
                QTest::keyClick(box(d, AudioSettingsDialog::kIdSpeed), Qt::Key_Return);  // the default button
                QCOMPARE(d.isVisible(), refused);
                if (!refused)
                    return;
                QCOMPARE(f->desktop.messages.size(), size_t{1});
                if (!message.isEmpty())
                    QCOMPARE(f->desktop.messages[0].text, message);
                QCOMPARE(f->desktop.messages[0].caption, caption);
                QLineEdit* failing = box(d, failingBox);
                QCOMPARE(d.focusWidget(), failing);
                QCOMPARE(failing->selectedText(), failing->text());
            });
            QTest::mouseClick(f->button(kIdProperties), Qt::LeftButton);
            QVERIFY(when.ran());
            const MixItem& item = f->dialog.store().at(entries - 1);
            if (refused) {
                QCOMPARE(item.volume, 1.0);
                QCOMPARE(item.startTime, REFERENCE_TIME{0});
                QCOMPARE(item.speed, 1.0);
                QCOMPARE(f->cell(entries - 1, 3), QStringLiteral("0.000"));
                continue;
            }
            QVERIFY(f->desktop.messages.empty());
            QCOMPARE(item.startTime, storedStart);
            QCOMPARE(item.volume, readLeadingNumber(volume).value());
            QCOMPARE(f->cell(entries - 1, 2), boxText(item.volume));
            QCOMPARE(f->cell(entries - 1, 3), boxText(static_cast<double>(storedStart) / 1e7));
        }
    }

    // Enter on three selected entries edits the three: what they share shows, what differs starts
    // empty, only the box typed in changes, and one undo puts all three back.
    void enterEditsEverySelectedEntryAsOneStep()
    {
        auto f = make(4);
        MixItemStore& store = f->dialog.store();
        for (int i = 0; i < 4; ++i) {
            EntryProperties properties = store.at(i).properties();
            properties.speed = 1.0 + i;
            properties.fadeIn = i == 3 ? kReferenceUnitsPerSecond / 10 : 0;
            setEntryProperties(store, i, properties);
        }
        f->list().refresh(store);
        const ListSnapshot before = snapshotOf(store);

        // One entry: the line names its file.
        selectOnly(f->list(), 2);
        WhenSettingsOpen one([&](AudioSettingsDialog& d) {
            QCOMPARE(d.editingText(), QFileInfo(f->dialog.store().at(2).filePathText()).fileName());
        });
        QTest::mouseClick(f->button(kIdProperties), Qt::LeftButton);
        QVERIFY(one.ran());

        f->list().setFocus();
        selectOnly(f->list(), 0);
        for (int row : {2, 3})
            f->list().selectionModel()->select(f->list().model()->index(row, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        WhenSettingsOpen when([&](AudioSettingsDialog& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("Audio Settings"));
            QCOMPARE(d.editingText(), QStringLiteral("3 entries"));
            QCOMPARE(box(d, AudioSettingsDialog::kIdVolume)->text(), QStringLiteral("1.000"));
            QCOMPARE(box(d, AudioSettingsDialog::kIdStartTime)->text(), QStringLiteral("0.000"));
            QCOMPARE(box(d, AudioSettingsDialog::kIdSpeed)->text(), QString());
            QCOMPARE(box(d, AudioSettingsDialog::kIdSpeed)->placeholderText(), QStringLiteral("various"));
            QVERIFY(d.moreShown());  // one of them fades in
            QCOMPARE(box(d, AudioSettingsDialog::kIdFadeIn)->text(), QString());
            QCOMPARE(box(d, AudioSettingsDialog::kIdInPoint)->text(), QStringLiteral("0.000"));
            // A decimal comma, in a locale that writes a point.
            type(d, AudioSettingsDialog::kIdVolume, QStringLiteral("0,5"));
            QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("1")), Qt::LeftButton);
            QVERIFY(!d.isVisible());
        });
        QTest::keyClick(&f->list(), Qt::Key_Return);
        QVERIFY(when.ran());
        QVERIFY2(f->desktop.messages.empty(), qPrintable(f->desktop.texts().join(QLatin1Char('|'))));
        for (int i = 0; i < 4; ++i) {
            EntryProperties expected = before[static_cast<std::size_t>(i)].properties();
            if (i != 1)
                expected.volume = 0.5;
            QVERIFY2(sameProperties(store.at(i).properties(), expected), qPrintable(QString::number(i)));
            QCOMPARE(f->cell(i, 2), i == 1 ? QStringLiteral("1.000") : QStringLiteral("0.500"));
        }
        f->dialog.listFile().undo();
        QVERIFY(storeMatches(store, before));
        QCOMPARE(f->cell(3, 2), QStringLiteral("1.000"));

        // A typed value is checked as for one entry, and a refused one changes none of them.
        f->list().selectAll();
        f->list().setFocus();
        WhenSettingsOpen refused([&](AudioSettingsDialog& d) {
            type(d, AudioSettingsDialog::kIdSpeed, QStringLiteral("300"));
            QTest::keyClick(&d, Qt::Key_Return);
            QVERIFY(d.isVisible());
            QCOMPARE(d.focusWidget(), box(d, AudioSettingsDialog::kIdSpeed));
        });
        QTest::keyClick(&f->list(), Qt::Key_Return);
        QVERIFY(refused.ran());
        QCOMPARE(f->desktop.messages.size(), size_t{1});
        QVERIFY(f->desktop.messages[0].text.startsWith(
            QStringLiteral("Please enter a speed between 1/256 (0.00390625) and 256")));
        QVERIFY(storeMatches(store, before));
    }

    // Ctrl+J places the selected entries end to end with the gap asked for, as one undo step.
    void placeOneAfterAnotherJoinsTheSelectedEntries()
    {
        auto f = make(3);
        MixItemStore& store = f->dialog.store();
        EntryProperties first = store.at(0).properties();
        first.startTime = 3 * kReferenceUnitsPerSecond;
        setEntryProperties(store, 0, first);
        EntryProperties second = store.at(1).properties();
        second.speed = 0.5;  // 0.2 s lasts 0.4 s
        setEntryProperties(store, 1, second);
        f->list().refresh(store);
        const ListSnapshot before = snapshotOf(store);
        f->dialog.show();
        QApplication::setActiveWindow(&f->dialog);
        QVERIFY(QTest::qWaitForWindowActive(&f->dialog));
        f->list().setFocus();
        QTest::keyClick(&f->list(), Qt::Key_A, Qt::ControlModifier);
        sonarel::testing::WhenDialogOpens<SequenceGapDialog> when([&](SequenceGapDialog& d) {
            auto* gap = d.findChild<QLineEdit*>(QString::number(SequenceGapDialog::kIdGap));
            QCOMPARE(gap->text(), QStringLiteral("0.000"));
            QTest::keyClicks(gap, QStringLiteral("0,25"));  // replaces the selected text
            QTest::keyClick(&d, Qt::Key_Return);
        });
        QTest::keyClick(&f->list(), Qt::Key_J, Qt::ControlModifier);
        QVERIFY(when.ran());
        QVERIFY2(f->desktop.messages.empty(), qPrintable(f->desktop.texts().join(QLatin1Char('|'))));
        QCOMPARE(store.at(0).startTime, REFERENCE_TIME{30'000'000});
        QCOMPARE(store.at(1).startTime, REFERENCE_TIME{34'500'000});  // 3 + 0.2 + 0.25
        QCOMPARE(store.at(2).startTime, REFERENCE_TIME{41'000'000});  // 3.45 + 0.4 + 0.25
        QCOMPARE(f->cell(2, 3), QStringLiteral("4.100"));
        QCOMPARE(f->dialog.listFile().undoAction()->text(), QStringLiteral("&Undo Place One After Another"));
        f->dialog.listFile().undo();
        QVERIFY(storeMatches(store, before));

        // A crossfade instead: each starts that long before the one before it ends, the pairs fade
        // across on the equal-power curve, and a gap with it is refused.
        f->list().setFocus();
        QTest::keyClick(&f->list(), Qt::Key_A, Qt::ControlModifier);
        sonarel::testing::WhenDialogOpens<SequenceGapDialog> crossfade([&](SequenceGapDialog& d) {
            auto* fade = d.findChild<QLineEdit*>(QString::number(SequenceGapDialog::kIdCrossfade));
            QCOMPARE(fade->text(), QStringLiteral("0.000"));
            fade->setText(QStringLiteral("0,1"));
            QTest::keyClick(&d, Qt::Key_Return);
            QVERIFY(d.isVisible());  // the gap of 0.25 s is still in its box
            d.findChild<QLineEdit*>(QString::number(SequenceGapDialog::kIdGap))->setText(QStringLiteral("0"));
            QTest::keyClick(&d, Qt::Key_Return);
        });
        f->dialog.placeOneAfterAnother();
        QVERIFY(crossfade.ran());
        QCOMPARE(f->desktop.texts(),
                 QStringList{QStringLiteral("A crossfade overlaps the entries itself: please set the gap to 0.")});
        QCOMPARE(store.at(1).startTime, REFERENCE_TIME{31'000'000});  // 3 + 0.2 - 0.1
        QCOMPARE(store.at(2).startTime, REFERENCE_TIME{34'000'000});  // 3.1 + 0.4 - 0.1
        QCOMPARE(store.at(0).fadeOut, REFERENCE_TIME{1'000'000});
        QCOMPARE(store.at(1).fadeIn, REFERENCE_TIME{1'000'000});
        QCOMPARE(store.at(1).fadeOut, REFERENCE_TIME{1'000'000});
        QCOMPARE(store.at(2).fadeIn, REFERENCE_TIME{1'000'000});
        QVERIFY(store.at(2).fadeOut == 0 && store.at(0).fadeIn == 0);
        QVERIFY(store.at(1).fadeCurve == FadeCurve::EqualPower);
        f->dialog.listFile().undo();
        QVERIFY(storeMatches(store, before));
        f->desktop.messages.clear();

        // Fewer than two entries: nothing to place.
        selectOnly(f->list(), 1);
        f->dialog.placeOneAfterAnother();
        QCOMPARE(f->desktop.messages.size(), size_t{1});
        QVERIFY(storeMatches(store, before));
    }

    void rightClickAndMissingSelection()
    {
        auto f = make(3);
        QTest::mouseClick(f->button(kIdProperties), Qt::LeftButton);
        QCOMPARE(f->desktop.texts(), QStringList{QStringLiteral("Please select an item!")});
        QCOMPARE(f->desktop.messages[0].caption, applicationName());

        selectOnly(f->list(), 2);
        WhenSettingsOpen when([&](AudioSettingsDialog& d) {
            type(d, AudioSettingsDialog::kIdSpeed, QStringLiteral("2"));
            QTest::keyClick(&d, Qt::Key_Enter);
        });
        const QPoint at = rowRect(f->list(), 2).center();
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at, f->list().viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(f->list().viewport(), &rightClick);
        QVERIFY(when.ran());
        QCOMPARE(f->dialog.store().at(2).speed, 2.0);
        QCOMPARE(f->cell(2, 4), QStringLiteral("2.000"));

        // An empty list stays silent, whichever way the command comes.
        auto empty = make(0);
        QTest::mouseClick(empty->button(kIdProperties), Qt::LeftButton);
        QTest::keyClick(&empty->list(), Qt::Key_Return);
        QTest::keyClick(&empty->list(), Qt::Key_Delete);
        QTest::mouseDClick(empty->list().viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QVERIFY(empty->desktop.messages.empty());
    }

    void ctrlASelectsAllAndDeleteDeletes()
    {
        auto f = make(3);
        f->list().setFocus();
        QTest::keyClick(&f->list(), Qt::Key_Delete);
        QCOMPARE(f->desktop.texts(), QStringList{QStringLiteral("Please select an audio item!")});
        QTest::keyClick(&f->list(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(f->list().selectionModel()->selectedRows().size(), 3);
        selectOnly(f->list(), 1);
        const QString third = f->dialog.store().at(2).filePathText();
        QTest::keyClick(&f->list(), Qt::Key_Delete);
        QCOMPARE(f->dialog.store().audioCount(), 2);
        QCOMPARE(f->dialog.store().at(1).filePathText(), third);
        QCOMPARE(f->list().rowCount(), 2);
    }

    void doubleClickOpensTheSelectedFilesInRowOrder()
    {
        auto f = make(3);
        f->dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f->dialog));
        QWidget* viewport = f->list().viewport();
        QVERIFY(rowRect(f->list(), 2).bottom() < viewport->height() - 5);
        // Nothing selected: a double click beside the rows asks for one.
        QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(20, viewport->height() - 5));
        QCOMPARE(f->desktop.texts(), QStringList{QStringLiteral("Please click an item to preview!")});
        QVERIFY(f->desktop.openedDocuments.empty());

        // Row 0 clicked, then Shift and a double click on row 1: two rows, two files, in order.
        f->desktop.messages.clear();
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, rowRect(f->list(), 0).center());
        QTest::mouseDClick(viewport, Qt::LeftButton, Qt::ShiftModifier, rowRect(f->list(), 1).center());
        QCOMPARE(f->list().selectionModel()->selectedRows().size(), 2);
        const std::vector<QString> expected{f->dialog.store().at(0).filePathText(),
                                            f->dialog.store().at(1).filePathText()};
        QCOMPARE(f->desktop.openedDocuments, expected);
        QVERIFY(f->desktop.messages.empty());

        // A file deleted since it was added is named with its full path and ends the command.
        f->desktop.openedDocuments.clear();
        const QString gone = f->dialog.store().at(1).filePathText();
        QVERIFY(QFile::remove(gone));
        QTest::mouseDClick(viewport, Qt::LeftButton, Qt::ShiftModifier, rowRect(f->list(), 2).center());
        QCOMPARE(f->list().selectionModel()->selectedRows().size(), 3);
        QCOMPARE(f->desktop.openedDocuments, std::vector<QString>{f->dialog.store().at(0).filePathText()});
        QCOMPARE(f->desktop.texts(), QStringList{gone + QStringLiteral(" does not exist!")});
        QCOMPARE(f->desktop.messages[0].caption, QStringLiteral("Error"));
    }

    void theBoxesTakeAPointInEveryLocale()
    {
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        auto f = make(2);
        for (int row : {0, 1}) {
            selectOnly(f->list(), row);
            WhenSettingsOpen when([&](AudioSettingsDialog& d) {
                QCOMPARE(box(d, AudioSettingsDialog::kIdVolume)->text(), QStringLiteral("1.000"));
                type(d, AudioSettingsDialog::kIdStartTime, row == 0 ? QStringLiteral("1.5") : QStringLiteral("1,5"));
                type(d, AudioSettingsDialog::kIdSpeed, QStringLiteral("2,5"));
                QTest::keyClick(&d, Qt::Key_Return);
            });
            QTest::mouseClick(f->button(kIdProperties), Qt::LeftButton);
            QVERIFY2(when.ran(), qPrintable(f->desktop.texts().join(QLatin1Char('|'))));
            QCOMPARE(f->dialog.store().at(row).startTime, REFERENCE_TIME{15'000'000});
            QCOMPARE(f->dialog.store().at(row).speed, 2.5);
        }
        QLocale::setDefault(before);
        QVERIFY(f->desktop.messages.empty());
    }

    // An entry edited to start at 1.5 s, at half volume and twice the speed, in the written file.
    void anEditedEntryMixesWhereItWasPut()
    {
        auto f = make(0);
        f->dialog.addFiles({level(QStringLiteral("steady.wav"), 1.0, 8000)});
        selectOnly(f->list(), 0);
        WhenSettingsOpen when([&](AudioSettingsDialog& d) {
            type(d, AudioSettingsDialog::kIdStartTime, QStringLiteral("1.5"));
            type(d, AudioSettingsDialog::kIdVolume, QStringLiteral("0.5"));
            type(d, AudioSettingsDialog::kIdSpeed, QStringLiteral("2"));
            QTest::keyClick(&d, Qt::Key_Return);
        });
        QTest::mouseClick(f->button(kIdProperties), Qt::LeftButton);
        QVERIFY(when.ran());
        QCOMPARE(f->cell(0, 3), QStringLiteral("1.500"));
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(f->button(kIdMix)->text(), QStringLiteral("Mix"), 30000);
        QVERIFY2(f->desktop.messages.empty(), qPrintable(f->desktop.texts().join(QLatin1Char('|'))));

        sonarel::testing::WavData wav;
        std::string error;
        QVERIFY2(sonarel::testing::readWav(f->dialog.outputSettings().outputFile.toStdString(), wav, error),
                 error.c_str());
        const std::size_t begin = 66150;  // round(1.5 * 44100)
        QCOMPARE(wav.frames(), begin + 22050);
        for (std::size_t frame = 0; frame < begin; ++frame)
            QCOMPARE(wav.at(frame, 0), 0);
        QVERIFY(wav.at(begin, 0) != 0);
        // The resampled level settles within a few frames of its edges.
        for (std::size_t frame = begin + 64; frame < begin + 22050 - 64; ++frame) {
            QVERIFY2(std::abs(wav.at(frame, 0) - 4000) <= 2, qPrintable(QString::number(wav.at(frame, 0))));
            QVERIFY(std::abs(wav.at(frame, 1) - 4000) <= 2);
        }
    }

    void placeholdersInAPathStayInTheMessage()
    {
        MixItemStore full;
        for (int i = 0; i < kMixItemCapacity; ++i)
            QCOMPARE(full.append("/x.wav", 1), AppendResult::Appended);
        media::MediaLibrary library;
        const QString odd = dir_.filePath(QStringLiteral("take%2%1.wav"));
        const AddFilesResult result = addFilesToMixList(full, {odd}, library);
        QCOMPARE(result.refused, QStringList{odd + QStringLiteral(": the list is full (it holds at most 1000 files)")});
    }

    void withoutTheEngineEachCommandSaysWhy()
    {
        sonarel::testing::RecordingDesktop desktop;
        ProfileStore profile(QStringLiteral("sonarel-edit-noengine"));
        media::MediaLibrary library;
        library.faults().fail(media::fault::kLibraryInitialize);
        MainDialog dialog(desktop, profile, library, dir_.path());
        QVERIFY(!dialog.isReady());
        desktop.messages.clear();
        desktop.filesToOpen = {{level(QStringLiteral("never.wav"), 0.1, 100)}};
        auto click = [&](int id) {
            QTest::mouseClick(dialog.findChild<QPushButton*>(objectNameOf(id)), Qt::LeftButton);
        };
        click(kIdAdd);
        QVERIFY(desktop.dialogRequests.empty());  // no file dialog whose choice would be dropped
        click(kIdMix);
        click(kIdOptions);
        dialog.addFiles({dir_.filePath(QStringLiteral("never.wav"))});  // a drop
        const QStringList texts = desktop.texts();
        QCOMPARE(texts.size(), 4);
        for (const QString& text : texts)
            QVERIFY2(text.startsWith(QStringLiteral("The media engine could not be started, so ")), qPrintable(text));
        QVERIFY(texts[0].contains(QStringLiteral("no files can be added")));
        QVERIFY(texts[1].contains(QStringLiteral("nothing can be mixed")));
        QVERIFY(texts[2].contains(QStringLiteral("output options")));
        QCOMPARE(dialog.store().audioCount(), 0);
    }
};

QTEST_MAIN(EntryEditingTest)
#include "EntryEditingTest.moc"
