// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/MixOutput.h"

#include <vector>

#include "platform/media/core/EncodedWriter.h"
#include "platform/media/core/EncodingLane.h"
#include "platform/media/core/WavWriter.h"

namespace sonarel::media::core {

namespace {

// The WAV file: the float mix converted to the format's samples and written through WavWriter.
class WavOutput final : public MixOutput {
public:
    Status open(const std::string& path, const WaveFormat& format, const OutputTags& tags, std::uint64_t rf64Threshold,
                FaultInjector* faults, std::uint64_t frames)
    {
        format_ = format;
        writer_.setTags(tags);
        writer_.expectDataBytes(frames * format.blockAlign);
        return writer_.open(path, format, rf64Threshold, faults);
    }
    Status write(const float* samples, std::size_t frames, Clipping& clipping) override
    {
        const std::size_t count = frames * format_.channels;
        pcm_.resize(count * (format_.bitsPerSample / 8));
        if (format_.formatTag == kWaveFormatIeeeFloat)
            convertToFloat(samples, count, pcm_.data(), clipping);
        else
            convertToPcm(samples, count, format_.bitsPerSample, pcm_.data(), clipping);
        return writer_.write(pcm_.data(), pcm_.size());
    }
    Status finish() override { return writer_.finish(); }

private:
    WavWriter writer_;
    WaveFormat format_;
    std::vector<std::uint8_t> pcm_;
};

}  // namespace

Status MixOutput::open(const std::string& path, const WaveFormat& format, const OutputEncoding& encoding,
                       std::uint64_t rf64Threshold, FaultInjector* faults, std::unique_ptr<MixOutput>& output,
                       std::string& detail, std::uint64_t frames)
{
    output.reset();
    detail.clear();
    if (encoding.container == OutputContainer::Wav) {
        auto wav = std::make_unique<WavOutput>();
        if (const Status s = wav->open(path, format, encoding.tags, rf64Threshold, faults, frames); failed(s))
            return s;
        output = std::move(wav);
        return kOk;
    }
    if (path.empty())
        return kErrNoFileName;
    auto encoded = std::make_unique<EncodedWriter>();
    if (const Status s = encoded->open(path, format, encoding, faults); failed(s)) {
        detail = encoded->failureDetail();
        static_cast<void>(encoded->finish());
        return s;
    }
    output = std::make_unique<EncodingLane>(std::move(encoded), format.channels);
    return kOk;
}

}  // namespace sonarel::media::core
