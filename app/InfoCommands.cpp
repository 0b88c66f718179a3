#include "app/InfoCommands.h"

#include <QCoreApplication>

#include "platform/Desktop.h"
#include "platform/PathHelpers.h"

namespace sonarel {

QString helpIntroductionPath()
{
    const std::string folder = FolderOfPath(QCoreApplication::applicationFilePath().toStdString());
    return QString::fromStdString(folder) + QStringLiteral("help/Introduction.html");
}

void helpCommand(Desktop& desktop)
{
    desktop.openWithDefaultHandler(helpIntroductionPath());
}

void aboutCommand(Desktop& desktop)
{
    desktop.showMessage(QString::fromLatin1(kProductVersionText) +
                            QStringLiteral("\n\nMixes media files into one PCM WAV file.\n"
                                           "Copyright \u00a9 Quillmoor."),
                        QStringLiteral("About Sonarel"), MessageIcon::Information);
}

void homepageCommand(Desktop& desktop)
{
    desktop.openWithDefaultHandler(QString::fromLatin1(kHomepageAddress));
}

}  // namespace sonarel
