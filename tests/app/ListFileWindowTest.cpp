// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping work in the window: list files saved and opened with the real window, its shortcuts
// and its close question, moved files relinked from a folder, undo and redo.
#include <unistd.h>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/CommandLine.h"
#include "app/ListFileCommands.h"
#include "controls/ControlIds.h"
#include "model/EntryEditing.h"
#include "model/MixListFile.h"
#include "model/MixListImport.h"
#include "platform/NativePath.h"
#include "platform/PathHelpers.h"
#include "render/MediaProbe.h"
#include "settings/WaveFormatChoice.h"
#include "settings/ui/AudioSettingsDialog.h"
#include "settings/ui/OutputOptionsDialog.h"
#include "settings/ui/TagsDialog.h"
#include "support/MainWindowFixture.h"
#include "support/OddLists.h"
#include "support/WavFile.h"

using namespace sonarel;

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The list as "name start" words, enough to tell the states of these tests apart.
QString describe(const MixItemStore& store)
{
    QStringList words;
    for (int i = 0; i < store.audioCount(); ++i)
        words << QString::fromStdString(fileNameOfPath(store.at(i).filePath)) + QLatin1Char('@') +
                     QString::number(store.at(i).startTime);
    return words.join(QLatin1Char(' '));
}

// What ffprobe says of a file's first audio stream: "codec,rate,channels,bits_per_raw_sample".
QString probeStream(const QString& path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                 QStringLiteral("a:0"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_name,sample_rate,channels,bits_per_raw_sample"), QStringLiteral("-of"),
                 QStringLiteral("csv=p=0"), path});
    probe.waitForFinished(30000);
    return QString::fromUtf8(probe.readAllStandardOutput()).trimmed();
}

}  // namespace

class ListFileWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    int counter_ = 0;

    struct Fixture : sonarel::testing::MainWindowFixture {
        using MainWindowFixture::MainWindowFixture;
        MixItemStore& store() { return dialog.store(); }
        QString title() { return dialog.windowTitle(); }
        // Shortcuts reach the active window only.
        void keys(QKeyCombination combination)
        {
            dialog.show();
            dialog.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QTest::keySequence(&dialog, QKeySequence(combination));
        }
        // Sets one value of an entry as a person does: Enter on its row, type, Enter.
        void edit(int row, int box, const QString& text)
        {
            list().selectionModel()->select(list().model()->index(row, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            sonarel::testing::WhenDialogOpens<AudioSettingsDialog> typing([&](AudioSettingsDialog& settings) {
                auto* edit = settings.findChild<QLineEdit*>(QString::number(box));
                edit->setFocus();
                edit->selectAll();
                QTest::keyClicks(edit, text);
                QTest::keyClick(edit, Qt::Key_Return);
            });
            QTest::keyClick(&list(), Qt::Key_Return);
            QVERIFY(typing.ran());
        }
    };

    std::unique_ptr<Fixture> make()
    {
        ++counter_;
        auto f = std::make_unique<Fixture>(QStringLiteral("sonarel-lists-%1").arg(counter_), dir_.path());
        OutputSettings settings = f->dialog.outputSettings();
        settings.outputFile = dir_.filePath(QStringLiteral("window%1.wav").arg(counter_));
        f->dialog.setOutputSettings(settings);
        f->dialog.show();
        return f;
    }

    QString tone(const QString& relative, double seconds = 0.05, double frequency = 440)
    {
        const QString path = dir_.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        sonarel::testing::writeWav16(path.toStdString(), 1, 44100,
                                     sonarel::testing::sine16(1, 44100, seconds, frequency, 5000));
        return path;
    }

    void check(const QString& wavPath, sonarel::testing::WavData& wav)
    {
        std::string error;
        QVERIFY2(sonarel::testing::readWav(wavPath.toStdString(), wav, error), error.c_str());
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(sonarel::testing::prepareWindowTests(dir_)); }

    void shortcutsSaveOpenAndMarkUnsavedChanges()
    {
        auto f = make();
        QCOMPARE(f->title(), QStringLiteral("Sonarel"));
        f->dialog.addFiles({tone(QStringLiteral("a.wav")), tone(QStringLiteral("b.wav"))});
        QCOMPARE(f->title(), QStringLiteral("*Untitled - Sonarel"));

        // Ctrl+S on a list never saved asks where; the suffix is added.
        f->desktop.fileToSave = {dir_.filePath(QStringLiteral("first list"))};
        f->keys(Qt::CTRL | Qt::Key_S);
        const QString first = dir_.filePath(QStringLiteral("first list.csv"));
        QVERIFY(!f->desktop.dialogRequests.empty());
        QCOMPARE(f->desktop.dialogRequests.back().title, QStringLiteral("Save List As"));
        QCOMPARE(contentOf(first), QByteArray("path,start_seconds,volume,speed\na.wav,0,1,1\nb.wav,0,1,1\n"));
        QCOMPARE(f->title(), QStringLiteral("first list.csv - Sonarel"));

        // A change marks the title; Ctrl+S writes the same file without asking.
        f->edit(1, AudioSettingsDialog::kIdStartTime, QStringLiteral("1.25"));
        QCOMPARE(f->title(), QStringLiteral("*first list.csv - Sonarel"));
        const std::size_t requests = f->desktop.dialogRequests.size();
        f->keys(Qt::CTRL | Qt::Key_S);
        QCOMPARE(f->desktop.dialogRequests.size(), requests);
        QVERIFY(contentOf(first).endsWith("b.wav,1.25,1,1\n"));
        QCOMPARE(f->title(), QStringLiteral("first list.csv - Sonarel"));

        // Ctrl+Shift+S saves a copy under a new name, which the window then shows.
        f->desktop.fileToSave = {dir_.filePath(QStringLiteral("copy.csv"))};
        f->keys(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
        QCOMPARE(contentOf(dir_.filePath(QStringLiteral("copy.csv"))), contentOf(first));
        QCOMPARE(f->title(), QStringLiteral("copy.csv - Sonarel"));
        QCOMPARE(f->dialog.listFile().recentLists(), (QStringList{dir_.filePath(QStringLiteral("copy.csv")), first}));

        // Ctrl+O in a fresh window opens the list with its values and measured durations.
        auto g = make();
        g->desktop.filesToOpen = {{first}};
        g->keys(Qt::CTRL | Qt::Key_O);
        QCOMPARE(describe(g->store()), QStringLiteral("a.wav@0 b.wav@12500000"));
        QCOMPARE(g->store().at(0).duration, REFERENCE_TIME{500'000});
        QCOMPARE(g->dialog.mixList().rowCount(), 2);
        QCOMPARE(g->title(), QStringLiteral("first list.csv - Sonarel"));
    }

    void theMenuCommandsHaveTheirOwnAccessKeys()
    {
        auto f = make();
        QMenu menu;
        f->dialog.listFile().addToMenu(menu);
        QStringList keys{QStringLiteral("a")};  // About, added by the window after these
        for (QAction* action : menu.actions()) {
            const qsizetype amp = action->text().indexOf(QLatin1Char('&'));
            if (action->isSeparator())
                continue;
            QVERIFY2(amp >= 0, qPrintable(action->text()));
            const QString key = action->text().mid(amp + 1, 1).toLower();
            QVERIFY2(!keys.contains(key), qPrintable(action->text()));
            keys << key;
        }
        QCOMPARE(keys.size(), 8);
    }

    void undoAndRedoThroughAddEditAndDelete()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("a.wav")), tone(QStringLiteral("b.wav")),
                            tone(QStringLiteral("c.wav"))});
        f->edit(2, AudioSettingsDialog::kIdStartTime, QStringLiteral("2"));
        f->list().selectionModel()->select(f->list().model()->index(0, 0),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QTest::keyClick(&f->list(), Qt::Key_Delete);
        const QStringList states{QString(), QStringLiteral("a.wav@0 b.wav@0 c.wav@0"),
                                 QStringLiteral("a.wav@0 b.wav@0 c.wav@20000000"),
                                 QStringLiteral("b.wav@0 c.wav@20000000")};
        QCOMPARE(describe(f->store()), states[3]);
        for (int i = 2; i >= 0; --i) {
            f->keys(Qt::CTRL | Qt::Key_Z);
            QCOMPARE(describe(f->store()), states[i]);
            QCOMPARE(f->dialog.mixList().rowCount(), f->store().audioCount());
        }
        QCOMPARE(f->title(), QStringLiteral("Sonarel"));  // back to the empty new list
        f->keys(Qt::CTRL | Qt::Key_Z);                    // nothing more to undo
        QCOMPARE(describe(f->store()), states[0]);
        for (int i = 1; i <= 3; ++i) {
            f->keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
            QCOMPARE(describe(f->store()), states[i]);
        }
        QCOMPARE(f->dialog.mixList().item(1, 3)->text(), QStringLiteral("2.000"));

        // Delete all, and a refused delete that leaves no step behind.
        QTest::mouseClick(f->button(kIdDeleteAll), Qt::LeftButton);
        QTest::mouseClick(f->button(kIdDeleteSelected), Qt::LeftButton);
        f->keys(Qt::CTRL | Qt::Key_Z);
        QCOMPARE(describe(f->store()), states[3]);
    }

    // The window, a list file, the undo history and the command line's argument all bring an entry
    // into the list by the same path, so each finds the same entry: path, length and properties.
    void everyWayInGivesTheSameEntry()
    {
        auto f = make();
        const QString file = tone(QStringLiteral("same/entry.wav"), 0.25);
        f->dialog.addFiles({file});
        QCOMPARE(f->store().audioCount(), 1);
        QVERIFY(setEntryProperties(f->store(), 0, {15'000'001, 0.25, 1.5}));
        f->list().refresh(f->store());
        const MixItem byWindow = f->store().at(0);
        QVERIFY(byWindow.duration > 0);
        const auto same = [&byWindow](const MixItem& entry) {
            return entry.filePath == byWindow.filePath && entry.duration == byWindow.duration &&
                   entry.properties() == byWindow.properties();
        };

        const QString list = dir_.filePath(QStringLiteral("same/list.csv"));
        QVERIFY(saveMixListFile(list, entriesOf(f->store())).isEmpty());
        auto other = make();
        QVERIFY(other->dialog.listFile().openListFile(list));
        QCOMPARE(other->store().audioCount(), 1);
        QVERIFY(same(other->store().at(0)));

        f->store().clear();
        f->list().refresh(f->store());
        f->dialog.listFile().undo();
        QCOMPARE(f->store().audioCount(), 1);
        QVERIFY(same(f->store().at(0)));

        std::string error;
        const auto argument = parseEntryArgument((file + QStringLiteral("@1.5000001:0.25:1.5")).toStdString(), error);
        QVERIFY2(argument, error.c_str());
        MixItemStore fromCommandLine;
        QCOMPARE(appendMeasured(fromCommandLine, f->library, *argument), AppendResult::Appended);
        QVERIFY(same(fromCommandLine.at(0)));
    }

    void closingAsksSaveDiscardOrCancelAfterTheMixCheck()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("a.wav"), 3.0)});
        const QString list = dir_.filePath(QStringLiteral("close.csv"));
        f->desktop.fileToSave = {list};
        QVERIFY(f->dialog.listFile().saveList());
        f->edit(0, AudioSettingsDialog::kIdVolume, QStringLiteral("0.5"));

        // While a mix runs only the mix's own refusal is shown.
        f->desktop.messages.clear();
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QVERIFY(f->dialog.runControl().isMixing());
        QVERIFY(!f->dialog.close());
        QCOMPARE(f->desktop.texts(), QStringList{QStringLiteral("Please first stop Convert")});
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);

        // Cancel keeps the window and the changes; Esc asks the same.
        f->desktop.messages.clear();
        f->desktop.saveChoices = {SaveChoice::Cancel, SaveChoice::Cancel};
        QVERIFY(!f->dialog.close());
        QTest::keyClick(&f->dialog, Qt::Key_Escape);
        QVERIFY(f->dialog.isVisible());
        QCOMPARE(f->desktop.messages.size(), std::size_t{2});
        QCOMPARE(f->desktop.messages[0].text, QStringLiteral("Save the changes to close.csv before closing?"));
        QVERIFY(f->desktop.messages[0].question);

        // Discard closes and leaves the file as it was; Save writes it first.
        const QByteArray saved = contentOf(list);
        f->desktop.saveChoices = {SaveChoice::Discard};
        QVERIFY(f->dialog.close());
        QCOMPARE(contentOf(list), saved);
        f->dialog.show();
        f->desktop.saveChoices = {SaveChoice::Save};
        QVERIFY(f->dialog.close());
        QVERIFY(contentOf(list).endsWith("a.wav,0,0.5,1\n"));

        // A save that fails keeps the window open and the mark on.
        f->dialog.show();
        f->edit(0, AudioSettingsDialog::kIdSpeed, QStringLiteral("2"));
        f->desktop.messages.clear();
        f->desktop.fileToSave = {QStringLiteral("/proc/sonarel-no-such-place/list.csv")};
        f->keys(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
        QCOMPARE(f->desktop.messages.size(), std::size_t{1});
        QVERIFY(f->desktop.messages[0].text.startsWith(
            QStringLiteral("The list could not be saved to /proc/sonarel-no-such-place/list.csv:\n")));
        QCOMPARE(f->title(), QStringLiteral("*close.csv - Sonarel"));

        // Opening another list asks about the unsaved changes first.
        f->desktop.messages.clear();
        f->desktop.saveChoices = {SaveChoice::Cancel};
        f->desktop.filesToOpen = {{list}};
        f->keys(Qt::CTRL | Qt::Key_O);
        QCOMPARE(f->desktop.texts(),
                 QStringList{QStringLiteral("Save the changes to close.csv before opening another list?")});
        QCOMPARE(f->store().at(0).speed, 2.0);
    }

    // Ctrl+N starts an untitled list, after asking about unsaved changes, and Undo brings the old
    // one back. Delete All keeps the list's name, but an empty list replaces a file that holds
    // entries only when the person says so.
    void aNewListIsUntitledAndAnEmptiedOneAsksBeforeReplacingEntries()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("new/a.wav"))});
        const QString list = dir_.filePath(QStringLiteral("new/kept.csv"));
        f->desktop.fileToSave = {list};
        QVERIFY(f->dialog.listFile().saveList());
        const QByteArray saved = contentOf(list);
        f->edit(0, AudioSettingsDialog::kIdVolume, QStringLiteral("0.5"));

        f->desktop.messages.clear();
        f->desktop.saveChoices = {SaveChoice::Cancel, SaveChoice::Discard};
        f->keys(Qt::CTRL | Qt::Key_N);
        QCOMPARE(f->desktop.texts(),
                 QStringList{QStringLiteral("Save the changes to kept.csv before starting a new list?")});
        QCOMPARE(f->store().audioCount(), 1);
        f->keys(Qt::CTRL | Qt::Key_N);
        QCOMPARE(f->store().audioCount(), 0);
        QCOMPARE(f->title(), QStringLiteral("Sonarel"));
        QCOMPARE(f->dialog.listFile().undoAction()->text(), QStringLiteral("&Undo New List"));
        f->keys(Qt::CTRL | Qt::Key_Z);
        QCOMPARE(describe(f->store()), QStringLiteral("a.wav@0"));
        QCOMPARE(f->store().at(0).volume, 0.5);
        QCOMPARE(f->title(), QStringLiteral("*kept.csv - Sonarel"));

        QTest::mouseClick(f->button(kIdDeleteAll), Qt::LeftButton);
        QCOMPARE(f->title(), QStringLiteral("*kept.csv - Sonarel"));
        f->desktop.messages.clear();
        f->desktop.answers = {false};
        f->keys(Qt::CTRL | Qt::Key_S);
        QCOMPARE(f->desktop.texts(),
                 QStringList{
                     QStringLiteral("This list is empty, and kept.csv holds 1 entry. Save the empty list over it?")});
        QCOMPARE(contentOf(list), saved);
        QCOMPARE(f->title(), QStringLiteral("*kept.csv - Sonarel"));
        f->desktop.answers = {true};
        f->keys(Qt::CTRL | Qt::Key_S);
        QCOMPARE(contentOf(list), QByteArray("path,start_seconds,volume,speed\n"));
        QCOMPARE(f->title(), QStringLiteral("kept.csv - Sonarel"));
        // Empty over empty asks nothing.
        f->desktop.messages.clear();
        QVERIFY(f->dialog.listFile().saveList());
        QVERIFY(f->desktop.messages.empty());
    }

    // Saving over a list that another program changed since it was read or written here asks
    // first: Cancel writes nothing, Reload opens it as it is now (Undo brings this list back),
    // Overwrite writes this list.
    void aListChangedOnDiskAsksBeforeItIsOverwritten()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("disk/a.wav")), tone(QStringLiteral("disk/b.wav"))});
        const QString list = dir_.filePath(QStringLiteral("disk/shared.csv"));
        f->desktop.fileToSave = {list};
        QVERIFY(f->dialog.listFile().saveList());
        const QByteArray theirs("path,start_seconds,volume,speed\nb.wav,3,1,1\n");
        const auto otherProgramWrites = [&] {
            QFile file(list);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(theirs);
        };
        otherProgramWrites();
        f->edit(0, AudioSettingsDialog::kIdVolume, QStringLiteral("0.5"));
        const QString ours = describe(f->store());

        f->desktop.messages.clear();
        f->desktop.changedFileChoices = {ChangedFileChoice::Cancel};
        f->keys(Qt::CTRL | Qt::Key_S);
        QCOMPARE(f->desktop.texts(),
                 QStringList{QStringLiteral("shared.csv was changed by another program since Sonarel last read or "
                                            "saved it.\n\nReload it (Undo brings this list back), overwrite it with "
                                            "this list, or cancel?")});
        QCOMPARE(contentOf(list), theirs);
        QCOMPARE(f->title(), QStringLiteral("*shared.csv - Sonarel"));

        f->desktop.changedFileChoices = {ChangedFileChoice::Reload};
        f->keys(Qt::CTRL | Qt::Key_S);
        QCOMPARE(describe(f->store()), QStringLiteral("b.wav@30000000"));
        QCOMPARE(f->title(), QStringLiteral("shared.csv - Sonarel"));
        QCOMPARE(contentOf(list), theirs);
        f->keys(Qt::CTRL | Qt::Key_Z);
        QCOMPARE(describe(f->store()), ours);
        QCOMPARE(f->store().at(0).volume, 0.5);
        // Their version was read: saving over it now asks no more.
        f->desktop.messages.clear();
        f->keys(Qt::CTRL | Qt::Key_S);
        QVERIFY(f->desktop.messages.empty());
        QVERIFY(contentOf(list).contains("a.wav,0,0.5,1\n"));

        otherProgramWrites();
        f->edit(1, AudioSettingsDialog::kIdVolume, QStringLiteral("0.25"));
        f->desktop.changedFileChoices = {ChangedFileChoice::Overwrite};
        f->keys(Qt::CTRL | Qt::Key_S);
        QCOMPARE(f->desktop.changedFileChoices.size(), std::size_t{0});
        QVERIFY(contentOf(list).endsWith("a.wav,0,0.5,1\nb.wav,0,0.25,1\n"));
        QCOMPARE(f->title(), QStringLiteral("shared.csv - Sonarel"));
    }

    // The list keeps its output: a change in Output Options marks it, closing asks, saving writes
    // it, and Undo and Redo take it back and forth with the list's other changes.
    void outputOptionsAreAChangeOfTheList()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("opts/a.wav"))});
        const QString list = dir_.filePath(QStringLiteral("opts/list.csv"));
        f->desktop.fileToSave = {list};
        QVERIFY(f->dialog.listFile().saveList());
        const QString firstOutput = f->dialog.outputSettings().outputFile;
        const auto options = [&](const std::function<void(OutputOptionsDialog&)>& change) {
            sonarel::testing::WhenDialogOpens<OutputOptionsDialog> opened([&](OutputOptionsDialog& d) {
                change(d);
                QTest::keyClick(&d, Qt::Key_Return);
            });
            QTest::mouseClick(f->button(kIdOptions), Qt::LeftButton);
            QVERIFY(opened.ran());
        };
        const auto rate = [&] { return sampleRateOf(f->dialog.outputSettings()); };
        options([](OutputOptionsDialog& d) {
            auto* rates = d.findChild<QComboBox*>(objectNameOf(kIdSampleRateList));
            rates->setCurrentIndex(rates->findText(QStringLiteral("22050")));
        });
        QCOMPARE(rate(), 22050u);
        QCOMPARE(f->title(), QStringLiteral("*list.csv - Sonarel"));
        QCOMPARE(f->dialog.listFile().undoAction()->text(), QStringLiteral("&Undo Output Options"));
        f->desktop.messages.clear();
        f->desktop.saveChoices = {SaveChoice::Cancel};
        QVERIFY(!f->dialog.close());
        QCOMPARE(f->desktop.texts(), QStringList{QStringLiteral("Save the changes to list.csv before closing?")});

        f->keys(Qt::CTRL | Qt::Key_Z);
        QCOMPARE(rate(), 44100u);
        QCOMPARE(f->title(), QStringLiteral("list.csv - Sonarel"));
        f->keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
        QCOMPARE(rate(), 22050u);
        f->keys(Qt::CTRL | Qt::Key_S);
        QVERIFY(contentOf(list).contains("\n#output.rate=22050\n"));
        QCOMPARE(f->title(), QStringLiteral("list.csv - Sonarel"));

        // Now the list names its output file too: choosing another is a change, undone with an
        // edit of an entry in the order they were made.
        const QString other = dir_.filePath(QStringLiteral("opts/other.wav"));
        options([&](OutputOptionsDialog& d) {
            auto* name = d.findChild<QLineEdit*>(objectNameOf(kIdOutputFileBox));
            name->setText(other);
        });
        f->edit(0, AudioSettingsDialog::kIdVolume, QStringLiteral("0.5"));
        QCOMPARE(f->title(), QStringLiteral("*list.csv - Sonarel"));
        f->keys(Qt::CTRL | Qt::Key_Z);
        QCOMPARE(f->store().at(0).volume, 1.0);
        QCOMPARE(f->dialog.outputSettings().outputFile, other);
        f->keys(Qt::CTRL | Qt::Key_Z);
        QCOMPARE(f->dialog.outputSettings().outputFile, firstOutput);
        QCOMPARE(f->status(), QStringLiteral("Output File: ") + firstOutput);
        QCOMPARE(rate(), 22050u);
        QCOMPARE(f->title(), QStringLiteral("list.csv - Sonarel"));
    }

    void aMalformedListNamesItsLineAndLoadsNothing()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("keep.wav"))});
        const QString list = dir_.filePath(QStringLiteral("bad.csv"));
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("path,start_seconds,volume,speed\nkeep.wav,1,1,1\nkeep.wav,1,loud,1\n");
        file.close();
        QVERIFY(!f->dialog.listFile().openListFile(list));
        QCOMPARE(f->desktop.texts(),
                 QStringList{list + QStringLiteral(" could not be opened:\nline 3: the volume \"loud\" is not a number."
                                                   "\n\nNothing was loaded.")});
        QCOMPARE(describe(f->store()), QStringLiteral("keep.wav@0"));
    }

    // The window's list keeps its capacity, though the command-line mixer takes any length.
    void aListLongerThanTheWindowsIsRefusedWhole()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("held.wav"))});
        const QString list = dir_.filePath(QStringLiteral("long.csv"));
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("path,start_seconds,volume,speed\n");
        for (int i = 0; i <= kMixItemCapacity; ++i)
            file.write(QStringLiteral("held.wav,%1,1,1\n").arg(i).toUtf8());
        file.close();
        QVERIFY(!f->dialog.listFile().openListFile(list));
        QCOMPARE(f->desktop.texts(),
                 QStringList{list + QStringLiteral(" holds 1001 entries; a mix list holds at most 1000.\n\n"
                                                   "Nothing was loaded.")});
        QCOMPARE(describe(f->store()), QStringLiteral("held.wav@0"));
    }

    void anInPointPastTheFileIsRefusedNamingTheEntry()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("kept.wav"))});
        const QString list = dir_.filePath(QStringLiteral("late.csv"));
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("path,start_seconds,volume,speed,in_seconds\nkept.wav,0,1,1,0.01\nkept.wav,0,1,1,0.05\n");
        file.close();
        QVERIFY(!f->dialog.listFile().openListFile(list));
        // The unsaved list is given up only for a list that loads: refused, it stays as it was.
        QCOMPARE(f->desktop.texts().size(), 2);
        QCOMPARE(f->desktop.texts().last(),
                 list + QStringLiteral(" could not be opened:\nentry 2 (%1): the in point (0.050 s) is not "
                                       "before the end of the file (0.050 s).\n\nNothing was loaded.")
                            .arg(dir_.filePath(QStringLiteral("kept.wav"))));
        QCOMPARE(describe(f->store()), QStringLiteral("kept.wav@0"));
        QCOMPARE(f->title(), QStringLiteral("*Untitled - Sonarel"));
    }

    // Every shaping column and the list's ducking: the window opens the list, saves it back
    // unchanged and mixes the same samples as sonarel-mix reading the same file.
    void aShapedListMixesAsWithSonarelMix()
    {
        const QString a = tone(QStringLiteral("shaped/a.wav"), 0.5, 440);
        const QString b = tone(QStringLiteral("shaped/b.wav"), 0.5, 660);
        const auto entry = [](const QString& path, REFERENCE_TIME start) {
            MixItem item;
            item.filePath = path.toStdString();
            item.startTime = start;
            return item;
        };
        std::vector<MixItem> entries{entry(a, 0), entry(b, 1'000'000), entry(a, 2'000'000), entry(b, 0)};
        entries[0].inPoint = 1'000'000;
        entries[0].outPoint = 4'000'000;
        entries[0].fadeIn = 500'000;
        entries[0].fadeOut = 1'000'000;
        entries[1].fadeCurve = FadeCurve::EqualPower;
        entries[1].fadeOut = 2'000'000;
        entries[1].speed = 1.25;
        entries[1].volumePoints = {{0, 1.0}, {2'000'000, 0.3}, {4'000'000, 1.5}};
        entries[2].keepPitch = true;
        entries[2].pitchSemitones = 3;
        entries[2].outPoint = 2'500'000;
        entries[3].muted = true;
        entries[1].duck = true;
        entries[0].chapter = "Opening, \"part\" 1";
        entries[1].chapter = "Talk";
        entries[0].group = "Music";
        entries[1].group = "Voice";
        const QString list = dir_.filePath(QStringLiteral("shaped/every.csv"));
        // Tags and a cover, which a WAV file cannot keep: both say so.
        ListTags tags;
        tags.value(media::core::TagField::Title) = "Überall ☂";
        tags.value(media::core::TagField::Track) = "2/9";
        tags.coverPath = dir_.filePath(QStringLiteral("shaped/front.png")).toStdString();
        QImage front(8, 8, QImage::Format_RGB32);
        front.fill(Qt::red);
        QVERIFY(front.save(QString::fromStdString(tags.coverPath)));
        QVERIFY(saveMixListFile(list, entries, {}, {-9.0, 0.05, 0.1}, tags).isEmpty());
        QVERIFY(contentOf(list).contains(",fade_curve,volume_points,duck,chapter,group\n"));
        QVERIFY(
            contentOf(list).startsWith("#duck.depth_db=-9\n#duck.attack_seconds=0.05\n#duck.release_seconds=0.1\n"
                                       "#tag.title=Überall ☂\n#tag.track=2/9\n#cover=front.png\n"));

        auto f = make();
        QVERIFY(f->dialog.listFile().openListFile(list));
        QVERIFY2(f->desktop.messages.empty(), qPrintable(f->desktop.texts().join(QLatin1Char('\n'))));
        QCOMPARE(f->store().audioCount(), 4);
        for (int i = 0; i < 4; ++i)
            QVERIFY2(sameProperties(f->store().at(i), entries[static_cast<std::size_t>(i)]),
                     qPrintable(QString::number(i)));
        const QString again = dir_.filePath(QStringLiteral("shaped/again.csv"));
        f->desktop.fileToSave = {again};
        f->keys(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
        QCOMPARE(contentOf(again), contentOf(list));

        QCOMPARE(f->store().tags(), tags);

        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!f->dialog.runControl().isMixing(), 60000);
        const QString warning = QStringLiteral(
            "A WAV file cannot keep the list's cover: the mix is written without it.");
        QCOMPARE(f->desktop.texts().size(), 2);
        QCOMPARE(f->desktop.texts()[0], warning);
        QVERIFY2(f->desktop.texts()[1].startsWith(QStringLiteral("A WAV file cannot hold chapters")),
                 qPrintable(f->desktop.texts()[1]));
        QProcess mixer;
        const QString cliOutput = dir_.filePath(QStringLiteral("shaped/cli.wav"));
        mixer.start(QStringLiteral(SONAREL_MIX_PATH),
                    {QStringLiteral("-q"), QStringLiteral("-o"), cliOutput, QStringLiteral("--csv"), again});
        QVERIFY(mixer.waitForFinished(60000));
        QCOMPARE(mixer.exitCode(), 0);
        QVERIFY(QString::fromUtf8(mixer.readAllStandardError()).contains(warning));
        // The same file, tags and all.
        QCOMPARE(contentOf(f->dialog.outputSettings().outputFile), contentOf(cliOutput));
        QVERIFY(contentOf(cliOutput).contains("INAM"));
        sonarel::testing::WavData window;
        sonarel::testing::WavData cli;
        check(f->dialog.outputSettings().outputFile, window);
        check(cliOutput, cli);
        // b ends last, at 0.1 + 0.5 / 1.25 s; the muted entry would not count anyway.
        QCOMPARE(window.frames(), std::int64_t{22050});
        QVERIFY(window.samples == cli.samples);

        // Into FLAC, with the chapters, the tags and the cover, and the stems of the two groups.
        f->desktop.messages.clear();
        const QString flac = dir_.filePath(QStringLiteral("shaped/window.flac"));
        OutputSettings toFlac = f->dialog.outputSettings();
        toFlac.outputFile = flac;
        f->dialog.setOutputSettings(toFlac);
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!f->dialog.runControl().isMixing(), 60000);
        QVERIFY2(f->desktop.messages.empty(), qPrintable(f->desktop.texts().join(QLatin1Char('\n'))));
        const QString cliFlac = dir_.filePath(QStringLiteral("shaped/cli.flac"));
        mixer.start(QStringLiteral(SONAREL_MIX_PATH),
                    {QStringLiteral("-q"), QStringLiteral("-o"), cliFlac, QStringLiteral("--csv"), again});
        QVERIFY(mixer.waitForFinished(60000));
        QCOMPARE(mixer.exitCode(), 0);
        QCOMPARE(contentOf(flac), contentOf(cliFlac));
        QVERIFY(contentOf(cliFlac).contains("CHAPTER001NAME=Talk"));
    }

    // File > Tags... edits the list's tags and cover, checked as they are entered, as one undo
    // step that marks the list changed; the cover is shown small and can be removed.
    void theTagsDialogEditsTheListsTagsAsOneUndoStep()
    {
        auto f = make();
        f->dialog.show();
        f->dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f->dialog));
        QAction* command = nullptr;
        for (QMenu* menu : f->dialog.findChildren<QMenu*>())
            if (menu->title() == QStringLiteral("&File"))
                for (QAction* action : menu->actions())
                    if (action->text() == QStringLiteral("Ta&gs..."))
                        command = action;
        QVERIFY(command);
        const QString png = dir_.filePath(QStringLiteral("art/front.png"));
        QDir().mkpath(dir_.filePath(QStringLiteral("art")));
        QImage front(40, 20, QImage::Format_RGB32);
        front.fill(Qt::blue);
        QVERIFY(front.save(png));
        const QString notes = dir_.filePath(QStringLiteral("art/notes.png"));
        QFile text(notes);
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("plain words") > 0);
        text.close();
        f->desktop.filesToOpen = {{notes}, {png}};
        const QString list = dir_.filePath(QStringLiteral("art/show.csv"));
        MixItem entry;
        entry.filePath = tone(QStringLiteral("art/voice.wav")).toStdString();
        QVERIFY(saveMixListFile(list, {entry}).isEmpty());
        QVERIFY(f->dialog.listFile().openListFile(list));
        QCOMPARE(f->title(), QStringLiteral("show.csv - Sonarel"));

        sonarel::testing::WhenDialogOpens<TagsDialog> typing([&](TagsDialog& d) {
            auto* title = d.findChild<QLineEdit*>(QStringLiteral("title"));
            auto* date = d.findChild<QLineEdit*>(QStringLiteral("date"));
            auto* cover = d.findChild<QLabel*>(QStringLiteral("cover"));
            QCOMPARE(d.focusWidget(), title);
            QTest::keyClicks(title, QStringLiteral("Nocturne"));
            QTest::keyClicks(date, QStringLiteral("17.5.2024"));
            auto* choose = d.findChild<QPushButton*>(QStringLiteral("chooseCover"));
            choose->setFocus();
            QTest::keyClick(choose, Qt::Key_Space);  // Choose Picture...: not a picture
            QVERIFY(cover->pixmap().isNull());
            QTest::keyClick(choose, Qt::Key_Space);
            QVERIFY(!cover->pixmap().isNull());
            QTest::keyClick(&d, Qt::Key_Return);
            QVERIFY(d.isVisible());
            QCOMPARE(d.focusWidget(), date);
            date->setText(QStringLiteral("2024-05-17"));
            QTest::keyClick(&d, Qt::Key_Return);
        });
        command->trigger();
        QVERIFY(typing.ran());
        QCOMPARE(
            f->desktop.texts(),
            (QStringList{QStringLiteral("%1 cannot be the cover picture: it is not a PNG or JPEG picture.").arg(notes),
                         QStringLiteral("The date must be written YYYY, YYYY-MM or YYYY-MM-DD.")}));
        ListTags expected;
        expected.value(media::core::TagField::Title) = "Nocturne";
        expected.value(media::core::TagField::Date) = "2024-05-17";
        expected.coverPath = png.toStdString();
        QCOMPARE(f->store().tags(), expected);
        QCOMPARE(f->dialog.listFile().undoAction()->text(), QStringLiteral("&Undo Tags"));
        QCOMPARE(f->title(), QStringLiteral("*show.csv - Sonarel"));

        sonarel::testing::WhenDialogOpens<TagsDialog> removing([&](TagsDialog& d) {
            QCOMPARE(d.findChild<QLineEdit*>(QStringLiteral("title"))->text(), QStringLiteral("Nocturne"));
            QVERIFY(!d.findChild<QLabel*>(QStringLiteral("cover"))->pixmap().isNull());
            auto* remove = d.findChild<QPushButton*>(QStringLiteral("removeCover"));
            remove->setFocus();
            QTest::keyClick(remove, Qt::Key_Space);
            QVERIFY(d.findChild<QLabel*>(QStringLiteral("cover"))->pixmap().isNull());
            QTest::keyClick(&d, Qt::Key_Return);
        });
        command->trigger();
        QVERIFY(removing.ran());
        QVERIFY(f->store().tags().coverPath.empty());
        f->dialog.listFile().undo();
        QCOMPARE(f->store().tags(), expected);
        f->dialog.listFile().undo();
        QVERIFY(f->store().tags().empty());
        QCOMPARE(f->title(), QStringLiteral("show.csv - Sonarel"));
    }

    void movedFilesAreRelinkedFromAFolderAndTheRestMarked()
    {
        const QString list = dir_.filePath(QStringLiteral("project/moved.csv"));
        const QString one = tone(QStringLiteral("project/takes/one.wav"));
        const QString two = tone(QStringLiteral("project/takes/two.wav"));
        const QString three = tone(QStringLiteral("project/takes/three.wav"));
        const auto entry = [](const QString& path, REFERENCE_TIME start, double volume) {
            MixItem item;
            item.filePath = path.toStdString();
            item.startTime = start;
            item.volume = volume;
            return item;
        };
        QVERIFY(saveMixListFile(list, {entry(one, 10'000'000, 1), entry(two, 0, 0.5), entry(three, 0, 1)}).isEmpty());
        // one and two move to another drive's folder; three is gone.
        QDir().mkpath(dir_.filePath(QStringLiteral("elsewhere/deep")));
        QVERIFY(QFile::rename(one, dir_.filePath(QStringLiteral("elsewhere/one.wav"))));
        QVERIFY(QFile::rename(two, dir_.filePath(QStringLiteral("elsewhere/deep/two.wav"))));
        QVERIFY(QFile::remove(three));

        auto f = make();
        f->desktop.answers = {true};
        f->desktop.folders = {dir_.filePath(QStringLiteral("elsewhere"))};
        QVERIFY(f->dialog.listFile().openListFile(list));
        QCOMPARE(f->desktop.messages.size(), std::size_t{2});
        QCOMPARE(f->desktop.messages[0].text, QStringLiteral("These files of the list were not found:\n%1\n%2\n%3\n\n"
                                                             "Do you want to look for them in a folder?")
                                                  .arg(one, two, three));
        QCOMPARE(f->desktop.dialogRequests.back().initialFolder, dir_.filePath(QStringLiteral("project")));
        QVERIFY(f->desktop.messages[1].text.endsWith(QStringLiteral("marked as missing:\n") + three));
        QCOMPARE(f->store().at(0).filePathText(), dir_.filePath(QStringLiteral("elsewhere/one.wav")));
        QCOMPARE(f->store().at(1).filePathText(), dir_.filePath(QStringLiteral("elsewhere/deep/two.wav")));
        QCOMPARE(f->store().at(1).duration, REFERENCE_TIME{500'000});
        QCOMPARE(f->store().at(2).filePathText(), three);
        QCOMPARE(f->dialog.mixList().item(2, 0)->text(), QStringLiteral("three.wav (missing)"));
        QCOMPARE(f->dialog.mixList().item(0, 0)->text(), QStringLiteral("one.wav"));
        QCOMPARE(f->title(), QStringLiteral("*moved.csv - Sonarel"));  // the relinks are not saved yet

        // The Mix command's own check names the one still missing.
        f->desktop.messages.clear();
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QCOMPARE(f->desktop.messages.size(), std::size_t{1});
        QVERIFY(f->desktop.messages[0].text.contains(three));
        QVERIFY(!f->desktop.messages[0].text.contains(QStringLiteral("one.wav")));

        // Relinking is a step of its own: undo shows the list as the file has it.
        f->keys(Qt::CTRL | Qt::Key_Z);
        QCOMPARE(f->store().at(0).filePathText(), one);
        QCOMPARE(f->title(), QStringLiteral("moved.csv - Sonarel"));
    }

    void aThousandOddEntriesRoundTripAndMixAsWithSonarelMix()
    {
        std::vector<std::string> paths;
        int n = 0;
        for (const std::string& name : sonarel::testing::oddFileNames())
            paths.push_back(
                tone(QStringLiteral("odd/") + QString::fromStdString(name), 0.03, 300 + 70 * n++).toStdString());
        paths.push_back(tone(QStringLiteral("outside/-dash, \"q\".wav"), 0.02, 1000).toStdString());
        const QString list = dir_.filePath(QStringLiteral("odd/thousand.csv"));
        QVERIFY(saveMixListFile(list, sonarel::testing::oddEntries(paths, 1000)).isEmpty());

        auto f = make();
        QVERIFY(f->dialog.listFile().openListFile(list));
        QCOMPARE(f->store().audioCount(), 1000);
        QVERIFY2(f->desktop.messages.empty(), qPrintable(f->desktop.texts().join(QLatin1Char('\n'))));
        const QString again = dir_.filePath(QStringLiteral("odd/again.csv"));
        f->desktop.fileToSave = {again};
        f->keys(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
        QCOMPARE(contentOf(again), contentOf(list));

        // The window's mix and sonarel-mix's mix of the saved list are the same samples.
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!f->dialog.runControl().isMixing(), 120000);
        QProcess mixer;
        const QString cliOutput = dir_.filePath(QStringLiteral("cli.wav"));
        mixer.start(QStringLiteral(SONAREL_MIX_PATH),
                    {QStringLiteral("-q"), QStringLiteral("-o"), cliOutput, QStringLiteral("--csv"), again});
        QVERIFY(mixer.waitForFinished(120000));
        QCOMPARE(mixer.exitCode(), 0);
        sonarel::testing::WavData window;
        sonarel::testing::WavData cli;
        check(f->dialog.outputSettings().outputFile, window);
        check(cliOutput, cli);
        QVERIFY(window.frames() > 44100 * 100);
        QVERIFY(window.samples == cli.samples);
    }
    // A list saved with a chosen output carries it in lines older readers skip; opening it in
    // another window restores it, sonarel-mix --csv mixes into it, and an option given overrides
    // its own part only.
    void aSavedListKeepsItsOutputForTheWindowAndSonarelMix()
    {
        const QString a = tone(QStringLiteral("outputs/a.wav"), 0.5, 440);
        auto f = make();
        f->dialog.addFiles({a});
        OutputSettings chosen = f->dialog.outputSettings();
        chosen.outputFile = dir_.filePath(QStringLiteral("outputs/listed.flac"));
        setSampleRate(chosen, 48000);
        setSampleBits(chosen, 24);
        chosen.channelsIndex = 1;
        chosen.normalizeLufs = -18.5;
        f->dialog.setOutputSettings(chosen);
        const QString list = dir_.filePath(QStringLiteral("outputs/with output.csv"));
        f->desktop.fileToSave = {list};
        f->keys(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
        const QByteArray saved = contentOf(list);
        QVERIFY(saved.startsWith("#output.file=" + chosen.outputFile.toUtf8() + "\n#output.format=flac\n"));
        QVERIFY(saved.contains("\n#output.rate=48000\n#output.channels=1\n#output.bits=24\n"));
        QVERIFY(saved.contains("\n#output.normalize=-18.5\n"));
        // A reader that knows nothing of the lines reads the same entries.
        std::vector<MixItem> entries;
        ImportError error;
        QVERIFY(parseMixListCsv(std::string_view(saved.constData(), std::size_t(saved.size())),
                                dir_.filePath(QStringLiteral("outputs")).toStdString(), entries, error));
        QCOMPARE(entries.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(entries[0].filePath), a);

        // Another window, which starts with the plain output, takes the list's.
        auto other = make();
        const QString plainOutput = other->dialog.outputSettings().outputFile;
        QVERIFY(hasNewListFormat(other->dialog.outputSettings()));
        QVERIFY(other->dialog.listFile().openListFile(list));
        const OutputSettings& restored = other->dialog.outputSettings();
        QCOMPARE(restored.outputFile, chosen.outputFile);
        QCOMPARE(sampleRateOf(restored), 48000u);
        QCOMPARE(sampleBitsOf(restored), 24);
        QCOMPARE(restored.channelsIndex, 1);
        QCOMPARE(restored.normalizeLufs, std::optional<double>(-18.5));
        QCOMPARE(restored.dither, false);
        QCOMPARE(other->status(), QStringLiteral("Output File: ") + chosen.outputFile);
        QCOMPARE(other->dialog.findChild<QLabel*>(QStringLiteral("outputFormat"))->text(),
                 QStringLiteral("Next mix: FLAC, 48000 Hz, mono, 24-bit, -18.5 LUFS"));
        QVERIFY(restored.outputFile != plainOutput);
        // Saved again unchanged, the bytes are the same.
        const QString again = dir_.filePath(QStringLiteral("outputs/again.csv"));
        other->desktop.fileToSave = {again};
        other->keys(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
        QCOMPARE(contentOf(again), saved);

        // sonarel-mix without -o writes the list's output, as the list says.
        const auto mix = [](const QStringList& arguments) {
            QProcess mixer;
            mixer.start(QStringLiteral(SONAREL_MIX_PATH), QStringList{QStringLiteral("-q")} + arguments);
            mixer.waitForFinished(60000);
            return mixer.exitCode();
        };
        QCOMPARE(mix({QStringLiteral("--csv"), list}), 0);
        QCOMPARE(probeStream(chosen.outputFile), QStringLiteral("flac,48000,1,24"));
        // -o and --rate override their parts; the list's channels and bits still hold.
        const QString overridden = dir_.filePath(QStringLiteral("outputs/overridden.wav"));
        QCOMPARE(mix({QStringLiteral("--csv"), list, QStringLiteral("-o"), overridden, QStringLiteral("--rate"),
                      QStringLiteral("22050")}),
                 0);
        sonarel::testing::WavData wav;
        check(overridden, wav);
        QCOMPARE(wav.sampleRate, 22050);
        QCOMPARE(wav.channels, 1);
        QCOMPARE(wav.bitsPerSample, 24);
        QCOMPARE(wav.frames(), std::int64_t{11025});
    }

    // Hand-edited output lines: the ones that make sense are taken, the others passed over, and
    // the entries open as always.
    void outputLinesThatMakeNoSenseArePassedOver()
    {
        const QString a = tone(QStringLiteral("edited/a.wav"));
        const QString list = dir_.filePath(QStringLiteral("edited/list.csv"));
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "#output.rate=96000\n#output.bits=12\n#output.normalize=loud\n#output.dither=on\n"
            "# a comment of its own\n#output.colour=blue\npath,start_seconds,volume,speed\na.wav,0,1,1\n");
        file.close();
        auto f = make();
        const QString output = f->dialog.outputSettings().outputFile;
        QVERIFY(f->dialog.listFile().openListFile(list));
        QCOMPARE(f->store().audioCount(), 1);
        const OutputSettings& taken = f->dialog.outputSettings();
        QCOMPARE(sampleRateOf(taken), 96000u);
        QCOMPARE(sampleBitsOf(taken), 16);
        QVERIFY(!taken.normalizeLufs);
        QVERIFY(taken.dither);
        QCOMPARE(taken.outputFile, output);
    }

    // A list from someone else only suggests where its mix goes: a name that is no output file is
    // refused on opening, no folder is made for a name the list gives, and the first Mix asks,
    // naming the full destination, before anything is written there; once only.
    void aListsOutputIsWrittenOnlyAfterTheUserAcceptsIt()
    {
        const QString show = dir_.filePath(QStringLiteral("Downloads/show"));
        tone(QStringLiteral("Downloads/show/a.wav"), 0.2);
        const auto writeList = [&](const QString& name, const QByteArray& outputFile) {
            QFile file(show + QLatin1Char('/') + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#output.file=" + outputFile + "\n#output.rate=8000\npath,start_seconds\na.wav,0\n");
        };
        auto f = make();
        const QString chosen = f->dialog.outputSettings().outputFile;

        writeList(QStringLiteral("keys.csv"), "../../.ssh/authorized_keys");
        QVERIFY(f->dialog.listFile().openListFile(show + QStringLiteral("/keys.csv")));
        QCOMPARE(f->desktop.texts(),
                 QStringList{QStringLiteral("keys.csv: the output line \"file=../../.ssh/authorized_keys\" is "
                                            "refused: the name must end in one of these extensions: wav, flac, "
                                            "opus, mp3, ogg, m4a.\n\nThe list opens without its output; the mix "
                                            "goes to %1 unless you choose another in Output Options.")
                                 .arg(chosen)});
        QCOMPARE(f->dialog.outputSettings().outputFile, chosen);
        QCOMPARE(sampleRateOf(f->dialog.outputSettings()), 8000u);  // the harmless lines still count

        // A folder the list names is not made, even once the user said Yes.
        writeList(QStringLiteral("away.csv"), "../new folder/mix.wav");
        f->desktop.messages.clear();
        QVERIFY(f->dialog.listFile().openListFile(show + QStringLiteral("/away.csv")));
        const QString away = dir_.filePath(QStringLiteral("Downloads/new folder/mix.wav"));
        QCOMPARE(f->dialog.outputSettings().outputFile, away);
        f->desktop.answers = {true};
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QVERIFY(!f->dialog.runControl().isMixing());
        QCOMPARE(f->desktop.texts(),
                 (QStringList{QStringLiteral("This list writes its mix to %1. Write it there?").arg(away),
                              QStringLiteral("The folder of the output file %1 does not exist. A folder is not made "
                                             "for an output that a list names. Nothing was mixed; please choose "
                                             "another output file.")
                                  .arg(away)}));
        QVERIFY(!QFileInfo::exists(QFileInfo(away).path()));

        // No writes nothing; Yes writes the list's output; the next Mix asks no more.
        writeList(QStringLiteral("here.csv"), "mix.wav");
        QVERIFY(f->dialog.listFile().openListFile(show + QStringLiteral("/here.csv")));
        const QString here = show + QStringLiteral("/mix.wav");
        f->desktop.messages.clear();
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QCOMPARE(f->desktop.texts(),
                 QStringList{QStringLiteral("This list writes its mix to %1. Write it there?").arg(here)});
        QVERIFY(!f->dialog.runControl().isMixing() && !QFileInfo::exists(here));
        f->desktop.answers = {true};
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!f->dialog.runControl().isMixing(), 60000);
        sonarel::testing::WavData wav;
        check(here, wav);
        QCOMPARE(wav.sampleRate, 8000);
        f->desktop.messages.clear();
        f->desktop.answers = {true};
        QTest::mouseClick(f->button(kIdMix), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!f->dialog.runControl().isMixing(), 60000);
        QCOMPARE(f->desktop.texts(), QStringList{here + QStringLiteral(" exists. Do you want to replace it?")});
    }

    // A list of hostile size is refused in one short message, and leaves the list as it was.
    void aHugeFieldIsRefusedInAShortMessage()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("stays.wav"))});
        const QString list = dir_.filePath(QStringLiteral("huge.csv"));
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("path,start_seconds\nstays.wav,1" + QByteArray(10'000'000, '5') + "\n");
        file.close();
        QVERIFY(!f->dialog.listFile().openListFile(list));
        QCOMPARE(f->desktop.texts(), QStringList{list + QStringLiteral(" could not be opened:\nline 2: a field is "
                                                                       "longer than 16 KiB.\n\nNothing was loaded.")});
        QCOMPARE(describe(f->store()), QStringLiteral("stays.wav@0"));
    }

    // A list from an old Mac spreadsheet: CR line endings, a Latin-1 name, a column of notes. It
    // opens with one warning naming the column, shows the name readably, and saves its bytes.
    void aListFromAnotherProgramOpensAsWritten()
    {
        const std::string folder = dir_.filePath(QStringLiteral("latin1")).toStdString();
        QVERIFY(QDir().mkpath(QString::fromStdString(folder)));
        const std::string media = folder + "/caf\xe9.wav";
        sonarel::testing::writeWav16(media, 1, 44100, sonarel::testing::sine16(1, 44100, 0.05, 440, 5000));
        const QString list = QString::fromStdString(folder + "/old.csv");
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("path,start_seconds,volume,speed,notes\rcaf\xe9.wav,0.5,1,1,the intro\r");
        file.close();

        auto f = make();
        QVERIFY(f->dialog.listFile().openListFile(list));
        QCOMPARE(f->desktop.texts(), QStringList{QStringLiteral("old.csv: the column \"notes\" is not one this "
                                                                "version knows; it is ignored.")});
        QCOMPARE(f->store().audioCount(), 1);
        QCOMPARE(f->store().at(0).filePath, media);
        QVERIFY(f->store().at(0).duration > 0);  // found, not missing
        QCOMPARE(f->list().item(0, 0)->text(), QStringLiteral("caf\\xe9.wav"));

        f->desktop.messages.clear();
        QVERIFY(f->dialog.listFile().saveList());
        QFile saved(list);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("path,start_seconds,volume,speed\ncaf\xe9.wav,0.5,1,1\n"));
        QVERIFY2(f->desktop.messages.empty(), qPrintable(f->desktop.texts().join(QLatin1Char('\n'))));

        // The same name given to the window's command line is added as those bytes too.
        const SonarelCommandLine given = parseSonarelCommandLine({pathFromBytes("caf\xe9.wav")},
                                                                 QString::fromStdString(folder));
        QCOMPARE(given.files.size(), 1);
        f->dialog.addFiles(given.files);
        QVERIFY2(f->desktop.messages.empty(), qPrintable(f->desktop.texts().join(QLatin1Char('\n'))));
        QCOMPARE(f->store().audioCount(), 2);
        QCOMPARE(f->store().at(1).filePath, media);
        QVERIFY(f->store().at(1).duration > 0);
        ::unlink(media.c_str());  // QTemporaryDir cannot remove a name that is not UTF-8
    }
};

QTEST_MAIN(ListFileWindowTest)
#include "ListFileWindowTest.moc"
