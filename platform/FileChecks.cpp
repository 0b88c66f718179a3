// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileChecks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "platform/MessageText.h"

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

bool nameIsTaken(const QString& path)
{
    struct stat info {};
    // A device or a pipe is written to, never deleted and replaced: it is not a file to ask about.
    return !path.isEmpty() && ::lstat(nativePath(path).constData(), &info) == 0 &&
           (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode));
}

namespace {
// Why this user cannot make files in the existing folder `folder`; empty when it can.
QString causeOfUnwritableFolder(const QString& folder)
{
    if (::access(nativePath(folder).constData(), W_OK | X_OK) == 0)
        return {};
    switch (errno) {
    case EROFS: return QStringLiteral("is on a read-only file system");
    case EACCES:
    case EPERM: return QStringLiteral("may not be written by you (no permission)");
    default: return QStringLiteral("cannot be written (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
}
}  // namespace

WriteProblem problemWritingFile(const QString& path)
{
    const QFileInfo target(path);
    if (target.isDir())
        return {target.absoluteFilePath(), QStringLiteral("is a folder, not a file")};
    const QString folder = target.absolutePath();
    // The nearest part of the folder's path that exists: the folder itself, or where it would be made.
    QString existing = folder;
    struct stat info {};
    while (::stat(nativePath(existing).constData(), &info) != 0) {
        if (errno != ENOENT && errno != ENOTDIR)  // ENOTDIR: a file stands where a folder should
            return {existing,
                    QStringLiteral("cannot be reached (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)))};
        const QString parent = QFileInfo(existing).absolutePath();
        if (parent == existing)
            return {folder, QStringLiteral("does not exist")};
        existing = parent;
    }
    if (!S_ISDIR(info.st_mode))
        return {existing, QStringLiteral("is not a folder")};
    const QString cause = causeOfUnwritableFolder(existing);
    if (cause.isEmpty())
        return {};
    if (existing == folder)
        return {folder, cause};
    return {folder, QStringLiteral("does not exist and cannot be made: %1 %2").arg(nameInMessage(existing), cause)};
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
