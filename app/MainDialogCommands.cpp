// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's commands as actions: the menu bar, the playback commands, the states the
// menus show and the window's right-click menu.
#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>

#include "app/ChapterCommands.h"
#include "app/EntryCommands.h"
#include "app/InfoCommands.h"
#include "app/LevelCommands.h"
#include "app/ListCommands.h"
#include "app/ListFileCommands.h"
#include "app/MainDialog.h"
#include "app/MainMenuBar.h"
#include "app/MixListView.h"
#include "app/PlaybackCommands.h"
#include "controls/CornerLayout.h"
#include "model/MixListModel.h"
#include "render/MixRunControl.h"

namespace sonarel {

void MainDialog::createPlaybackCommands()
{
    playback_ = new WindowPlayback(store_, settings_, *runControl_, desktop_, createDeviceOutput(), this);
    playAction_ = new QAction(QStringLiteral("&Play"), this);
    playAction_->setShortcut(QKeySequence(Qt::Key_Space));
    // Only in the list: Space keeps pressing the focused button everywhere else.
    playAction_->setShortcutContext(Qt::WidgetShortcut);
    list_->addAction(playAction_);
    connect(playAction_, &QAction::triggered, playback_, &WindowPlayback::playCommand);
    soloAction_ = new QAction(QStringLiteral("&Solo"), this);
    connect(soloAction_, &QAction::triggered, this,
            [this] { playback_->soloCommand(selectedEntries(store_, list_->selectionCursor())); });
    connect(playback_, &WindowPlayback::statusChanged, this, [this](const QString& text) {
        setStatusText(text.isEmpty() ? outputFileText(settings_.outputFile) : text);
    });
}

void MainDialog::createMenuBar()
{
    // Each command is one action: its menu item, its key and its button all reach the same code.
    MainMenuCommands commands;
    commands.add = makeAction(this, QStringLiteral("&Add..."),
                              {QKeySequence(Qt::CTRL | Qt::Key_I), QKeySequence(Qt::Key_Insert)});
    connect(commands.add, &QAction::triggered, this, &MainDialog::addCommand);
    commands.options = makeAction(this, QStringLiteral("Output O&ptions..."));
    connect(commands.options, &QAction::triggered, this, &MainDialog::optionsCommand);
    mixAction_ = commands.mix = makeAction(this, QStringLiteral("&Mix"), {QKeySequence(Qt::CTRL | Qt::Key_R)});
    connect(commands.mix, &QAction::triggered, this, &MainDialog::mixCommand);
    mixStemsAction_ = commands.mixStems = makeAction(this, QStringLiteral("Mix St&ems..."),
                                                     {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)});
    connect(commands.mixStems, &QAction::triggered, this, &MainDialog::mixStemsCommand);
    commands.exportChapters = makeAction(this, QStringLiteral("Export C&hapters..."));
    connect(commands.exportChapters, &QAction::triggered, this,
            [this] { exportChaptersCommand(store_, settings_, desktop_); });
    commands.exit = makeAction(this, QStringLiteral("E&xit"), {QKeySequence(Qt::CTRL | Qt::Key_Q)});
    connect(commands.exit, &QAction::triggered, this, &QWidget::close);

    // The list's own keys (Ctrl+A, Delete, Enter) reach these commands; the menu only shows them.
    auto listKey = [this](const QString& text, const QList<QKeySequence>& keys) {
        QAction* action = makeAction(this, text, keys);
        action->setShortcutContext(Qt::WidgetShortcut);
        return action;
    };
    commands.selectAll = listKey(QStringLiteral("Select &All"), {QKeySequence::SelectAll});
    connect(commands.selectAll, &QAction::triggered, list_, &QAbstractItemView::selectAll);
    commands.deleteSelected = listKey(QStringLiteral("&Delete"), {QKeySequence(Qt::Key_Delete)});
    connect(commands.deleteSelected, &QAction::triggered, this,
            [this] { deleteSelectedCommand(*listModel_, *list_, desktop_); });
    commands.deleteAll = makeAction(this, QStringLiteral("Delete A&ll"));
    connect(commands.deleteAll, &QAction::triggered, this, [this] { deleteAllCommand(*listModel_); });
    commands.audioSettings = listKey(QStringLiteral("Audio &Settings..."), {QKeySequence(Qt::Key_Return)});
    connect(commands.audioSettings, &QAction::triggered, this, &MainDialog::propertiesCommand);
    commands.mute = muteAction_;
    commands.duck = duckAction_;
    commands.ducking = duckingAction_;
    commands.tags = tagsAction_;
    commands.placeInSequence = sequenceAction_;
    commands.levels = {levels_->matchLoudnessAction(), levels_->trimSilenceAction()};

    commands.timeline = timelineAction_;
    commands.play = playAction_;
    commands.solo = soloAction_;

    commands.manual = makeAction(this, QStringLiteral("&Manual"), {QKeySequence(Qt::Key_F1)});
    connect(commands.manual, &QAction::triggered, this, [this] { helpCommand(desktop_); });
    commands.homepage = makeAction(this, QStringLiteral("&Homepage"));
    connect(commands.homepage, &QAction::triggered, this, [this] { homepageCommand(desktop_); });
    aboutAction_ = commands.about = makeAction(this, QStringLiteral("&About Sonarel"));
    connect(commands.about, &QAction::triggered, this, [this] { aboutCommand(desktop_, this); });

    // The window's own keys; those that belong to the list are the list's.
    addActions({commands.add, commands.options, commands.mix, commands.mixStems, commands.exit, commands.manual});
    QMenuBar* bar = makeMainMenuBar(commands, *listFile_, this, [this] { updateCommandStates(); });
    layout_->setMenuBar(bar);
}

void MainDialog::updateCommandStates()
{
    const std::vector<int> selected = selectedEntries(store_, list_->selectionCursor());
    // Checked when every selected entry is muted: choosing it then unmutes them.
    muteAction_->setChecked(allMuted(store_, selected));
    duckAction_->setChecked(allDuck(store_, selected));
    playAction_->setText(playback_->isPlaying() && !playback_->isPaused() ? QStringLiteral("&Pause")
                                                                          : QStringLiteral("&Play"));
    soloAction_->setEnabled(!runControl_->isMixing() && !selected.empty());
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    listFile_->addToMenu(menu);
    updateCommandStates();
    menu.addAction(muteAction_);
    menu.addAction(duckAction_);
    menu.addAction(playAction_);
    menu.addAction(soloAction_);
    menu.addAction(sequenceAction_);
    menu.addAction(levels_->matchLoudnessAction());
    menu.addAction(timelineAction_);
    menu.addAction(aboutAction_);
    menu.exec(event->globalPos());
}

}  // namespace sonarel
