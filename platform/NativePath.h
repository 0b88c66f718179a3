// SPDX-License-Identifier: GPL-3.0-or-later
// File names as the file system holds them: bytes, mostly UTF-8 but not always (a Latin-1 name
// from an old disk, a name made by another program). Inside a QString a byte that is not part of
// valid UTF-8 travels as the unpaired surrogate U+DC80 + (byte - 0x80), so a name read from the
// command line, a list file or a folder leads back to the same bytes when it is opened; Qt's own
// conversions (QFile::encodeName, toStdString) would turn it into U+FFFD and open another name.
// The media engine's UTF-16 to UTF-8 conversion undoes the same mapping.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace sonarel {

// The bytes of a name as text; valid UTF-8 reads as itself.
QString pathFromBytes(std::string_view bytes);

// The bytes a text made by pathFromBytes came from (other text as UTF-8).
std::string pathBytes(const QString& path);

// The text with each byte that is not UTF-8 written as \xHH, for messages and the list's cells.
QString readablePath(const QString& path);
std::string readableBytes(std::string_view bytes);

// An absolute form of a name, in bytes: a relative one is taken from the current folder, and "."
// and ".." parts and doubled separators are resolved in the text (links are not followed).
std::string absolutePathBytes(std::string_view path);

}  // namespace sonarel
