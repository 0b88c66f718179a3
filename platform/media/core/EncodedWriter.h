// SPDX-License-Identifier: GPL-3.0-or-later
// A mix encoded by FFmpeg (FLAC, Opus, MP3, Vorbis, AAC) into its usual container. Blocks of any
// size are gathered into the encoder's frames; the last frame is short, and each container is
// told how many samples are real (FLAC's stream info, Opus's pre-skip and end granule, MP3's LAME
// header, the MP4 edit list), so that the file decodes to the mix's exact length.
//
// An encoded file is only playable once finished (an MP4 file's index and FLAC's length come
// last), so a file is written as a temporary beside the output ("mix.m4a.unfinished-XXXXXX") and
// renamed over it when finished: a stopped mix is finished and renamed too, a failed one's
// temporary is removed, and a killed one leaves the temporary, never a broken file under the
// output's name. Until then an existing output stays as it was, held so that another mix sees it
// in use. A pipe or device is written in place.
#pragma once

#include <memory>
#include <vector>

#include "platform/media/core/Files.h"
#include "platform/media/core/MixOutput.h"

namespace sonarel::media::core {

class EncodedWriter final : public MixOutput {
public:
    EncodedWriter();
    ~EncodedWriter() override;

    Status open(const std::string& path, const WaveFormat& format, const OutputEncoding& encoding,
                FaultInjector* faults);
    Status write(const float* samples, std::size_t frames, Clipping& clipping) override;
    Status finish() override;
    std::string failureDetail() const override;
    bool kept() const override { return kept_; }

private:
    struct Codec;
    Status fail(int avError);
    Status encodePending(bool flush);
    Status sendFrame(std::size_t offset, std::size_t frames);  // from pcm_, `offset` in bytes
    Status drainPackets();
    Status writeLastMp3Packet();
    // Renames the finished temporary over the output, or removes it after a failure.
    void settleTemporary();

    std::unique_ptr<Codec> codec_;
    FaultInjector* faults_ = nullptr;
    int channels_ = 2;
    int bits_ = 16;                  // FLAC's sample size
    std::vector<std::uint8_t> pcm_;  // interleaved in the encoder's packed format, not yet a frame
    std::int64_t nextPts_ = 0;
    Status error_ = kOk;
    int avError_ = 0;
    bool open_ = false;
    OutputClaim claim_;      // FFmpeg keeps the descriptor to itself: the claim opens its own
    OutputClaim previous_;   // the output being replaced
    std::string path_;       // the output's name
    std::string temporary_;  // the file written until it is renamed; empty when written in place
    bool kept_ = true;       // the output's name holds what was mixed (false once a temporary is removed)
};

}  // namespace sonarel::media::core
