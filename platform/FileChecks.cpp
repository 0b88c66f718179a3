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

#include "platform/NativePath.h"
#include "platform/PathHelpers.h"

namespace sonarel {

namespace {
// The name's own bytes: QFile::encodeName would turn a name that is not UTF-8 into another one.
QByteArray nativePath(const QString& path)
{
    const std::string bytes = pathBytes(path);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
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

int openRegularFileToRead(const QString& path, std::string& problem)
{
    const QByteArray native = nativePath(path);
    struct stat info {};
    if (path.isEmpty() || ::stat(native.constData(), &info) != 0) {
        problem = path.isEmpty() || errno == ENOENT ? "it does not exist" : std::strerror(errno);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        problem = "it is not a file";
        return -1;
    }
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        problem = std::strerror(errno);
        return -1;
    }
    // Swapped for something else since the stat: refused as well.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        problem = "it is not a file";
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

std::optional<FileIdentity> fileIdentity(const QString& path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(nativePath(path).constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

bool isFolder(const QString& path)
{
    struct stat info {};
    return !path.isEmpty() && ::stat(nativePath(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
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
    // In bytes, so that a folder whose name is not UTF-8 is found rather than made anew beside it.
    const std::string folder = FolderOfPath(absolutePathBytes(pathBytes(path)));
    for (std::size_t end = 1; end <= folder.size(); ++end) {
        if (end < folder.size() && folder[end] != '/')
            continue;
        const std::string part = folder.substr(0, end);
        struct stat info {};
        if (::stat(part.c_str(), &info) == 0) {
            if (!S_ISDIR(info.st_mode))
                return false;
            continue;
        }
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

bool deleteFile(const QString& path)
{
    return ::unlink(nativePath(path).constData()) == 0;
}

}  // namespace sonarel
