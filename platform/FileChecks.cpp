// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileChecks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "platform/MessageText.h"
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

namespace {
// What stands at `path` when it is neither a file nor a folder (following links); empty otherwise.
QString kindOfSpecialFile(const QString& path)
{
    struct stat info {};
    if (::stat(nativePath(path).constData(), &info) != 0 || S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))
        return {};
    if (S_ISFIFO(info.st_mode))
        return QStringLiteral("a named pipe (FIFO)");
    if (S_ISSOCK(info.st_mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a device");
}
}  // namespace

WriteProblem problemWritingFile(const QString& path)
{
    const QFileInfo target(path);
    if (target.isDir())
        return {target.absoluteFilePath(), QStringLiteral("is a folder, not a file")};
    // Opening one could wait for a reader forever or write into hardware: only files are outputs.
    if (const QString kind = kindOfSpecialFile(path); !kind.isEmpty())
        return {path, QStringLiteral("is %1, not a file").arg(kind)};
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

std::optional<FileVersion> fileVersion(const QString& path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(nativePath(path).constData(), &info) != 0)
        return std::nullopt;
#if defined(__APPLE__)
    const timespec modified = info.st_mtimespec;
#else
    const timespec modified = info.st_mtim;
#endif
    return FileVersion{{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)},
                       static_cast<std::int64_t>(info.st_size),
                       static_cast<std::int64_t>(modified.tv_sec),
                       static_cast<std::int64_t>(modified.tv_nsec)};
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

bool isSymbolicLink(const QString& path)
{
    struct stat info {};
    return !path.isEmpty() && ::lstat(nativePath(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

QString readRegularFile(const QString& path, qint64 maxBytes, bool followLink, QByteArray& content)
{
    content.clear();
    // O_NONBLOCK: a FIFO swapped in after any check still cannot stop this thread.
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW);
    const int fd = ::open(nativePath(path).constData(), flags);
    if (fd < 0)
        return errno == ELOOP ? QStringLiteral("it is a link") : qt_error_string(errno);
    QString problem;
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        problem = qt_error_string(errno);
    else if (!S_ISREG(info.st_mode))
        problem = QStringLiteral("it is not a regular file");
    else if (info.st_size > maxBytes)
        problem = QStringLiteral("it is larger than %1 bytes").arg(maxBytes);
    else {
        content.resize(static_cast<qsizetype>(info.st_size));
        qsizetype done = 0;
        while (done < content.size()) {
            const ssize_t n = ::read(fd, content.data() + done, static_cast<std::size_t>(content.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                problem = qt_error_string(errno);
                break;
            }
            if (n == 0)
                break;  // shorter than it was a moment ago: keep what is there
            done += n;
        }
        content.resize(done);
    }
    ::close(fd);
    if (!problem.isEmpty())
        content.clear();
    return problem;
}

bool outputInUse(const QString& path)
{
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat info {};
    bool inUse = false;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        inUse = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);  // also lets go of the shared lock just taken
    return inUse;
}

}  // namespace sonarel
