// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileChecks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

namespace sonarel {

namespace {
QByteArray nativePath(const QString& path)
{
    return QFile::encodeName(path);
}
}  // namespace

bool fileCanBeRead(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QByteArray native = nativePath(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    // Opening proves the permission; O_NONBLOCK guards against the file being swapped for a FIFO.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::optional<FileIdentity> fileIdentity(const QString& path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(nativePath(path).constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

QString existingFolder(const QString& folder)
{
    if (folder.isEmpty())
        return folder;
    QString path = QFileInfo(folder).absoluteFilePath();
    while (!QFileInfo(path).isDir()) {
        const QString parent = QFileInfo(path).absolutePath();
        if (parent == path)
            break;
        path = parent;
    }
    return path;
}

bool ensureParentFolder(const QString& path)
{
    const QFileInfo info(path);
    return info.absoluteDir().exists() || QDir().mkpath(info.absolutePath());
}

bool deleteFile(const QString& path)
{
    return ::unlink(nativePath(path).constData()) == 0;
}

}  // namespace sonarel
