// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/WaveFormatChoice.h"

namespace sonarel {

PcmFormat waveFormatFromChoices(int sampleRateIndex, int channelsIndex, int bitsIndex)
{
    PcmFormat format{};
    format.channels = channelsIndex == 1 ? 1 : 2;
    format.samplesPerSec = sampleRateIndex >= 0 && sampleRateIndex < kSampleRateChoiceCount
                               ? kSampleRateChoices[sampleRateIndex]
                               : 44100;
    format.bitsPerSample = bitsIndex == 1 ? 8 : 16;
    format.blockAlign = static_cast<std::uint16_t>(format.channels * (format.bitsPerSample / 8));
    format.avgBytesPerSec = format.blockAlign * format.samplesPerSec;
    return format;
}

}  // namespace sonarel
