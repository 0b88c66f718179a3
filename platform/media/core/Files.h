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

// kErrNotRegularFile when opening `path` to write would wait for a reader (a FIFO nobody reads),
// found without waiting; kOk otherwise, also when it does not exist yet. Writers that open through
// a library which cannot open without blocking ask this first.
Status refuseReaderlessPipe(const std::string& path);

// A mix's hold on its output file: an advisory lock (flock) that other mixes test before they
// touch the file, and the file's identity, to tell at the end whether the file written is still
// the one at its name. Anything but a regular file (a pipe) is not claimed and always passes.
class OutputClaim {
public:
    OutputClaim() = default;
    ~OutputClaim() { release(); }
    OutputClaim(const OutputClaim&) = delete;
    OutputClaim& operator=(const OutputClaim&) = delete;

    // Claims the file open as `fd` under the name `path`; kErrFileInUse while another holds it.
    Status claim(int fd, const std::string& path);
    // The same for a writer that keeps no descriptor of its own: opens `path` to hold the lock.
    Status claim(const std::string& path);
    // kOk while the claimed file still has its name; kErrOutputReplaced when it was deleted or
    // replaced, or its folder removed.
    Status stillAtName() const;
    bool isRegularFile() const { return fd_ >= 0; }
    void release();

private:
    int fd_ = -1;  // our own descriptor (a duplicate at least): the lock lives as long as it
    std::string path_;
};

}  // namespace sonarel::media::core
