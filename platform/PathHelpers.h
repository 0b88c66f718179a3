// SPDX-License-Identifier: GPL-3.0-or-later
// Path helpers on the platform separator. Paths are the file system's bytes (UTF-8 or not):
// only the separator is looked at.
#pragma once

#include <string>
#include <string_view>

namespace sonarel {

// The text up to and including the last separator; empty when there is none ("/a/b.wav" -> "/a/").
std::string FolderOfPath(std::string_view path);

// The text from the last separator (included) to the end; empty when there is none
// ("/a/b.wav" -> "/b.wav").
std::string TailFromLastBackslash(std::string_view path);

// Joins a folder and a name with exactly one separator, so a root folder "/" gives "/name".
std::string joinPath(std::string_view folder, std::string_view name);

// The file name with its extension, as shown in the mix list ("/music/song.mp3" -> "song.mp3").
std::string fileNameOfPath(std::string_view path);

}  // namespace sonarel
