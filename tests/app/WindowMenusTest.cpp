// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's menu bar: every command in it does what its button, key or context-menu
// item does, the menus' access keys leave the Help button's alone, and the file dialogs that
// the commands open start where the person's files are.
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

#include "app/AboutDialog.h"
#include "app/ListFileCommands.h"
#include "app/arrangement/ArrangementWindow.h"
#include "settings/ui/AudioSettingsDialog.h"
#include "settings/ui/OutputOptionsDialog.h"
#include "support/MainWindowFixture.h"

using namespace sonarel;
using sonarel::testing::MainWindowFixture;
using sonarel::testing::WhenDialogOpens;

namespace {

QString withoutMnemonic(QString text)
{
    return text.remove(QLatin1Char('&'));
}

// The letter after the "&" of `text`, or none.
QChar mnemonicOf(const QString& text)
{
    const qsizetype at = text.indexOf(QLatin1Char('&'));
    return at >= 0 && at + 1 < text.size() ? text[at + 1].toLower() : QChar();
}

QMenu* menuOf(QWidget& window, const QString& title)
{
    auto* bar = window.findChild<QMenuBar*>();
    if (bar == nullptr)
        return nullptr;
    for (QAction* action : bar->actions()) {
        if (withoutMnemonic(action->text()) == title)
            return action->menu();
    }
    return nullptr;
}

// The item of menu `title` whose text (without "&") starts with `item`.
QAction* menuItem(QWidget& window, const QString& title, const QString& item)
{
    QMenu* menu = menuOf(window, title);
    if (menu == nullptr)
        return nullptr;
    Q_EMIT menu->aboutToShow();  // as when it opens: states and the recent lists brought up to date
    for (QAction* action : menu->actions()) {
        if (withoutMnemonic(action->text()).startsWith(item))
            return action;
    }
    return nullptr;
}

}  // namespace

class WindowMenusTest : public QObject {
    Q_OBJECT

private:
    sonarel::testing::MainWindowScratch scratch_;

    QAction* item(MainWindowFixture& f, const char* title, const char* text)
    {
        QAction* action = menuItem(f.dialog, QString::fromLatin1(title), QString::fromLatin1(text));
        if (action == nullptr)
            qWarning("No menu item %s > %s", title, text);
        return action;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(scratch_.setUp()); }

    void theMenusHoldEveryCommandWithItsKeys()
    {
        auto f = scratch_.makeWindow();
        const std::pair<const char*, QStringList> expected[] = {
            {"File",
             {"Add...", "New List", "Open List...", "Save List", "Save List As...", "Recent Lists", "Output Options...",
              "Tags...", "Mix", "Mix Stems...", "Export Chapters...", "Exit"}},
            {"Edit",
             {"Undo", "Redo", "Select All", "Delete", "Delete All", "Audio Settings...", "Place One After Another...",
              "Mute", "Duck Others Under This", "Ducking...", "Match Loudness...", "Trim Silence"}},
            {"View", {"Timeline"}},
            {"Listen", {"Play", "Solo"}},
            {"Help", {"Manual", "Homepage", "About Sonarel"}},
        };
        QList<QChar> accessKeys;
        auto* bar = f->dialog.findChild<QMenuBar*>();
        QVERIFY(bar);
        QCOMPARE(bar->actions().size(), qsizetype{5});
        for (const auto& [title, items] : expected) {
            QMenu* menu = menuOf(f->dialog, QString::fromLatin1(title));
            QVERIFY2(menu, title);
            accessKeys << mnemonicOf(menu->menuAction()->text());
            QStringList shown;
            QList<QChar> itemKeys;
            for (QAction* action : menu->actions()) {
                if (action->isSeparator())
                    continue;
                shown << withoutMnemonic(action->text());
                itemKeys << mnemonicOf(action->text());
            }
            QCOMPARE(shown, items);
            // Within a menu every item has its own access key.
            QCOMPARE(QSet<QChar>(itemKeys.begin(), itemKeys.end()).size(), itemKeys.size());
            QVERIFY(!itemKeys.contains(QChar()));
        }
        // The Help button keeps Alt+H: no menu takes it, and no two menus share a key.
        accessKeys << mnemonicOf(f->button(kIdHelp)->text());
        QCOMPARE(QSet<QChar>(accessKeys.begin(), accessKeys.end()).size(), accessKeys.size());

        // The menu shows the keys of its commands.
        for (const char* text : {"Add...", "Open List...", "Save List", "Mix", "Mix Stems...", "Exit"})
            QVERIFY2(!item(*f, "File", text)->shortcut().isEmpty(), text);
    }

