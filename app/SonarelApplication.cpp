#include "app/SonarelApplication.h"

#include <QTimer>

#include "app/MainDialog.h"
#include "platform/QtDesktop.h"
#include "platform/media/MediaLibrary.h"
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
    // Once the loop runs, so that progress and messages have the window to belong to.
    if (!files.isEmpty())
        QTimer::singleShot(0, &dialog, [&dialog, files] { dialog.addFiles(files); });
    dialog.exec();
    return 0;
}

}  // namespace sonarel
