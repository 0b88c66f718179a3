// SPDX-License-Identifier: GPL-3.0-or-later
// Where a mix's float blocks go: a WAV file (the samples converted to PCM or float), or one of
// FFmpeg's encoders in its container. A WAV file stopped or failed part-way is closed valid,
// holding what was written; an encoded one is renamed into place only when finished. Opened by
// MixJob (on the owner's thread, or on the job's after a normalized mix's first pass), then
// written and finished on the job's thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/media/Formats.h"
#include "platform/media/Status.h"
#include "platform/media/core/OutputEncoding.h"
#include "platform/media/core/PcmConversion.h"

namespace sonarel::media {
class FaultInjector;
}

namespace sonarel::media::core {

class MixOutput {
public:
    virtual ~MixOutput() = default;

    // Creates or truncates the file. `detail` says more than the status when FFmpeg refused.
    // `frames` is the mix's whole length: a WAV stream (a pipe) announces it in its header.
    static Status open(const std::string& path, const WaveFormat& format, const OutputEncoding& encoding,
                       std::uint64_t rf64Threshold, FaultInjector* faults, std::unique_ptr<MixOutput>& output,
                       std::string& detail, std::uint64_t frames = 0);

    // `frames` interleaved frames of the format's channels; what saturated is added to `clipping`.
    virtual Status write(const float* samples, std::size_t frames, Clipping& clipping) = 0;
    // Writes what is pending and closes the file. Safe to call twice.
    virtual Status finish() = 0;
    // FFmpeg's own words for the first failure, or empty.
    virtual std::string failureDetail() const { return {}; }
    // After finish(): whether the output's name holds a playable file of what was mixed. A WAV
    // file always does; an encoded file that failed is removed instead.
    virtual bool kept() const { return true; }
};

}  // namespace sonarel::media::core
