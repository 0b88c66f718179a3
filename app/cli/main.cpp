// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>

#include "app/cli/MixCommandLine.h"

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return sonarel::runMixCommandLine(arguments);
}
