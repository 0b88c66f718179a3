// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: the mix list, the command buttons and the status line. It owns the mix list,
// the output settings and the run control, lays its controls out from dialog units, and routes
// each command to its own function; it holds no command logic itself.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QTimer>
#include <memory>

#include "controls/CornerLayout.h"
#include "model/MixItem.h"
#include "model/SequencePlacing.h"
#include "render/MixRunControl.h"
#include "settings/OutputSettings.h"

class QAction;
class QLabel;
class QProgressBar;

namespace sonarel {

class Desktop;
class ImageButton;
class LevelCommands;
class ListFileCommands;
class MixListModel;
class MixListView;
class ProfileStore;
class ArrangementWindow;
class WindowPlayback;

class MainDialog : public QDialog, private MixRunView {
    Q_OBJECT

public:
    // `musicFolder` is where the default output goes; empty when the platform has none.
    MainDialog(Desktop& desktop, ProfileStore& profile, media::MediaLibrary& library, const QString& musicFolder,
               QWidget* parent = nullptr);
    ~MainDialog() override;

    // Whether the start-up got past the engine's initialisation.
    bool isReady() const { return ready_; }
    const MixItemStore& store() const { return store_; }
    // The store itself, for tests that set it up directly (then MixListView::refresh announces it);
    // the window's commands change it through listModel().
    MixItemStore& store() { return store_; }
    MixListModel& listModel() { return *listModel_; }
    const OutputSettings& outputSettings() const { return settings_; }
    void setOutputSettings(const OutputSettings& settings);
    MixRunControl& runControl() { return *runControl_; }
    MixListView& mixList() { return *list_; }
    ListFileCommands& listFile() { return *listFile_; }
    LevelCommands& levelCommands() { return *levels_; }
    ArrangementWindow* arrangementWindow() const { return arrangement_; }  // none until first opened
    WindowPlayback& playback() { return *playback_; }

    // Adds files as the Add command does after its dialog (also used for drops).
    void addFiles(const QStringList& paths);
    // Opens the audio settings of entry `index`; after OK the entry and its row change.
    void editEntry(int index);
    // The same on several entries at once (one is editEntry); after OK they change as one step.
    void editEntries(const std::vector<int>& rows);

public Q_SLOTS:
    void addCommand();
    void mixCommand();
    // File > Mix Stems...: asks for a folder, then mixes as Mix does with one file per group there.
    void mixStemsCommand();
    void optionsCommand();
    void arrangementCommand();  // opens the arrangement window, "Timeline" (Ctrl+T)
    // Gives the selected entries start times one after another, with the gap the person asks for.
    void placeOneAfterAnother();
    // Edit > Ducking...: the list's depth, attack and release, as one undo step.
    void duckingCommand();
    // File > Tags...: the tags and cover of the mix's file, as one undo step.
    void tagsCommand();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Esc: the same checks as the close box
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // MixRunView
    void mixStarted() override;                     // the Mix button reads "Stop"; the timers run
    void mixFinished(MixOutcome outcome) override;  // the timers stop; the button reads "Mix"
    void setStatusText(const QString& text) override;
    void postGraphNotice() override;

    void createControls();
    // The steps of createControls, in reading order; each returns its buttons in tab order.
    QList<QWidget*> createCommandRow();
    void createMixList();
    QList<QWidget*> createListButtons();
    QList<QWidget*> createInfoButtons();  // Homepage and About
    void createProgressAndStatus();
    // Under the status line: the next mix's format, and the last mix's loudness.
    void createOutputLines();
    void showOutputFile();  // the status line's "Output File: ..." and the format beside it
    void linkListOutput();  // a saved list keeps the output; opening one restores it
    // The loudness line describes the mix of this list: it clears when another list is opened or
    // the list is emptied.
    void followListForLoudness();
    void propertiesCommand();  // the properties button, Enter and right-click in the list
    // Play/Pause (Space in the list) and Solo, in the context menu; the status line follows.
    void createPlaybackCommands();
    // The menu bar over the drawn layout: the actions of every command, shared with buttons and keys.
    void createMenuBar();
    // Before a menu opens: Mute's check, Play or Pause, Solo only with a selection.
    void updateCommandStates();
    // Size and place, from and to the profile; the drawn size at first.
    void restoreWindowPlace();
    void saveWindowPlace();
    // After Add: the rows from `firstNew` on into view.
    void showRowsFrom(int firstNew);
    // Puts `widget` at its place in dialog units, following the given edges of the window.
    void place(QWidget* widget, int left, int top, int width, int height, CornerLayout::Edges edges);
    ImageButton* makeButton(int id, const char* caption, int left, int top, int width, int height,
                            CornerLayout::Edges edges = CornerLayout::Left | CornerLayout::Top);
    void setUpButton(ImageButton& button, int iconId, const char* tooltip);
    void startUp(const QString& musicFolder);
    void updateProgress();
    // False, after saying why `whatFails`, when the media engine did not start.
    bool engineReady(const QString& whatFails);

    Desktop& desktop_;
    ProfileStore& profile_;
    media::MediaLibrary& library_;
    MixItemStore store_;
    MixListModel* listModel_ = nullptr;  // a child: the store as the list, its views and its history see it
    OutputSettings settings_;
    std::unique_ptr<MixRunControl> runControl_;
    QPixmap background_;
    CornerLayout* layout_ = nullptr;
    QTimer secondTimer_;
    QTimer progressTimer_;
    MixListView* list_ = nullptr;
    ListFileCommands* listFile_ = nullptr;  // a child: open, save, undo
    QLabel* status_ = nullptr;
    QLabel* outputFormat_ = nullptr;
    QLabel* loudness_ = nullptr;
    QProgressBar* progress_ = nullptr;
    ImageButton* mixButton_ = nullptr;
    ArrangementWindow* arrangement_ = nullptr;
    QAction* muteAction_ = nullptr;       // Ctrl+M and the context menu's Mute
    QAction* duckAction_ = nullptr;       // Ctrl+D and the context menu's "Duck Others Under This"
    QAction* duckingAction_ = nullptr;    // Edit > Ducking...
    QAction* tagsAction_ = nullptr;       // File > Tags...
    QAction* sequenceAction_ = nullptr;   // Ctrl+J and the context menu's "Place One After Another..."
    SequenceJoin sequenceJoin_;           // the gap and crossfade last asked for, offered again
    LevelCommands* levels_ = nullptr;     // a child: Match Loudness... and Trim Silence
    WindowPlayback* playback_ = nullptr;  // a child
    QAction* playAction_ = nullptr;       // Space in the list and the context menu's Play/Pause
    QAction* soloAction_ = nullptr;
    QAction* mixAction_ = nullptr;       // "Mix", or "Stop Mix" while one runs
    QAction* mixStemsAction_ = nullptr;  // off while a mix runs
    QString stemsFolder_;                // the last one chosen, offered again
    QAction* timelineAction_ = nullptr;  // Ctrl+T, the View menu and the context menu
    QAction* aboutAction_ = nullptr;
    bool ready_ = false;
};

}  // namespace sonarel
