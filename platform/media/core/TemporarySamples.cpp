// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/TemporarySamples.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/media/core/Files.h"

namespace sonarel::media::core {

namespace {

int openNameless(const std::string& folder)
{
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    // File systems without O_TMPFILE: a unique name, removed at once.
    std::string pattern = folder + "/.sonarel-mix-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(name.data());
    return fd;
}

}  // namespace

TemporarySamples::~TemporarySamples()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Status TemporarySamples::open(const std::string& folder)
{
    folder_ = folder.empty() ? "." : folder;
    if (folder_.size() > 1 && folder_.back() == '/')
        folder_.pop_back();
    fd_ = openNameless(folder_);
    if (fd_ < 0) {
        const char* tmp = std::getenv("TMPDIR");
        folder_ = tmp && *tmp ? tmp : "/tmp";
        fd_ = openNameless(folder_);
    }
    return fd_ >= 0 ? kOk : statusFromErrno(errno, true);
}

Status TemporarySamples::append(const float* samples, std::size_t count)
{
    const auto* data = reinterpret_cast<const char*>(samples);
    std::size_t size = count * sizeof(float);
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? statusFromErrno(errno, true) : kErrWriteFault;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return kOk;
}

Status TemporarySamples::rewind()
{
    return ::lseek(fd_, 0, SEEK_SET) == 0 ? kOk : statusFromErrno(errno, false);
}

Status TemporarySamples::read(float* samples, std::size_t count)
{
    auto* data = reinterpret_cast<char*>(samples);
    std::size_t size = count * sizeof(float);
    while (size > 0) {
        const ssize_t n = ::read(fd_, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? statusFromErrno(errno, false) : kErrReadFault;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return kOk;
}

}  // namespace sonarel::media::core
