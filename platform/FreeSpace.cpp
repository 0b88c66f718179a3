// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FreeSpace.h"

#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include "platform/FileChecks.h"
#include "platform/NativePath.h"

namespace sonarel {

std::optional<FreeSpace> freeSpaceFor(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    const QStorageInfo storage(existingFolder(QFileInfo(path).absolutePath()));
    if (!storage.isValid() || !storage.isReady() || storage.bytesAvailable() < 0)
        return std::nullopt;
    FreeSpace space;
    space.availableBytes = static_cast<std::uint64_t>(storage.bytesAvailable());
    space.blockSize = storage.blockSize() > 0 ? static_cast<std::uint64_t>(storage.blockSize()) : 1;
    space.mountPoint = storage.rootPath();
    return space;
}

std::uint64_t bytesFreedByDeleting(const QString& path)
{
    struct stat info {};
    if (path.isEmpty() || ::lstat(pathBytes(path).c_str(), &info) != 0)
        return 0;
    if (!S_ISREG(info.st_mode) || info.st_nlink != 1 || info.st_blocks <= 0)
        return 0;
    // st_blocks counts 512-byte units whatever the file system's block size; it is what the file
    // really occupies (a sparse file frees less than its length).
    return static_cast<std::uint64_t>(info.st_blocks) * 512u;
}

bool isSpecialFile(const QString& path)
{
    struct stat info {};
    return !path.isEmpty() && ::stat(pathBytes(path).c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

QString temporaryFolder()
{
    const QByteArray folder = qgetenv("TMPDIR");
    return folder.isEmpty() ? QStringLiteral("/tmp") : pathFromBytes(folder.toStdString());
}

}  // namespace sonarel
