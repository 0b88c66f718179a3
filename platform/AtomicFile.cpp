// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AtomicFile.h"

#include <QFileInfo>
#include <QRandomGenerator>

#if defined(_WIN32)
#include <QSaveFile>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace sonarel {

#if defined(_WIN32)

int writeAllAndSync(int, const QByteArray&)
{
    return ENOSYS;
}

QString writeFileAtomically(const QString& path, const QByteArray& content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        return file.errorString();
    return {};
}

QString writeOwnFileAtomically(const QString& path, const QByteArray& content)
{
    return writeFileAtomically(path, content);
}

#else

namespace {

QString systemError(int error)
{
    return qt_error_string(error);
}

// The file a path leads to: a link is replaced by what it points at, so the link survives.
QString fileToReplace(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.symLinkTarget();
        if (!target.isEmpty())
            return target;
    }
    return info.absoluteFilePath();
}

// A new file beside `target` that nobody else has; -1 with errno set when none can be made.
int createTemporaryBeside(const QString& target, QByteArray& temporaryPath)
{
    const QString folder = QFileInfo(target).absolutePath();
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = QFile::encodeName(folder +
                                          QStringLiteral("/.%1.sonarel-%2")
                                              .arg(QFileInfo(target).fileName().left(40))
                                              .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        // 0666 so the kernel applies the user's umask, as for any new file.
        const int descriptor = ::open(temporaryPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    errno = EEXIST;
    return -1;
}

void syncFolderOf(const QString& target)
{
    const int folder = ::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return;
    // The rename is already done; a folder that cannot be synced is not worth failing the save.
    (void)::fsync(folder);
    ::close(folder);
}

int writeAll(int descriptor, const QByteArray& content)
{
    const char* data = content.constData();
    qsizetype left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, data, static_cast<std::size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        left -= written;
    }
    return 0;
}

}  // namespace

int writeAllAndSync(int descriptor, const QByteArray& content)
{
    if (const int error = writeAll(descriptor, content); error != 0)
        return error;
    if (::fsync(descriptor) != 0 && errno != EINVAL && errno != EROFS)  // EINVAL: not syncable
        return errno;
    return 0;
}

namespace {

enum class Kind {
    Document,  // keeps the permissions of what it replaces, and reaches the disk before the rename
    Cache,     // a file lost in a crash is only made again: no waiting for the disk
};

// Writes beside `target` and renames over it.
QString replaceAtomically(const QString& target, const QByteArray& content, Kind kind)
{
    QByteArray temporaryPath;
    const int descriptor = createTemporaryBeside(target, temporaryPath);
    if (descriptor < 0)
        return systemError(errno);

    int error = 0;
    struct stat old {};
    if (kind == Kind::Document && ::stat(QFile::encodeName(target).constData(), &old) == 0)
        (void)::fchmod(descriptor, old.st_mode & 07777);  // best effort: the content matters more
    error = kind == Kind::Document ? writeAllAndSync(descriptor, content) : writeAll(descriptor, content);
    if (::close(descriptor) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporaryPath.constData(), QFile::encodeName(target).constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporaryPath.constData());
        return systemError(error);
    }
    if (kind == Kind::Document)
        syncFolderOf(target);
    return {};
}

}  // namespace

QString writeFileAtomically(const QString& path, const QByteArray& content)
{
    const QString target = fileToReplace(path);
    // Followed like an editor follows it, but a device or FIFO at the end is never replaced.
    struct stat info {};
    if (::stat(QFile::encodeName(target).constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return QStringLiteral("%1 is not a regular file").arg(target);
    return replaceAtomically(target, content, Kind::Document);
}

QString writeOwnFileAtomically(const QString& path, const QByteArray& content)
{
    const QString target = QFileInfo(path).absoluteFilePath();
    struct stat info {};
    if (::lstat(QFile::encodeName(target).constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return QStringLiteral("%1 is not a regular file").arg(target);
    // The rename replaces the name itself: whatever a link put there meanwhile, no target is touched.
    return replaceAtomically(target, content, Kind::Cache);
}

#endif

}  // namespace sonarel
