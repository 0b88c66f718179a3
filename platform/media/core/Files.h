// SPDX-License-Identifier: GPL-3.0-or-later
// File-system helpers of the media engine: path conversion and the checks that keep the engine to
// regular local files.
#pragma once

#include <string>

#include "platform/media/Status.h"

namespace sonarel::media::core {

// UTF-16 to UTF-8. An unpaired U+DC80..U+DCFF is the byte 0x80..0xFF of a file name that is not
// UTF-8 (as platform/NativePath.h carries it), so such a name opens as the file system has it;
// any other unpaired surrogate becomes U+FFFD.
std::string toUtf8(const std::u16string& text);

// Maps an errno value of a read or open to a status.
Status statusFromErrno(int error, bool writing);

// Opens `path` for reading when it is a regular file, without ever blocking on a FIFO or device.
// On success `fd` is an open descriptor (blocking mode restored) and `size` the file's size.
Status openRegularFile(const std::string& path, int& fd, long long& size);

// kOk when `path` names a regular file that can be opened for reading.
Status checkRegularFile(const std::string& path);

}  // namespace sonarel::media::core
