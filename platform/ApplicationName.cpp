// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>
#include <QFileInfo>

#include "platform/Desktop.h"

namespace sonarel {

QString applicationName()
{
    if (QCoreApplication::instance() != nullptr) {
        const QString path = QCoreApplication::applicationFilePath();
        if (!path.isEmpty())
            return QFileInfo(path).completeBaseName();
    }
    return QStringLiteral("sonarel");
}

}  // namespace sonarel
