// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/Files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace sonarel::media::core {

Status statusFromErrno(int error, bool writing)
{
    switch (error) {
    case ENOENT: return writing ? kErrPathNotFound : kErrFileNotFound;  // writing creates the file
    case ENOTDIR: return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return kErrAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return writing ? kErrDiskFull : kErrReadFault;
    case ENOMEM: return kErrOutOfMemory;
    case EISDIR:
    case ENXIO:
    case ENODEV: return kErrNotRegularFile;
    case EPIPE: return kErrReaderGone;
    case ENAMETOOLONG:
    case EINVAL: return kErrInvalidArg;
    default: return writing ? kErrWriteFault : kErrReadFault;
    }
}

Status refuseReaderlessPipe(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0) {
        ::close(fd);
        return kOk;
    }
    return errno == ENXIO ? kErrNotRegularFile : kOk;  // other causes are the real open's to report
}

Status openRegularFile(const std::string& path, int& fd, long long& size)
{
    fd = -1;
    size = 0;
    if (path.empty())
        return kErrNoFileName;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return statusFromErrno(errno, false);
    if (!S_ISREG(info.st_mode))
        return kErrNotRegularFile;
    // O_NONBLOCK: should the name have turned into a FIFO since the stat, the open still returns.
    const int handle = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (handle < 0)
        return statusFromErrno(errno, false);
    if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(handle);
        return kErrNotRegularFile;
    }
    const int flags = ::fcntl(handle, F_GETFL);
    if (flags >= 0)
        ::fcntl(handle, F_SETFL, flags & ~O_NONBLOCK);
    fd = handle;
    size = static_cast<long long>(info.st_size);
    return kOk;
}

Status checkRegularFile(const std::string& path)
{
    int fd = -1;
    long long size = 0;
    const Status status = openRegularFile(path, fd, size);
    if (fd >= 0)
        ::close(fd);
    return status;
}

Status OutputClaim::claim(int fd, const std::string& path)
{
    release();
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return statusFromErrno(errno, true);
    if (!S_ISREG(info.st_mode))
        return kOk;
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return statusFromErrno(errno, true);
    if (::flock(own, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(own);
        return error == EWOULDBLOCK ? kErrFileInUse : statusFromErrno(error, true);
    }
    fd_ = own;
    path_ = path;
    return kOk;
}

Status OutputClaim::claim(const std::string& path)
{
    release();
    // Write-only as a fallback for a file its owner may not read; neither truncates nor blocks.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno == ENXIO ? kOk : statusFromErrno(errno, true);  // ENXIO: a FIFO
    const Status status = claim(fd, path);
    ::close(fd);
    return status;
}

Status OutputClaim::stillAtName() const
{
    if (fd_ < 0)
        return kOk;
    struct stat held {};
    struct stat named {};
    if (::fstat(fd_, &held) != 0 || ::stat(path_.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
        held.st_ino != named.st_ino)
        return kErrOutputReplaced;
    return kOk;
}

void OutputClaim::release()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    path_.clear();
}

}  // namespace sonarel::media::core
