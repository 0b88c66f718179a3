// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/WavWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "platform/media/FaultInjector.h"
#include "platform/media/FaultPoints.h"
#include "platform/media/core/Files.h"

namespace sonarel::media::core {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;
constexpr std::uint32_t kJunkSize = 28;  // room for the ds64 chunk's body

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void put16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put64(std::vector<std::uint8_t>& out, std::uint64_t v)
{
    put32(out, static_cast<std::uint32_t>(v));
    put32(out, static_cast<std::uint32_t>(v >> 32));
}
void tag(std::vector<std::uint8_t>& out, const char (&id)[5])
{
    out.insert(out.end(), id, id + 4);
}

// KSDATAFORMAT_SUBTYPE_PCM / _IEEE_FLOAT: the format tag followed by the fixed tail of the GUID.
void subFormat(std::vector<std::uint8_t>& out, std::uint16_t formatTag)
{
    static const std::uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                          0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    put16(out, formatTag);
    out.insert(out.end(), tail, tail + 14);
}

constexpr std::uint16_t kWaveFormatExtensible = 0xFFFE;

}  // namespace

std::vector<std::uint8_t> riffInfoChunk(const OutputTags& tags)
{
    std::vector<std::uint8_t> body;
    for (const TagFieldInfo& info : kTagFields) {
        const std::string& value = tags.value(info.field);
        if (value.empty())
            continue;
        body.insert(body.end(), info.riffInfo, info.riffInfo + 4);
        put32(body, static_cast<std::uint32_t>(value.size() + 1));  // with its NUL
        body.insert(body.end(), value.begin(), value.end());
        body.push_back(0);
        if (body.size() & 1)
            body.push_back(0);
    }
    if (body.empty())
        return body;
    std::vector<std::uint8_t> chunk;
    tag(chunk, "LIST");
    put32(chunk, static_cast<std::uint32_t>(4 + body.size()));
    tag(chunk, "INFO");
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

void WavWriter::setTags(const OutputTags& tags)
{
    info_ = riffInfoChunk(tags);
}

bool WavWriter::needsExtensible(const WaveFormat& format)
{
    return format.formatTag != kWaveFormatPcm || format.bitsPerSample > 16 || format.channels > 2;
}

// Callers that care about the result call finish() themselves; a destructor cannot report it.
WavWriter::~WavWriter()
{
    static_cast<void>(finish());
}

Status WavWriter::open(const std::string& path, const WaveFormat& format, std::uint64_t rf64Threshold,
                       FaultInjector* faults)
{
    if (path.empty())
        return kErrNoFileName;
    format_ = format;
    headerSize_ = headerSize(format) + info_.size();
    rf64Threshold_ = rf64Threshold;
    faults_ = faults;
    // O_NONBLOCK: a FIFO without a reader is refused instead of blocking the caller. Not O_TRUNC:
    // a file another mix is writing must be left whole.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd_ < 0)
        return statusFromErrno(errno, true);
    if (const Status s = lockAndEmpty(path); failed(s)) {
        ::close(fd_);
        fd_ = -1;
        return s;
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    buffer_.reserve(kBufferSize);
    struct stat info {};
    stream_ = ::fstat(fd_, &info) == 0 && !S_ISREG(info.st_mode) && ::lseek(fd_, 0, SEEK_CUR) < 0;
    if (stream_)
        return openStream();
    const auto head = header(false, 0);
    buffer_.assign(head.begin(), head.end());
    return kOk;
}

// The header carries the announced sizes; it must stay plain RIFF, as a ds64 chunk could not be
// filled in later either.
Status WavWriter::openStream()
{
    const std::uint64_t riffSize = headerSize_ - 8 + expectedDataBytes_ + (expectedDataBytes_ & 1);
    if (expectedDataBytes_ > rf64Threshold_ || riffSize > 0xFFFFFFFFull) {
        ::close(fd_);
        fd_ = -1;
        return error_ = kErrInvalidArg;
    }
    const auto head = header(true, expectedDataBytes_);
    buffer_.assign(head.begin(), head.end());
    return kOk;
}

// Locked before it is emptied: a file another mix writes is left whole.
Status WavWriter::lockAndEmpty(const std::string& path)
{
    if (const Status s = claim_.claim(fd_, path); failed(s))
        return s;
    if (claim_.isRegularFile() && ::ftruncate(fd_, 0) != 0)
        return statusFromErrno(errno, true);
    return kOk;
}

// One small write of the header with the sizes of the whole frames already in the file.
void WavWriter::refreshHeader()
{
    if (!claim_.isRegularFile())
        return;  // a pipe cannot be written back into
    const auto headerSize = static_cast<std::int64_t>(headerSize_);
    std::uint64_t onDisk = filePos_ > headerSize ? static_cast<std::uint64_t>(filePos_ - headerSize) : 0;
    if (format_.blockAlign)
        onDisk -= onDisk % format_.blockAlign;
    const auto head = header(true, onDisk);
    // A failure here shows up again on the next write of samples, which reports it.
    static_cast<void>(writeAll(head.data(), head.size(), 0));
}

std::vector<std::uint8_t> WavWriter::header(bool final, std::uint64_t dataBytes) const
{
    const bool extensible = needsExtensible(format_);
    const std::uint32_t fmtSize = extensible ? 40 : 16;
    const std::uint64_t pad = dataBytes & 1;
    const std::uint64_t riffSize = 4 + (8 + kJunkSize) + (8 + fmtSize) + info_.size() + 8 + dataBytes + pad;
    const bool rf64 = final && (dataBytes > rf64Threshold_ || riffSize > 0xFFFFFFFFull);
    std::vector<std::uint8_t> out;
    out.reserve(kExtensibleHeaderSize);
    tag(out, rf64 ? "RF64" : "RIFF");
    put32(out,
          rf64 ? 0xFFFFFFFFu
               : static_cast<std::uint32_t>(final ? riffSize : 4 + (8 + kJunkSize) + 8 + fmtSize + info_.size() + 8));
    tag(out, "WAVE");
    if (rf64) {
        tag(out, "ds64");
        put32(out, kJunkSize);
        put64(out, riffSize);
        put64(out, dataBytes);
        put64(out, format_.blockAlign ? dataBytes / format_.blockAlign : 0);
        put32(out, 0);  // no table
    } else {
        tag(out, "JUNK");
        put32(out, kJunkSize);
        out.insert(out.end(), kJunkSize, 0);
    }
    tag(out, "fmt ");
    put32(out, fmtSize);
    put16(out, extensible ? kWaveFormatExtensible : format_.formatTag);
    put16(out, format_.channels);
    put32(out, format_.samplesPerSec);
    put32(out, format_.avgBytesPerSec);
    put16(out, format_.blockAlign);
    put16(out, format_.bitsPerSample);
    if (extensible) {
        put16(out, 22);
        put16(out, format_.bitsPerSample);                // valid bits
        put32(out, format_.channels == 1 ? 0x4u : 0x3u);  // front centre, or front left and right
        subFormat(out, format_.formatTag);
    }
    out.insert(out.end(), info_.begin(), info_.end());
    tag(out, "data");
    put32(out, rf64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(final ? dataBytes : 0));
    return out;
}

Status WavWriter::writeAll(const std::uint8_t* data, std::size_t size, std::int64_t offset, std::size_t* done)
{
    if (done)
        *done = 0;
    while (size > 0) {
        const ssize_t n = stream_ ? ::write(fd_, data, size) : ::pwrite(fd_, data, size, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return statusFromErrno(errno, true);
        }
        if (n == 0)
            return kErrWriteFault;
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
        if (done)
            *done += static_cast<std::size_t>(n);
    }
    return kOk;
}

Status WavWriter::flush()
{
    if (failed(error_))
        return error_;
    if (buffer_.empty())
        return kOk;
    const Status s = writeBuffer();
    if (failed(s))
        return error_ = s;
    refreshHeader();
    return kOk;
}

// What a full disk let through is counted too, and leaves the buffer: finish() keeps its whole
// frames, and nothing is written twice.
Status WavWriter::writeBuffer()
{
    std::size_t done = 0;
    const Status s = writeAll(buffer_.data(), buffer_.size(), filePos_, &done);
    filePos_ += static_cast<std::int64_t>(done);
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(done));
    return s;
}

Status WavWriter::write(const std::uint8_t* data, std::size_t size)
{
    if (fd_ < 0)
        return failed(error_) ? error_ : kErrWrongState;
    if (failed(error_))
        return error_;
    if (faults_)
        if (const Status s = faults_->check(fault::kWriteOutput); failed(s))
            return error_ = s;
    while (size > 0) {
        const std::size_t room = kBufferSize - buffer_.size();
        const std::size_t n = size < room ? size : room;
        buffer_.insert(buffer_.end(), data, data + n);
        data += n;
        size -= n;
        dataBytes_ += n;
        if (buffer_.size() >= kBufferSize)
            if (const Status s = flush(); failed(s))
                return s;
    }
    return kOk;
}

Status WavWriter::finish()
{
    if (fd_ < 0)
        return error_;
    // What was accepted is written out also after a failure; the header then describes what
    // actually reached the file, so a failed or stopped file stays a valid WAV.
    // A disk that fills on this last write is a failure like any other: the header rewrite below
    // lands on blocks the file already holds and would succeed, hiding it.
    if (!buffer_.empty()) {
        if (const Status s = writeBuffer(); failed(s) && succeeded(error_))
            error_ = s;
        buffer_.clear();
    }
    if (stream_)
        return finishStream();
    const auto headerSize = static_cast<std::int64_t>(headerSize_);
    const std::uint64_t onDisk = filePos_ > headerSize ? static_cast<std::uint64_t>(filePos_ - headerSize) : 0;
    if (onDisk < dataBytes_) {
        const std::uint64_t block = format_.blockAlign ? format_.blockAlign : 1;
        dataBytes_ = onDisk - onDisk % block;
    }
    const auto end = static_cast<std::int64_t>(headerSize_ + dataBytes_);
    if (dataBytes_ & 1) {
        const std::uint8_t zero = 0;
        if (const Status s = writeAll(&zero, 1, end); failed(s) && succeeded(error_))
            error_ = s;
    }
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) &&
        info.st_size > end + static_cast<std::int64_t>(dataBytes_ & 1)) [[maybe_unused]]
        const int ignored = ::ftruncate(fd_, end + static_cast<std::int64_t>(dataBytes_ & 1));
    const auto head = header(true, dataBytes_);
    rf64_ = std::memcmp(head.data(), "RF64", 4) == 0;
    if (const Status s = writeAll(head.data(), head.size(), 0); failed(s) && succeeded(error_))
        error_ = s;
    if (const Status s = claim_.stillAtName(); failed(s) && succeeded(error_))
        error_ = s;
    claim_.release();
    if (::close(fd_) != 0 && succeeded(error_))
        error_ = statusFromErrno(errno, true);
    fd_ = -1;
    return error_;
}

// A stream's header cannot change: a complete mix gets its pad byte; one that ended early stays
// shorter than its header says, which readers of a pipe take as its end.
Status WavWriter::finishStream()
{
    if (succeeded(error_) && (dataBytes_ & 1) && dataBytes_ == expectedDataBytes_)
        buffer_.push_back(0);
    if (!buffer_.empty()) {
        if (const Status s = writeBuffer(); failed(s) && succeeded(error_))
            error_ = s;
        buffer_.clear();
    }
    if (::close(fd_) != 0 && succeeded(error_))
        error_ = statusFromErrno(errno, true);
    fd_ = -1;
    return error_;
}

}  // namespace sonarel::media::core
