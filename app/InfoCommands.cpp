// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/InfoCommands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "app/AboutDialog.h"
#include "app/ProductInfo.h"
#include "platform/BrowserCommand.h"
#include "platform/Desktop.h"

namespace sonarel {

QStringList helpIntroductionCandidates(const QString& programFolder)
{
    const QDir folder(programFolder);
    return {QDir::cleanPath(folder.filePath(QStringLiteral("help/Introduction.html"))),
            QDir::cleanPath(folder.filePath(QStringLiteral("../share/doc/sonarel/help/Introduction.html")))};
}

QString findHelpIntroduction(const QString& programFolder)
{
    for (const QString& candidate : helpIntroductionCandidates(programFolder)) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

void helpCommand(Desktop& desktop, const QString& programFolder)
{
    const QString page = findHelpIntroduction(programFolder);
    if (page.isEmpty()) {
        desktop.showAppMessage(QStringLiteral("The manual was not found. Sonarel looks for it in:\n%1")
                                   .arg(helpIntroductionCandidates(programFolder).join(QLatin1Char('\n'))));
        return;
    }
    if (!desktop.openWithDefaultHandler(page))
        desktop.showAppMessage(
            QStringLiteral("No web browser could open the manual. You can open it yourself:\n%1").arg(page));
}

void helpCommand(Desktop& desktop)
{
    helpCommand(desktop, QCoreApplication::applicationDirPath());
}

void aboutCommand(Desktop& desktop, QWidget* parent)
{
    AboutDialog dialog(desktop, parent);
    dialog.exec();
}

void homepageCommand(Desktop& desktop)
{
    const QString address = QString::fromUtf8(kHomepageAddress);
    if (!desktop.openWithDefaultHandler(address))
        desktop.showAppMessage(cannotOpenText(address));
}

}  // namespace sonarel
