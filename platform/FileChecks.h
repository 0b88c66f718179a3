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

// Whether `path` names an existing folder (following links).
bool isFolder(const QString& path);

// The folder, or its nearest parent that exists (absolute); empty for an empty text.
QString existingFolder(const QString& folder);

// Makes sure the folder that would hold `path` exists, creating it (and its parents) if needed.
bool ensureParentFolder(const QString& path);

// Deletes a file; false when it could not be deleted.
bool deleteFile(const QString& path);

}  // namespace sonarel
