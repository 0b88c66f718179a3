// SPDX-License-Identifier: GPL-3.0-or-later
// Checks on files that must never block or be fooled: a FIFO, a device or a folder is not a file
// to read, and two spellings of one file are the same file.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>

namespace sonarel {

// True when `path` names an existing regular file that this user can open for reading. Never
// blocks (a FIFO is refused without being opened).
bool fileCanBeRead(const QString& path);

// True when a regular file or a link has the name `path`, whether or not this user may read it,
// and also when the link leads nowhere.
bool nameIsTaken(const QString& path);

// Why no file can be written at `path`, in words that follow its name ("is on a read-only file
// system"), together with the folder or name concerned; an empty cause when the folder exists and
// may be written, or does not exist yet but can be made. A FIFO, a device or a socket at `path`
// is named as such, without being opened: only a regular file is written.
struct WriteProblem {
    QString where;  // the folder (or the name in the way) the cause is about
    QString cause;
    bool none() const { return cause.isEmpty(); }
};
WriteProblem problemWritingFile(const QString& path);
// Opens `path` for reading when it names a regular file, without blocking on a FIFO. Returns the
// descriptor (the caller closes it), or -1 with `problem` saying why in words: "it does not
// exist", "it is not a file", or the system's reason.
int openRegularFileToRead(const QString& path, std::string& problem);

// The identity of the file a path leads to, following links; none when it does not exist.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
std::optional<FileIdentity> fileIdentity(const QString& path);

// What tells a version of a file from the next: which file, its size and when it was last
// written, to the nanosecond. Another program that saves a file changes it, whether it writes
// in place or renames a new file over it.
struct FileVersion {
    FileIdentity identity;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    friend bool operator==(const FileVersion&, const FileVersion&) = default;
};
// None when nothing is there.
std::optional<FileVersion> fileVersion(const QString& path);

// Whether `path` names an existing folder (following links).
bool isFolder(const QString& path);

// The folder, or its nearest parent that exists (absolute); empty for an empty text.
QString existingFolder(const QString& folder);

// Makes sure the folder that would hold `path` exists, creating it (and its parents) if needed.
bool ensureParentFolder(const QString& path);

// Deletes a file; false when it could not be deleted.
bool deleteFile(const QString& path);

// True when `path` itself is a symbolic link, whether or not what it points at exists.
bool isSymbolicLink(const QString& path);

// Reads a whole regular file of at most `maxBytes` without ever blocking: a FIFO, a device or a
// folder is refused before anything is read. `followLink` false refuses a link as well. Returns
// why it failed ("not a regular file", the system's words), or empty with `content` filled.
QString readRegularFile(const QString& path, qint64 maxBytes, bool followLink, QByteArray& content);

// True while another program (or another mix) holds the advisory lock a mix keeps on its output.
// A path that does not exist, or is not a regular file, is not in use.
bool outputInUse(const QString& path);

}  // namespace sonarel
