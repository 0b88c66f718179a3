// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's menu bar: every command of the window in one place, with its shortcut shown,
// so nothing has to be found by a right click. The actions belong to the window (the same ones
// its buttons, keys and context menu use); the bar only arranges them.
#pragma once

#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QString>
#include <functional>

class QAction;
class QMenuBar;
class QWidget;

namespace sonarel {

class ListFileCommands;

struct MainMenuCommands {
    // File
    QAction* add = nullptr;
    QAction* options = nullptr;
    QAction* tags = nullptr;
    QAction* mix = nullptr;
    QAction* mixStems = nullptr;
    QAction* exportChapters = nullptr;
    QAction* exit = nullptr;
    // Edit
    QAction* selectAll = nullptr;
    QAction* deleteSelected = nullptr;
    QAction* deleteAll = nullptr;
    QAction* audioSettings = nullptr;
    QAction* placeInSequence = nullptr;
    QAction* mute = nullptr;
    QAction* duck = nullptr;
    QAction* ducking = nullptr;
    QList<QAction*> levels;  // Match Loudness..., Trim Silence
    // View
    QAction* timeline = nullptr;
    // Listen
    QAction* play = nullptr;
    QAction* solo = nullptr;
    // Help
    QAction* manual = nullptr;
    QAction* homepage = nullptr;
    QAction* about = nullptr;
};

// An action of `owner` with its text and keys.
inline QAction* makeAction(QObject* owner, const QString& text, const QList<QKeySequence>& keys = {})
{
    auto* action = new QAction(text, owner);
    action->setShortcuts(keys);
    return action;
}

// File, Edit, View, Listen and Help; the list file commands (open, save, recent lists, undo and
// redo) come from `lists`. The menus' access keys (Alt+F, E, V, L, P) leave Alt+H to the Help
// button. `beforeShowing` runs before any menu opens, to bring the commands' states up to date.
QMenuBar* makeMainMenuBar(const MainMenuCommands& commands, ListFileCommands& lists, QWidget* parent,
                          const std::function<void()>& beforeShowing);

}  // namespace sonarel
