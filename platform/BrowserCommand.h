// SPDX-License-Identifier: GPL-3.0-or-later
// Starting the user's web browser by hand, for when the desktop cannot open an address itself.
// The browser is the default handler of web pages; its .desktop file gives the command line
// (the Exec key). These functions turn that command line into an argument list that opens one
// address, never into a shell command. They are pure, except programStartFailureCode, which
// looks at the file system.
#pragma once

#include <QString>
#include <QStringList>

namespace sonarel {

// The Exec value of the [Desktop Entry] group of a .desktop file's text, with the file format's
// escapes (\s \n \t \r \\) undone; empty when the group has no Exec key.
QString desktopEntryExec(const QString& desktopFileText);

// The command line cut before the placeholder where the address goes (%u, %U, %f or %F): at the
// opening quotation mark of a quoted placeholder ("%u"); failing that, at a bare placeholder;
// the whole line when there is none. Whatever followed the placeholder is dropped. "%%" is an
// escaped percent sign, not a placeholder.
QString cutAtPlaceholder(const QString& commandLine);

// Splits a command line by the desktop-entry quoting rules: arguments separated by blanks, double
// quotes group an argument, and inside them a backslash escapes " ` $ and \. The other field
// codes (%i %c %k and the deprecated ones) are dropped and "%%" becomes "%".
QStringList splitExecLine(const QString& commandLine);

// The program and its arguments that open `address` in the browser of `commandLine`: the line cut
// at its placeholder, split, and the address appended as one argument. Empty when the line names
// no program (the address itself is never run as one).
QStringList browserLaunchArguments(const QString& commandLine, const QString& address);

// The address a link opens: a mail address ("name@example.org", no scheme) becomes a mailto:
// address; any other stays as it is.
QString linkTarget(const QString& address);

// What the window says when no program could open `address`: the same words for the manual, the
// home page and the About links ("No web browser could open ..."; for mailto: "No mail program").
QString cannotOpenText(const QString& address);

// Why `program` could not be started, as the shell's codes name it: 2 the file was not found,
// 3 its folder does not exist, 5 it may not be run, 11 it is there but is not a program that can
// be started. A bare name is looked up on the PATH.
int programStartFailureCode(const QString& program);

}  // namespace sonarel
