// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include <QDir>
#include <QUrl>

#include "app/ProductInfo.h"

namespace sonarel {

namespace {

QString absolutePath(const QString& argument, const QString& workingFolder)
{
    // Some launchers pass file URLs even where the desktop entry asks for paths.
    const QString path = argument.startsWith(QLatin1String("file:")) ? QUrl(argument).toLocalFile() : argument;
    if (path.isEmpty())
        return argument;
    return QDir::cleanPath(QDir(workingFolder).absoluteFilePath(path));
}

}  // namespace

SonarelCommandLine parseSonarelCommandLine(const QStringList& arguments, const QString& workingFolder)
{
    SonarelCommandLine result;
    bool help = false;
    bool version = false;
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && (argument == QLatin1String("-h") || argument == QLatin1String("--help"))) {
            help = true;
        } else if (!optionsEnded && (argument == QLatin1String("-v") || argument == QLatin1String("--version"))) {
            version = true;
        } else if (!optionsEnded && argument.startsWith(QLatin1Char('-')) && argument != QLatin1String("-")) {
            if (result.error.isEmpty())
                result.error = QStringLiteral("unknown option %1 (see --help)").arg(argument);
        } else if (!argument.isEmpty()) {
            result.files << absolutePath(argument, workingFolder);
        }
    }
    if (help)
        result.action = SonarelCommandLine::Action::ShowHelp;
    else if (version)
        result.action = SonarelCommandLine::Action::ShowVersion;
    else if (!result.error.isEmpty())
        result.action = SonarelCommandLine::Action::Refuse;
    return result;
}

QString sonarelUsageText()
{
    return QStringLiteral(
        "Usage: sonarel [FILE...]\n"
        "Mixes a list of media files into one audio file: WAV, FLAC, Opus, MP3, Ogg or AAC.\n"
        "\n"
        "The FILEs are added to the mix list in the order given, as if chosen with Add;\n"
        "those that cannot be added are named in one message.\n"
        "A mix list (a .csv file saved with Save List) among them is opened first,\n"
        "and the other FILEs are added after its entries.\n"
        "\n"
        "  -h, --help     Show this help.\n"
        "  -v, --version  Show the version.\n"
        "  --             Every following argument is a file.\n"
        "\n"
        "sonarel-mix mixes from the command line without a window (see sonarel-mix --help).\n");
}

QString sonarelVersionText()
{
    return QStringLiteral("sonarel %1\n%2").arg(QLatin1String(SONAREL_VERSION), QString::fromUtf8(kLicenceNotice));
}

}  // namespace sonarel
