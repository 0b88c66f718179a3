// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>

#include "app/cli/MixCommandLine.h"
#include "platform/NativePath.h"

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    // From argv's own bytes: Qt's arguments() would turn a name that is not UTF-8 into another one.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(sonarel::pathFromBytes(argv[i]));
    return sonarel::runMixCommandLine(arguments);
}
