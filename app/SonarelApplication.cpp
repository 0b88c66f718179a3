#include "app/SonarelApplication.h"

#include "app/MainDialog.h"
#include "platform/QtDesktop.h"
#include "platform/media/services/MediaLibrary.h"
#include "res/Resources.h"
#include "settings/ProfileStore.h"

namespace sonarel {

int runSonarel()
{
    initSonarelResources();
    ProfileStore profile;
    QtDesktop desktop;
    media::MediaLibrary library;
    MainDialog dialog(desktop, profile, library, musicFolderLocation());
    desktop.setOwner(&dialog);
    dialog.exec();
    return 0;
}

}  // namespace sonarel
