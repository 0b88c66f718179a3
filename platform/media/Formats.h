// SPDX-License-Identifier: GPL-3.0-or-later
// Formats and events exchanged with the media engine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/media/Status.h"

namespace sonarel::media {

inline constexpr std::uint16_t kWaveFormatPcm = 1;
inline constexpr std::uint16_t kWaveFormatIeeeFloat = 3;  // 32-bit float samples

// The classic wave format block: what the converter's stream configuration reads and writes.
struct WaveFormat {
    std::uint16_t formatTag = kWaveFormatPcm;
    std::uint16_t channels = 2;
    std::uint32_t samplesPerSec = 44100;
    std::uint32_t avgBytesPerSec = 176400;
    std::uint16_t blockAlign = 4;
    std::uint16_t bitsPerSample = 16;
    std::uint16_t cbSize = 0;

    friend bool operator==(const WaveFormat&, const WaveFormat&) = default;
};

enum class MajorType { None, Audio };

// A media type: the group's type (major type audio, no format) or a stream's full format.
struct MediaType {
    MajorType majorType = MajorType::None;
    bool fixedSizeSamples = false;
    std::uint32_t sampleSize = 0;
    bool hasFormat = false;
    WaveFormat format{};
};

// A mix's loudness (EBU R128 / ITU-R BS.1770) as written. Levels are -infinity for silence.
struct LoudnessFigures {
    bool measured = false;
    double integratedLufs = 0.0;
    double rangeLu = 0.0;
    double samplePeakDbfs = 0.0;
    double truePeakDbtp = 0.0;
    // When the mix was normalized: the gain applied, and how far the true-peak ceiling held it
    // below the target (0 when it reached it).
    bool normalized = false;
    double gainDb = 0.0;
    double belowTargetLu = 0.0;
    // When a limiter held the true peak: how many peaks it lowered, and by at most how much.
    bool limited = false;
    std::int64_t limitedPeaks = 0;
    double limiterMostDb = 0.0;
};

// Event codes delivered by a running graph.
inline constexpr long kEventComplete = 1;    // everything was written
inline constexpr long kEventUserAbort = 2;   // stopped by the caller before the end
inline constexpr long kEventErrorAbort = 3;  // reading or writing failed; see status and detail

// A source whose sound ended well before its entry did; the rest of its entry is silent.
struct EndedEarlySource {
    std::string file;
    std::size_t source = 0;   // its place among the mix's sources, in timeline order
    double endSeconds = 0.0;  // where on the output its sound ended
    bool shrank = false;      // the file became shorter while it was mixed (else it held less than it said)
};

struct GraphEvent {
    long code = 0;
    Status status = kOk;  // for kEventErrorAbort: the failure
    std::string detail;   // for kEventErrorAbort: what failed, e.g. the file concerned
    // For kEventComplete: how many output samples saturated in the conversion to PCM, and the
    // mix's highest level before it (1.0 = full scale).
    std::int64_t clippedSamples = 0;
    double peakLevel = 0.0;
    // The files, in timeline order, some of whose samples were not numbers (NaN, infinities) and
    // were silenced before mixing.
    std::vector<std::string> silencedSources;
    // The sources, in timeline order, whose sound ended well before their entries.
    std::vector<EndedEarlySource> endedEarlySources;
    LoudnessFigures loudness;  // for kEventComplete
    // For kEventErrorAbort: whether the output holds a playable file of what was mixed so far
    // (false when nothing of the mix was kept and the output is as it was before).
    bool outputKept = true;
};

}  // namespace sonarel::media
