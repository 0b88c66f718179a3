// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>

#include "app/cli/MixCommandLine.h"
#include "platform/AudioOutput.h"
#include "platform/NativePath.h"

namespace {

int run(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    // From argv's own bytes: Qt's arguments() would turn a name that is not UTF-8 into another one.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(sonarel::pathFromBytes(argv[i]));
    return sonarel::runMixCommandLine(arguments);
}

}  // namespace

int main(int argc, char* argv[])
{
    const int status = run(argc, argv);
    sonarel::endProcessAfterSoundDevice(status);
    return status;
}
