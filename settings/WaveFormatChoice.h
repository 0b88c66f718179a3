// SPDX-License-Identifier: GPL-3.0-or-later
// The output wave format built from the three choices of the output options.
#pragma once

#include <cstdint>

namespace sonarel {

struct PcmFormat {
    std::uint16_t channels;
    std::uint32_t samplesPerSec;
    std::uint16_t bitsPerSample;
    std::uint16_t blockAlign;
    std::uint32_t avgBytesPerSec;
};

inline constexpr int kSampleRateChoiceCount = 4;  // "44100", "22050", "11025", "8000"
inline constexpr std::uint32_t kSampleRateChoices[kSampleRateChoiceCount] = {44100, 22050, 11025, 8000};

// Channels index 1 is mono, anything else stereo; rate index 0..3 as listed, anything else
// 44100; bits index 1 is 8 bits, anything else 16.
PcmFormat waveFormatFromChoices(int sampleRateIndex, int channelsIndex, int bitsIndex);

}  // namespace sonarel