    void fileCommandsDoWhatTheirButtonsAndKeysDo()
    {
        auto f = scratch_.makeWindow();
        f->dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&f->dialog));
        const QString a = scratch_.tone(QStringLiteral("a.wav"), 0.1);
        const QString b = scratch_.tone(QStringLiteral("b.wav"), 0.1);

        // Add: the button, the menu and Ctrl+I ask with the same dialog and add what was chosen.
        f->desktop.filesToOpen = {{a}, {b}, {a}};
        QTest::mouseClick(f->button(kIdAdd), Qt::LeftButton);
        item(*f, "File", "Add...")->trigger();
        QTest::keyClick(&f->dialog, Qt::Key_I, Qt::ControlModifier);
        QCOMPARE(f->rows(), 3);
        QCOMPARE(f->cell(1, 0), QStringLiteral("b.wav"));
        QCOMPARE(f->desktop.dialogRequests.size(), size_t{3});
        QCOMPARE(f->desktop.dialogRequests[1].title, f->desktop.dialogRequests[0].title);
        QCOMPARE(f->desktop.dialogRequests[2].filters.size(), f->desktop.dialogRequests[0].filters.size());

        // Mix: the menu item starts the same run as the button; while it runs it reads "Stop Mix".
        QAction* mix = item(*f, "File", "Mix");
        mix->trigger();
        QCOMPARE(f->button(kIdMix)->text(), QStringLiteral("Stop"));
        QCOMPARE(withoutMnemonic(mix->text()), QStringLiteral("Stop Mix"));
        QTRY_COMPARE_WITH_TIMEOUT(f->button(kIdMix)->text(), QStringLiteral("Mix"), 20000);
        QCOMPARE(withoutMnemonic(mix->text()), QStringLiteral("Mix"));
        QVERIFY(QFileInfo(f->dialog.outputSettings().outputFile).size() > 44);

        // Mix Stems (Ctrl+Shift+R): a folder is asked for, offered from the output's; a cancel mixes
        // nothing; a folder chosen is made and gets the stems beside the mix, which is asked about.
        const QString stems = scratch_.path(QStringLiteral("stems/new"));
        f->desktop.folders = {QString(), stems};
        f->desktop.answers = {true};  // replace the mix made above
        QTest::keyClick(&f->dialog, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f->button(kIdMix)->text(), QStringLiteral("Mix"));
        QCOMPARE(f->desktop.dialogRequests.back().initialFolder,
                 QFileInfo(f->dialog.outputSettings().outputFile).absolutePath());
        item(*f, "File", "Mix Stems...")->trigger();
        QCOMPARE(f->button(kIdMix)->text(), QStringLiteral("Stop"));
        QVERIFY(!item(*f, "File", "Mix Stems...")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(f->button(kIdMix)->text(), QStringLiteral("Mix"), 20000);
        QVERIFY(item(*f, "File", "Mix Stems...")->isEnabled());
        QCOMPARE(QFileInfo(stems + QStringLiteral("/ungrouped.wav")).size(),
                 QFileInfo(f->dialog.outputSettings().outputFile).size());

        // Output Options: the button's dialog.
        WhenDialogOpens<OutputOptionsDialog> options([](OutputOptionsDialog& d) { d.reject(); });
        item(*f, "File", "Output Options...")->trigger();
        QVERIFY(options.ran());

        // Save List, then the list is among the recent ones, which open it again.
        const QString listPath = scratch_.path(QStringLiteral("menus.csv"));
        f->desktop.fileToSave.push_back(listPath);
        item(*f, "File", "Save List")->trigger();
        QVERIFY(QFileInfo::exists(listPath));
        QVERIFY(!f->dialog.windowTitle().startsWith(QLatin1Char('*')));
        QAction* recent = item(*f, "File", "Recent Lists");
        QVERIFY(recent && recent->menu() && recent->isEnabled());
        QCOMPARE(recent->menu()->actions().size(), qsizetype{1});
        QCOMPARE(recent->menu()->actions()[0]->toolTip(), listPath);
        item(*f, "Edit", "Delete All")->trigger();
        QCOMPARE(f->rows(), 0);
        recent->menu()->actions()[0]->trigger();
        QCOMPARE(f->rows(), 3);

        // Exit: the close box's checks, then the window closes.
        item(*f, "File", "Exit")->trigger();
        QVERIFY(!f->dialog.isVisible());
    }

    // File > Export Chapters... writes the file chosen, of the kind its extension names, beside the
    // mix it names; without a chapter, or with a name of no known kind, nothing is asked or written.
    void exportChaptersWritesTheChosenFile()
    {
        auto f = scratch_.makeWindow();
        f->dialog.addFiles({scratch_.tone(QStringLiteral("talk.wav"), 1.0),
                            scratch_.tone(QStringLiteral("bed.wav"), 1.0)});
        QAction* exportChapters = item(*f, "File", "Export Chapters...");
        QVERIFY(exportChapters);
        exportChapters->trigger();
        QCOMPARE(f->desktop.dialogRequests.size(), size_t{0});
        QCOMPARE(f->desktop.messages.size(), size_t{1});
        QVERIFY(f->desktop.messages[0].text.startsWith(QStringLiteral("No entry starts a chapter.")));

        f->dialog.store().at(0).chapter = "Talk, part 1";
        f->dialog.store().at(1).chapter = "Bed";
        f->dialog.store().at(1).startTime = 5'000'000;  // 0.5 s
        const QString vtt = scratch_.path(QStringLiteral("chapters.vtt"));
        f->desktop.fileToSave = {scratch_.path(QStringLiteral("chapters.srt")), vtt};
        exportChapters->trigger();
        QCOMPARE(f->desktop.messages.size(), size_t{2});
        QVERIFY2(f->desktop.messages[1].text.contains(QStringLiteral("use .cue, .txt, .vtt or .json")),
                 qPrintable(f->desktop.messages[1].text));
        QVERIFY(!QFileInfo::exists(scratch_.path(QStringLiteral("chapters.srt"))));
        exportChapters->trigger();
        QCOMPARE(f->desktop.messages.size(), size_t{2});
        QCOMPARE(f->desktop.dialogRequests.back().title, QStringLiteral("Export Chapters"));
        QCOMPARE(f->desktop.dialogRequests.back().initialFile,
                 QFileInfo(f->dialog.outputSettings().outputFile).completeBaseName() + QStringLiteral(".cue"));
        QFile written(vtt);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("WEBVTT\n\n00:00:00.000 --> 00:00:00.500\nTalk, part 1\n\n"
                                               "00:00:00.500 --> 00:00:01.500\nBed\n"));
    }

    void editCommandsDoWhatTheListsKeysAndButtonsDo()
    {
        auto f = scratch_.makeWindow();
        f->dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&f->dialog));
        const QString a = scratch_.tone(QStringLiteral("a.wav"), 0.1);
        f->dialog.addFiles({a, a, a, a});
        MixListView& list = f->list();
        list.clearSelection();

        // Without a selection Delete and Audio Settings answer as the buttons do.
        item(*f, "Edit", "Delete")->trigger();
        QTest::mouseClick(f->button(kIdDeleteSelected), Qt::LeftButton);
        item(*f, "Edit", "Audio Settings...")->trigger();
        QTest::mouseClick(f->button(kIdProperties), Qt::LeftButton);
        QCOMPARE(f->desktop.texts(),
                 (QStringList{QStringLiteral("Please select an audio item!"),
                              QStringLiteral("Please select an audio item!"), QStringLiteral("Please select an item!"),
                              QStringLiteral("Please select an item!")}));

        item(*f, "Edit", "Select All")->trigger();
        QCOMPARE(list.selectionModel()->selectedRows().size(), qsizetype{4});
        item(*f, "Edit", "Mute")->trigger();
        for (int row = 0; row < 4; ++row)
            QVERIFY(f->cell(row, 0).endsWith(QStringLiteral("(muted)")));
        QAction* mute = item(*f, "Edit", "Mute");
        QVERIFY(mute->isChecked());  // every selected entry is muted
        item(*f, "Edit", "Undo")->trigger();
        QCOMPARE(f->cell(0, 0), QStringLiteral("a.wav"));
        item(*f, "Edit", "Redo")->trigger();
        QVERIFY(f->cell(0, 0).endsWith(QStringLiteral("(muted)")));

        // Delete: the selected rows, as the Delete key in the list does.
        list.clearSelection();
        list.selectRow(1);
        item(*f, "Edit", "Delete")->trigger();
        QCOMPARE(f->rows(), 3);
        list.setFocus();
        list.selectRow(0);
        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE(f->rows(), 2);

        // Audio Settings: the dialog of the first selected entry, as Enter in the list opens it.
        list.selectRow(1);
        WhenDialogOpens<AudioSettingsDialog> settings([](AudioSettingsDialog& d) { d.reject(); });
        item(*f, "Edit", "Audio Settings...")->trigger();
        QVERIFY(settings.ran());

        item(*f, "Edit", "Delete All")->trigger();
        QCOMPARE(f->rows(), 0);
        QVERIFY(!item(*f, "Listen", "Solo")->isEnabled());  // nothing selected
    }

    void viewListenAndHelpCommandsAreTheWindowsOwn()
    {
        auto f = scratch_.makeWindow();
        f->dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&f->dialog));

        item(*f, "View", "Timeline")->trigger();
        QVERIFY(f->dialog.arrangementWindow() && f->dialog.arrangementWindow()->isVisible());
        f->dialog.arrangementWindow()->close();

        // Play is the very action Space triggers in the list.
        QVERIFY(f->list().actions().contains(item(*f, "Listen", "Play")));

        // Manual and Homepage do what the Help and Homepage buttons do.
        QTest::mouseClick(f->button(kIdHomepage), Qt::LeftButton);
        item(*f, "Help", "Homepage")->trigger();
        QCOMPARE(f->desktop.openedDocuments.size(), size_t{2});
        QCOMPARE(f->desktop.openedDocuments[1], f->desktop.openedDocuments[0]);
        f->desktop.openedDocuments.clear();
        QTest::mouseClick(f->button(kIdHelp), Qt::LeftButton);
        item(*f, "Help", "Manual")->trigger();
        QTest::keyClick(&f->dialog, Qt::Key_F1);
        if (f->desktop.openedDocuments.empty()) {
            QCOMPARE(f->desktop.messages.size(), size_t{3});
            QCOMPARE(f->desktop.messages[2].text, f->desktop.messages[0].text);
        } else {
            QCOMPARE(f->desktop.openedDocuments.size(), size_t{3});
            QCOMPARE(f->desktop.openedDocuments[2], f->desktop.openedDocuments[0]);
        }

        WhenDialogOpens<AboutDialog> about([](AboutDialog& d) { d.accept(); });
        item(*f, "Help", "About Sonarel")->trigger();
        QVERIFY(about.ran());
    }

    void fileDialogsStartWhereTheFilesAre()
    {
        auto f = scratch_.makeWindow();
        QDir(scratch_.dir.path()).mkpath(QStringLiteral("takes"));
        const QString take = scratch_.tone(QStringLiteral("takes/take1.wav"), 0.1);

        // A new list is saved beside its first entry.
        f->dialog.addFiles({take});
        item(*f, "File", "Save List As...")->trigger();
        QCOMPARE(f->desktop.dialogRequests.back().initialFolder, scratch_.path(QStringLiteral("takes")));
        QCOMPARE(f->desktop.dialogRequests.back().initialFile, QStringLiteral("mix list.csv"));

        // A saved one beside itself, under its own name.
        QDir(scratch_.dir.path()).mkpath(QStringLiteral("lists"));
        f->desktop.fileToSave.push_back(scratch_.path(QStringLiteral("lists/evening.csv")));
        item(*f, "File", "Save List")->trigger();
        item(*f, "File", "Save List As...")->trigger();
        QCOMPARE(f->desktop.dialogRequests.back().initialFolder, scratch_.path(QStringLiteral("lists")));
        QCOMPARE(f->desktop.dialogRequests.back().initialFile, QStringLiteral("evening.csv"));

        // Browse in the output options: the output file's folder, with its name.
        OutputSettings settings = f->dialog.outputSettings();
        settings.outputFile = scratch_.path(QStringLiteral("takes/final mix.wav"));
        f->dialog.setOutputSettings(settings);
        WhenDialogOpens<OutputOptionsDialog> options([](OutputOptionsDialog& d) {
            d.findChild<QPushButton*>(objectNameOf(kIdBrowse))->click();
        });
        item(*f, "File", "Output Options...")->trigger();
        QVERIFY(options.ran());
        QCOMPARE(f->desktop.dialogRequests.back().initialFolder, scratch_.path(QStringLiteral("takes")));
        QCOMPARE(f->desktop.dialogRequests.back().initialFile, QStringLiteral("final mix.wav"));
    }
};

QTEST_MAIN(WindowMenusTest)
#include "WindowMenusTest.moc"
