// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainMenuBar.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/ListFileCommands.h"

namespace sonarel {

QMenuBar* makeMainMenuBar(const MainMenuCommands& commands, ListFileCommands& lists, QWidget* parent,
                          const std::function<void()>& beforeShowing)
{
    auto* bar = new QMenuBar(parent);
    bar->setObjectName(QStringLiteral("menuBar"));
    // Inside the window on every desktop: the described layout is drawn below it.
    bar->setNativeMenuBar(false);
    auto addMenu = [&](const QString& title) {
        QMenu* menu = bar->addMenu(title);
        QObject::connect(menu, &QMenu::aboutToShow, menu, beforeShowing);
        return menu;
    };

    QMenu* file = addMenu(QStringLiteral("&File"));
    file->addAction(commands.add);
    file->addSeparator();
    const QList<QAction*> listActions = lists.fileActions();
    file->addActions(listActions);
    QMenu* recent = file->addMenu(QStringLiteral("Recen&t Lists"));
    recent->setToolTipsVisible(true);
    // Filled as File opens, so it names the lists of the profile as they are now.
    lists.fillRecentMenu(*recent);
    QObject::connect(file, &QMenu::aboutToShow, recent, [&lists, recent] { lists.fillRecentMenu(*recent); });
    file->addSeparator();
    file->addAction(commands.options);
    if (commands.tags)
        file->addAction(commands.tags);
    file->addAction(commands.mix);
    if (commands.mixStems)
        file->addAction(commands.mixStems);
    if (commands.exportChapters)
        file->addAction(commands.exportChapters);
    file->addSeparator();
    file->addAction(commands.exit);

    QMenu* edit = addMenu(QStringLiteral("&Edit"));
    edit->addAction(lists.undoAction());
    edit->addAction(lists.redoAction());
    edit->addSeparator();
    edit->addAction(commands.selectAll);
    edit->addAction(commands.deleteSelected);
    edit->addAction(commands.deleteAll);
    edit->addSeparator();
    edit->addAction(commands.audioSettings);
    edit->addAction(commands.placeInSequence);
    edit->addAction(commands.mute);
    edit->addAction(commands.duck);
    edit->addAction(commands.ducking);
    if (!commands.levels.isEmpty()) {
        edit->addSeparator();
        edit->addActions(commands.levels);
    }

    QMenu* view = addMenu(QStringLiteral("&View"));
    view->addAction(commands.timeline);

    QMenu* listen = addMenu(QStringLiteral("&Listen"));
    listen->addAction(commands.play);
    listen->addAction(commands.solo);

    QMenu* help = addMenu(QStringLiteral("Hel&p"));
    help->addAction(commands.manual);
    help->addAction(commands.homepage);
    help->addSeparator();
    help->addAction(commands.about);
    return bar;
}

}  // namespace sonarel
