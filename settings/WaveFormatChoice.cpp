// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/WaveFormatChoice.h"

#include <QFileInfo>

#include "settings/OutputSettings.h"

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

PcmFormat pcmFormatOf(std::uint32_t rate, std::uint16_t channels, int bits)
{
    PcmFormat format{};
    format.channels = channels == 1 ? 1 : 2;
    format.samplesPerSec = rate;
    format.bitsPerSample = static_cast<std::uint16_t>(bits == 8 || bits == 24 || bits == 32 ? bits : 16);
    format.floatSamples = bits == 32;
    format.blockAlign = static_cast<std::uint16_t>(format.channels * (format.bitsPerSample / 8));
    format.avgBytesPerSec = format.blockAlign * format.samplesPerSec;
    return format;
}

OutputChoice outputChoiceOf(const OutputSettings& settings)
{
    using media::core::OutputContainer;
    OutputChoice choice;
    const PcmFormat listed = waveFormatFromChoices(settings.sampleRateIndex, settings.channelsIndex,
                                                   settings.bitsIndex);
    const std::uint32_t rate = settings.sampleRate != 0 ? settings.sampleRate : listed.samplesPerSec;
    const int bits = settings.sampleBits != 0 ? settings.sampleBits : listed.bitsPerSample;
    std::optional<OutputContainer> container = settings.outputFormat;
    const QString suffix = QFileInfo(settings.outputFile).suffix();
    if (!container && !suffix.isEmpty()) {
        container = media::core::containerByExtension(settings.outputFile.toStdString());
        if (!container) {
            choice.problem = "Sonarel cannot write ." + suffix.toStdString() +
                             " files. Name the output file with one of these extensions: " +
                             media::core::writableContainersText() + ".";
            return choice;
        }
    }
    choice.encoding.container = container.value_or(OutputContainer::Wav);
    choice.encoding.bitrateKbps = settings.bitrateKbps;
    choice.encoding.normalize = settings.normalizeLufs.has_value();
    choice.encoding.targetLufs = settings.normalizeLufs.value_or(choice.encoding.targetLufs);
    choice.encoding.truePeakCeilingDbtp = settings.truePeakCeilingDbtp;
    choice.encoding.dither = settings.dither;
    choice.format = pcmFormatOf(media::core::containerRate(choice.encoding.container, rate), listed.channels, bits);
    if (rate < kLowestSampleRate || rate > kHighestSampleRate) {
        choice.problem = "The sample rate must lie between 8000 and 192000 Hz.";
        return choice;
    }
    media::WaveFormat wave;
    wave.formatTag = choice.format.floatSamples ? media::kWaveFormatIeeeFloat : media::kWaveFormatPcm;
    wave.channels = choice.format.channels;
    wave.samplesPerSec = choice.format.samplesPerSec;
    wave.bitsPerSample = choice.format.bitsPerSample;
    wave.blockAlign = choice.format.blockAlign;
    wave.avgBytesPerSec = choice.format.avgBytesPerSec;
    choice.problem = media::core::encodingProblem(choice.encoding, wave);
    return choice;
}

}  // namespace sonarel
