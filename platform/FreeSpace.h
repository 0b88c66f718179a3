// SPDX-License-Identifier: GPL-3.0-or-later
// How much room the file system that will hold a new file has, and how much deleting a file
// really gives back. Used before a mix to tell whether its output fits.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace sonarel {

struct FreeSpace {
    std::uint64_t availableBytes = 0;  // what this user may still write there
    std::uint64_t blockSize = 1;       // files take whole blocks
    QString mountPoint;                // the file system's top folder, to name it to the person
};

// The free space where a file at `path` would be written: the file system of the nearest existing
// folder above it (the folder itself may not exist yet). None when it cannot be told.
std::optional<FreeSpace> freeSpaceFor(const QString& path);

// Bytes that deleting `path` gives back for certain: the blocks of a regular file that has no
// other name. A symbolic link frees nothing of its target, and a file with other hard links keeps
// its blocks. A file another program holds open also keeps them until it is closed, which cannot
// be seen from here; that case is left to the write, which reports a full disk as it happens.
std::uint64_t bytesFreedByDeleting(const QString& path);

// True when `path` exists and is not a regular file (a device such as /dev/null, a FIFO): writing
// into it takes no room in its folder.
bool isSpecialFile(const QString& path);

// The system's folder for temporary files: $TMPDIR, or /tmp when it is not set.
QString temporaryFolder();

}  // namespace sonarel
