// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/BrowserCommand.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringView>

namespace sonarel {

namespace {

bool isPlaceholderLetter(QChar c)
{
    return c == u'u' || c == u'U' || c == u'f' || c == u'F';
}

QString unescapeDesktopValue(QStringView value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
        case u's': out += u' '; break;
        case u'n': out += u'\n'; break;
        case u't': out += u'\t'; break;
        case u'r': out += u'\r'; break;
        case u'\\': out += u'\\'; break;
        default:
            out += c;
            out += next;
            break;  // not an escape of the file format: kept for the Exec rules
        }
    }
    return out;
}

// Drops field codes other than the placeholder and turns "%%" into "%".
QString expandFieldCodes(const QString& argument)
{
    QString out;
    for (qsizetype i = 0; i < argument.size(); ++i) {
        if (argument[i] != u'%' || i + 1 == argument.size()) {
            out += argument[i];
            continue;
        }
        if (argument[++i] == u'%')
            out += u'%';
    }
    return out;
}

}  // namespace

QString desktopEntryExec(const QString& desktopFileText)
{
    bool inEntryGroup = false;
    const QStringList lines = desktopFileText.split(u'\n');
    for (QString line : lines) {
        line = line.trimmed();
        if (line.startsWith(u'[')) {
            inEntryGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntryGroup || line.startsWith(u'#'))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0 || QStringView(line).left(equals).trimmed() != QLatin1String("Exec"))
            continue;
        return unescapeDesktopValue(QStringView(line).mid(equals + 1).trimmed());
    }
    return {};
}

QString cutAtPlaceholder(const QString& commandLine)
{
    qsizetype quoted = -1;
    qsizetype bare = -1;
    for (qsizetype i = 0; i + 1 < commandLine.size(); ++i) {
        if (commandLine[i] != u'%')
            continue;
        if (commandLine[i + 1] == u'%') {
            ++i;
            continue;
        }
        if (!isPlaceholderLetter(commandLine[i + 1]))
            continue;
        const bool inQuotes = i > 0 && commandLine[i - 1] == u'"' && i + 2 < commandLine.size() &&
                              commandLine[i + 2] == u'"';
        if (inQuotes && quoted < 0)
            quoted = i - 1;
        if (bare < 0)
            bare = i;
    }
    if (quoted >= 0)
        return commandLine.left(quoted);
    if (bare >= 0)
        return commandLine.left(bare);
    return commandLine;
}

QStringList splitExecLine(const QString& commandLine)
{
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool inQuotes = false;
    bool quotedPart = false;  // field codes are expanded only outside quotes
    auto finish = [&] {
        if (inArgument) {
            const QString argument = quotedPart ? current : expandFieldCodes(current);
            if (quotedPart || !argument.isEmpty())
                arguments << argument;
        }
        current.clear();
        inArgument = quotedPart = false;
    };
    for (qsizetype i = 0; i < commandLine.size(); ++i) {
        const QChar c = commandLine[i];
        if (inQuotes) {
            if (c == u'"') {
                inQuotes = false;
            } else if (c == u'\\' && i + 1 < commandLine.size() &&
                       QStringView(u"\"`$\\").contains(commandLine[i + 1])) {
                current += commandLine[++i];
            } else {
                current += c;
            }
        } else if (c == u'"') {
            inQuotes = inArgument = quotedPart = true;
        } else if (c.isSpace()) {
            finish();
        } else {
            current += c;
            inArgument = true;
        }
    }
    finish();
    return arguments;
}

QStringList browserLaunchArguments(const QString& commandLine, const QString& address)
{
    QStringList arguments = splitExecLine(cutAtPlaceholder(commandLine));
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return {};
    arguments << address;
    return arguments;
}

int programStartFailureCode(const QString& program)
{
    constexpr int kFileNotFound = 2;
    constexpr int kPathNotFound = 3;
    constexpr int kAccessDenied = 5;
    constexpr int kBadFormat = 11;
    QString path = program;
    if (!program.contains(u'/')) {
        path = QStandardPaths::findExecutable(program);
        if (path.isEmpty())
            return kFileNotFound;
    }
    const QFileInfo file(path);
    if (!file.absoluteDir().exists())
        return kPathNotFound;
    if (!file.exists())
        return kFileNotFound;
    if (file.isDir() || !file.isExecutable())
        return kAccessDenied;
    return kBadFormat;
}

QString linkTarget(const QString& address)
{
    const QString trimmed = address.trimmed();
    const qsizetype at = trimmed.indexOf(QLatin1Char('@'));
    const bool mail = at > 0 && at == trimmed.lastIndexOf(QLatin1Char('@')) && at < trimmed.size() - 1 &&
                      !trimmed.contains(QLatin1Char(':')) && !trimmed.contains(QLatin1Char('/')) &&
                      !trimmed.contains(QLatin1Char(' '));
    return mail ? QStringLiteral("mailto:") + trimmed : address;
}

QString cannotOpenText(const QString& address)
{
    if (address.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive))
        return QStringLiteral("No mail program could open %1").arg(address);
    return QStringLiteral("No web browser could open %1").arg(address);
}

}  // namespace sonarel
