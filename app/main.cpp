// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QDir>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/SonarelApplication.h"
#include "platform/AudioOutput.h"
#include "platform/NativePath.h"

namespace {

QStringList rawArguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << sonarel::pathFromBytes(argv[i]);  // a name that is not UTF-8 keeps its bytes
    return arguments;
}

int print(std::FILE* stream, const QString& text, int status)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    return status;
}

int runProgram(int argc, char* argv[])
{
    using sonarel::SonarelCommandLine;
    // --help and --version answer before the toolkit starts, so they work without a display.
    const SonarelCommandLine early = sonarel::parseSonarelCommandLine(rawArguments(argc, argv), QDir::currentPath());
    if (early.action == SonarelCommandLine::Action::ShowHelp)
        return print(stdout, sonarel::sonarelUsageText(), 0);
    if (early.action == SonarelCommandLine::Action::ShowVersion)
        return print(stdout, sonarel::sonarelVersionText(), 0);

    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(SONAREL_APP_ID));
    const SonarelCommandLine commandLine = sonarel::parseSonarelCommandLine(rawArguments(argc, argv),
                                                                            QDir::currentPath());
    if (commandLine.action == SonarelCommandLine::Action::Refuse)
        return print(stderr, QStringLiteral("sonarel: %1\n").arg(commandLine.error), 2);
    return sonarel::runSonarel(commandLine.files);
}

}  // namespace

int main(int argc, char* argv[])
{
    const int status = runProgram(argc, argv);
    sonarel::endProcessAfterSoundDevice(status);
    return status;
}
