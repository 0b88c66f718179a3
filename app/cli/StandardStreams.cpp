// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/StandardStreams.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace sonarel {

bool readStandardInput(std::string& text, std::string& error, std::size_t limit)
{
    text.clear();
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = std::string("standard input could not be read: ") + std::strerror(errno);
            return false;
        }
        if (n == 0)
            return true;
        if (text.size() + static_cast<std::size_t>(n) > limit) {
            error = "the list on standard input is longer than " + std::to_string(limit / (1024 * 1024)) + " MiB";
            return false;
        }
        text.append(chunk, static_cast<std::size_t>(n));
    }
}

StandardOutputKind standardOutputKind()
{
    if (::isatty(STDOUT_FILENO))
        return StandardOutputKind::Terminal;
    struct stat info {};
    if (::fstat(STDOUT_FILENO, &info) == 0 && S_ISREG(info.st_mode) && ::lseek(STDOUT_FILENO, 0, SEEK_CUR) >= 0)
        return StandardOutputKind::File;
    return StandardOutputKind::Stream;
}

}  // namespace sonarel
