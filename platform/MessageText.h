// SPDX-License-Identifier: GPL-3.0-or-later
// Names and values as messages show them. A file name may hold control characters (an escape
// sequence can retitle or clear a terminal) and a value read from a file may be megabytes long;
// neither may reach a message box or a terminal as it is. Self-contained: Qt Core only.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

namespace sonarel {

// The longest name or value a message shows whole, in characters.
inline constexpr int kLongestValueInMessage = 300;
// The most names a list in a message shows; the rest are counted.
inline constexpr int kMostNamesInMessage = 20;

// Every control character (C0, DEL, C1) written as an escape: "\n", "\r", "\t", "\x1b".
QString escapeControlCharacters(const QString& text);
// A value longer than `longest` characters keeps its beginning and end around an ellipsis and
// says how long it was; shorter values stay as they are.
QString shortenForMessage(const QString& text, int longest = kLongestValueInMessage);
// A name or value as it goes into a message: escaped, then shortened.
QString nameInMessage(const QString& name);
std::string nameInMessage(std::string_view name);
// A whole message made safe for a terminal or a box: control characters escaped except the line
// breaks and tabs that lay it out.
QString safeMessageText(const QString& text);
// One name per line, at most `most` of them, then "... and N more".
QString listInMessage(const QStringList& lines, int most = kMostNamesInMessage);

}  // namespace sonarel
