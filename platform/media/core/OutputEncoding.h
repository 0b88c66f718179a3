// SPDX-License-Identifier: GPL-3.0-or-later
// What a mix writes besides its wave format: the kind of file (WAV, or one of FFmpeg's encoders
// in its usual container), the bit rate of a lossy one, loudness normalization, dither and tags.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/media/Formats.h"
#include "platform/media/core/OutputChapters.h"
#include "platform/media/core/OutputTags.h"

namespace sonarel::media::core {

enum class OutputContainer { Wav, Flac, Opus, Mp3, Vorbis, Aac };

struct ContainerInfo {
    OutputContainer container;
    const char* name;       // as --format takes it
    const char* title;      // for people: "MP3", "Ogg Vorbis"
    const char* extension;  // with its dot
    const char* encoder;    // FFmpeg's encoder; null for WAV
    const char* muxer;      // FFmpeg's muxer; null for WAV
    int defaultKbps;        // 0: lossless
};

const std::vector<ContainerInfo>& allContainers();
const ContainerInfo& containerInfo(OutputContainer container);
// By --format name ("wav", "flac", "opus", "mp3", "ogg" or "vorbis", "m4a" or "aac"), any case.
std::optional<OutputContainer> containerByName(std::string_view name);
// By the extension of a file name, any case; none for an unknown one or none at all.
std::optional<OutputContainer> containerByExtension(std::string_view path);
// Whether this build's FFmpeg has the encoder and muxer (WAV always).
bool containerAvailable(OutputContainer container);
// "wav, flac, opus, mp3, ogg, m4a": what can be written here.
std::string writableContainersText();

struct OutputEncoding {
    OutputContainer container = OutputContainer::Wav;
    int bitrateKbps = 0;  // lossy only; 0: the container's default
    // Normalization: one gain that brings the integrated loudness to the target. Where that gain
    // would take the true peak over the ceiling, a limiter holds the peaks at the ceiling; without
    // the limiter, the gain is held so that the true peak stays at or below it.
    bool normalize = false;
    double targetLufs = -16.0;
    double truePeakCeilingDbtp = -1.0;
    bool limiter = true;
    // Without normalization: the limiter alone holds the true peak at the ceiling.
    bool limit = false;
    bool dither = false;  // TPDF dither before integer samples
    OutputTags tags;      // what the file says about itself; none by default
    // Written into the containers that hold chapters (all but WAV); none by default.
    OutputChapters chapters;

    friend bool operator==(const OutputEncoding&, const OutputEncoding&) = default;
};

// Why `encoding` cannot be written in `format`, in a sentence; empty when it can. Lossy encoders
// take the float mix and ignore the sample format; FLAC takes 16 or 24 bits.
std::string encodingProblem(const OutputEncoding& encoding, const WaveFormat& format);

// The rate a container is written at when the mix asks for `rate` (Opus: always 48000, the rate
// its decoders give back).
std::uint32_t containerRate(OutputContainer container, std::uint32_t rate);

}  // namespace sonarel::media::core
