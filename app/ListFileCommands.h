// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping work: the window's commands for list files (open, save, save as, recent lists), the
// unsaved mark in the title, the "save changes?" question before the list is lost, and undo and
// redo of every change to the list.
//
// Commands change the list through its model; after every change (one per command, see
// MixListModel::listEdited) the history compares the store with what it saw last and records a
// step when they differ. So no command needs to know about undo. All on the UI thread.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/ListHistory.h"
#include "platform/FileChecks.h"
#include "settings/OutputSettings.h"

class QAction;
class QMenu;
class QWidget;

namespace sonarel {

class Desktop;
class MixItemStore;
class MixListModel;
class ProfileStore;
namespace media {
class MediaLibrary;
}

class ListFileCommands : public QObject {
    Q_OBJECT

public:
    static constexpr int kMaxRecentLists = 5;

    // `window` gets the commands' shortcuts and shows the list's name in its title.
    ListFileCommands(MixListModel& list, Desktop& desktop, ProfileStore& profile, media::MediaLibrary& library,
                     QWidget& window);
    ~ListFileCommands() override;

    void newList();                          // Ctrl+N: an empty, untitled list; asks to save changes first
    void openList();                         // Ctrl+O: choose a file, then openListFile
    bool openListFile(const QString& path);  // asks to save unsaved changes first
    bool saveList();                         // Ctrl+S; "save as" for a list never saved
    bool saveListAs();                       // Ctrl+Shift+S
    void undo();                             // Ctrl+Z
    void redo();                             // Ctrl+Shift+Z
    // Saving over a file that another program changed since it was read or written here asks
    // first: reload it, overwrite it, or cancel; an empty list over one with entries asks too.

    // The close request, after the mix's own checks: true when the window may close.
    bool closeRequested();

    // Opens the first list file (*.csv) among command-line arguments; returns the others.
    QStringList openListArguments(const QStringList& arguments);

    // The window's output: read when a list is saved, set when an opened list names one. A list
    // gets "#output." lines when it was opened with them or when the window's format differs from
    // a new list's (WAV, 44100 Hz, stereo, 16 bits, no normalizing or dither); otherwise it is
    // written byte for byte as before. The output when it is linked is the list's as it stands.
    void linkOutput(std::function<OutputSettings()> current, std::function<void(const OutputSettings&)> restore);
    // The window's output changed (Output Options). When the list keeps its output (the lines a
    // save would write differ), that is a change of the list: marked unsaved, and undone with the rest.
    void outputChanged();

    // The list commands for the window's context menu.
    void addToMenu(QMenu& menu);
    // The same commands one by one, for the menu bar: New, Open, Save and Save As; Undo; Redo.
    const QList<QAction*>& fileActions() const { return fileActions_; }
    QAction* undoAction() const { return undoAction_; }
    QAction* redoAction() const { return redoAction_; }
    // Empties `menu` and fills it with the recent lists, newest first; disabled when there are none.
    void fillRecentMenu(QMenu& menu);

    QStringList recentLists() const;
    const ListHistory& history() const { return history_; }
    // Whether closing or opening would lose something: changes since the last save, unless the
    // list was never saved and is empty.
    bool hasUnsavedWork() const;

Q_SIGNALS:
    // A list file was opened into the store; MixListModel::listEdited follows.
    void listOpened();

private:
    void noteListChanged();
    void updateTitle();
    void writeRecent(const QStringList& lists);
    void rememberRecent(const QString& path);
    void forgetRecent(const QString& path);
    bool confirmLosingChanges(const QString& question);
    bool readListFile(const QString& path, bool askToSaveFirst);
    bool writeTo(const QString& path);
    // Whether `path` may be written with the list: asks when another program changed it since
    // it was read or written here (a reload answers no) and when an empty list would replace entries.
    bool confirmWriting(const QString& path);
    void rememberVersion(const QString& path);
    // Where Save As starts: the list's folder; for a new list its first entry's, else the last list's.
    QString folderToSaveIn() const;
    bool loadEntries(const std::vector<MixItem>& entries, const DuckSettings& ducking, const ListTags& tags,
                     const QString& path);
    // The list's output by the history's state: what an undo or redo brings back.
    struct ListOutput {
        OutputSettings settings;
        bool kept = false;  // the list has output lines
    };
    ListOutput currentListOutput() const;
    static ListOutputLines keptLines(const ListOutput& output);
    void rememberOutput();
    void restoreOutputOfState();
    // After opening: names the files that are missing and offers to look for them in a folder.
    void relinkMissing(const QString& listPath);
    std::vector<std::string> missingFiles() const;  // each once, in list order
    QString askFolderToSearch(const std::vector<std::string>& missing, const QString& listPath);
    std::vector<std::string> searchFolder(const std::vector<std::string>& missing, const QString& folder);
    // Points the entries of each found file at its new place, as one change of the list; returns
    // the files still missing.
    QStringList relinkFound(const std::vector<std::string>& missing, const std::vector<std::string>& found);

    MixListModel& list_;
    const MixItemStore& store_;
    Desktop& desktop_;
    ProfileStore& profile_;
    media::MediaLibrary& library_;
    QWidget& window_;
    ListHistory history_;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    QList<QAction*> fileActions_;
    std::function<OutputSettings()> currentOutput_;
    std::function<void(const OutputSettings&)> restoreOutput_;
    bool listHasOutput_ = false;  // the open list came with output lines
    std::map<int, ListOutput> outputs_;
    // Each list file as this window last read or wrote it.
    std::map<QString, FileVersion> versions_;
};

}  // namespace sonarel
