// SPDX-License-Identifier: GPL-3.0-or-later
// File-system helpers of the media engine: path conversion and the checks that keep the engine to
// regular local files.
#pragma once

#include <string>
#include <string_view>

#include "platform/media/Status.h"

namespace sonarel::media::core {

// UTF-16 to UTF-8, the one encoder of names (platform/NativePath.h uses it too). An unpaired
// U+DC80..U+DCFF is the byte 0x80..0xFF of a file name that is not UTF-8 (as NativePath carries
// it), so such a name opens as the file system has it; any other unpaired surrogate becomes U+FFFD.
inline std::string toUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            out += static_cast<char>(c - 0xDC00);  // a byte of a name that is not UTF-8
            continue;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

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
