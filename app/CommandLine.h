// SPDX-License-Identifier: GPL-3.0-or-later
// The window's command line: `sonarel [FILE...]`, as a file manager's "Open With" or the desktop
// entry's %F passes it, plus --help and --version. The toolkit's own options (-platform,
// -style, ...) are taken out by QApplication before the rest is read here.
#pragma once

#include <QString>
#include <QStringList>

namespace sonarel {

struct SonarelCommandLine {
    enum class Action { Run, ShowHelp, ShowVersion, Refuse };
    Action action = Action::Run;
    // Absolute paths in the order given: relative ones are taken from `workingFolder`, file URLs
    // become paths. Nothing is checked here; adding the files names those that cannot be added.
    QStringList files;
    QString error;  // what was wrong, for Refuse
};

// `arguments` without the program's name. "--" ends the options.
SonarelCommandLine parseSonarelCommandLine(const QStringList& arguments, const QString& workingFolder);

QString sonarelUsageText();
QString sonarelVersionText();

}  // namespace sonarel
