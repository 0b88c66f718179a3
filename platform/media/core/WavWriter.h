// SPDX-License-Identifier: GPL-3.0-or-later
// The WAV multiplexer and file writer of a render: a RIFF WAVE PCM file written through a large
// buffer. The header is written at open with placeholder sizes and a reserved JUNK chunk; finish()
// writes the real sizes, switching the header to RF64 (the JUNK chunk becomes ds64) when the data
// passes the threshold. Formats beyond 8/16-bit PCM (24 bits, float) get the extensible format
// chunk. The first failed write is kept and returned by every later call.
//
// A pipe, socket or terminal cannot be rewound, so there the header is written once, up front,
// with the sizes the caller announces (expectDataBytes); the data then follows in order. Such a
// stream is plain RIFF: a length past its 4 GiB limit is refused at open.
//
// Tags (title, artist...) go in a LIST/INFO chunk between the format and the data; a file without
// them has none and is written as it always was.
//
// A regular output file is held under an advisory lock while it is written, so a second mix to
// the same name is refused instead of destroying this one; the header's sizes are brought up to
// date after every buffer written, so a killed mix leaves a readable file; and finish() fails
// when the file is no longer the one at its name (deleted, replaced, its folder removed).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/media/Formats.h"
#include "platform/media/Status.h"
#include "platform/media/core/Files.h"
#include "platform/media/core/OutputTags.h"

namespace sonarel::media {
class FaultInjector;
}

namespace sonarel::media::core {

class WavWriter {
public:
    static constexpr std::size_t kHeaderSize = 80;  // 8/16-bit PCM
    static constexpr std::size_t kExtensibleHeaderSize = 104;
    static bool needsExtensible(const WaveFormat& format);
    static std::size_t headerSize(const WaveFormat& format)
    {
        return needsExtensible(format) ? kExtensibleHeaderSize : kHeaderSize;
    }

    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // The tags of the LIST/INFO chunk (the cover is no part of it); call before open().
    void setTags(const OutputTags& tags);

    // The data length a stream will carry; call before open(). Files ignore it.
    void expectDataBytes(std::uint64_t bytes) { expectedDataBytes_ = bytes; }

    // Creates or truncates `path`; kErrFileInUse, leaving the file as it is, while another mix
    // writes it. `faults` (may be null) is asked "Run.WriteOutput" per write.
    Status open(const std::string& path, const WaveFormat& format, std::uint64_t rf64Threshold, FaultInjector* faults);
    Status write(const std::uint8_t* data, std::size_t size);
    // Flushes, pads an odd data length, writes the final header and closes. Safe to call twice.
    Status finish();

    std::uint64_t dataBytes() const { return dataBytes_; }
    Status error() const { return error_; }
    bool isRf64() const { return rf64_; }
    bool isStream() const { return stream_; }

private:
    Status flush();
    Status openStream();
    Status finishStream();
    Status writeBuffer();  // the buffer at filePos_
    // `done`, when given, is how many bytes reached the file, also when it fails part-way.
    Status writeAll(const std::uint8_t* data, std::size_t size, std::int64_t offset, std::size_t* done = nullptr);
    // `dataBytes` of samples; `final` lets the header switch to RF64 when they need it.
    std::vector<std::uint8_t> header(bool final, std::uint64_t dataBytes) const;
    Status lockAndEmpty(const std::string& path);
    void refreshHeader();

    int fd_ = -1;
    OutputClaim claim_;
    WaveFormat format_;
    std::size_t headerSize_ = kHeaderSize;
    std::uint64_t rf64Threshold_ = 0;
    FaultInjector* faults_ = nullptr;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t dataBytes_ = 0;
    std::int64_t filePos_ = 0;
    Status error_ = kOk;
    bool rf64_ = false;
    bool stream_ = false;  // written in order, never rewound
    std::uint64_t expectedDataBytes_ = 0;
    std::vector<std::uint8_t> info_;  // the LIST/INFO chunk, whole; empty without tags
};

// The LIST/INFO chunk of `tags`, padded to an even size; empty when no tag is set.
std::vector<std::uint8_t> riffInfoChunk(const OutputTags& tags);

}  // namespace sonarel::media::core
