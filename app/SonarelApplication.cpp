// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SonarelApplication.h"

#include <QTimer>

#include "app/ListFileCommands.h"
#include "app/MainDialog.h"
#include "platform/QtDesktop.h"
#include "platform/media/services/MediaLibrary.h"
#include "res/Resources.h"
#include "settings/ProfileStore.h"

namespace sonarel {

int runSonarel(const QStringList& files)
{
    initSonarelResources();
    ProfileStore profile;
    QtDesktop desktop;
    media::MediaLibrary library;
    MainDialog dialog(desktop, profile, library, musicFolderLocation());
    desktop.setOwner(&dialog);
    // A damaged settings file is said once, over the window, and then left alone for the run.
    if (const QString problem = profile.problem(); !problem.isEmpty())
        QTimer::singleShot(0, &dialog, [&desktop, problem] {
            desktop.showMessage(problem, QStringLiteral("Warning"), MessageIcon::Exclamation);
        });
    // Once the loop runs, so that progress and messages have the window to belong to. A list file
    // among the files is opened; the others are added to the list, as if chosen with Add.
    if (!files.isEmpty()) {
        QTimer::singleShot(0, &dialog, [&dialog, files] {
            const QStringList others = dialog.listFile().openListArguments(files);
            if (!others.isEmpty())
                dialog.addFiles(others);
        });
    }
    dialog.exec();
    return 0;
}

}  // namespace sonarel
