// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a file so that it is never seen half-written: the new content goes into a temporary
// file in the same folder, reaches the disk, and is then renamed over the old file. A crash, a
// full disk or a failed write leaves the old file exactly as it was.
#pragma once

#include <QByteArray>
#include <QString>

namespace sonarel {

// Writes `content` to `path` atomically. A link is followed, so the file it names is replaced and
// the link stays. A new file gets the user's default permissions, a replaced one keeps its own.
// Returns an empty text on success, otherwise why it failed ("No space left on device"); the
// temporary file is removed on every failure.
[[nodiscard]] QString writeFileAtomically(const QString& path, const QByteArray& content);

// Writes `content` as the regular file `path` in a folder of the program's own (a cache): never
// through a link. When something other than a regular file has the name (a link, a FIFO, a
// device), it is left alone and the write fails. Not synced to the disk: a cache file lost in a
// crash is made again (never half-written: the rename comes after the whole content). Returns an empty text on success,
// otherwise why.
[[nodiscard]] QString writeOwnFileAtomically(const QString& path, const QByteArray& content);

// Writes all of `content` to an open descriptor and flushes it to the disk. Returns the system's
// error number, or 0. Used by writeFileAtomically; kept apart so a real failing device can be
// tested.
[[nodiscard]] int writeAllAndSync(int descriptor, const QByteArray& content);

}  // namespace sonarel
