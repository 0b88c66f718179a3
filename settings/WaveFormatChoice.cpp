// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/WaveFormatChoice.h"

#include <QFileInfo>

#include <cstdio>

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
    choice.encoding.truePeakCeilingDbtp = settings.limitDbtp.value_or(settings.truePeakCeilingDbtp);
    choice.encoding.limiter = settings.limiter || settings.limitDbtp.has_value();
    choice.encoding.limit = settings.limitDbtp.has_value();
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
    if (choice.problem.empty())
        choice.problem = outputNameProblem(settings.outputFile).toStdString();
    return choice;
}

std::uint32_t sampleRateOf(const OutputSettings& settings)
{
    return settings.sampleRate != 0
               ? settings.sampleRate
               : waveFormatFromChoices(settings.sampleRateIndex, settings.channelsIndex, settings.bitsIndex)
                     .samplesPerSec;
}

int sampleBitsOf(const OutputSettings& settings)
{
    return settings.sampleBits != 0 ? settings.sampleBits : (settings.bitsIndex == 1 ? 8 : 16);
}

void setSampleRate(OutputSettings& settings, std::uint32_t rate)
{
    settings.sampleRateIndex = 0;
    settings.sampleRate = rate;
    for (int i = 0; i < kSampleRateChoiceCount; ++i)
        if (kSampleRateChoices[i] == rate) {
            settings.sampleRateIndex = i;
            settings.sampleRate = 0;
        }
}

void setSampleBits(OutputSettings& settings, int bits)
{
    settings.bitsIndex = bits == 8 ? 1 : 0;
    settings.sampleBits = bits == 24 || bits == 32 ? bits : 0;
}

std::string waveFormatSummary(const OutputSettings& settings)
{
    const OutputChoice choice = outputChoiceOf(settings);
    const media::core::ContainerInfo& info = media::core::containerInfo(choice.encoding.container);
    std::string text = std::string(info.title) + ", " + std::to_string(choice.format.samplesPerSec) + " Hz, " +
                       (choice.format.channels == 1 ? "mono" : "stereo") + ", ";
    if (info.defaultKbps != 0)  // lossy: the sample format is the encoder's
        text += std::to_string(choice.encoding.bitrateKbps != 0 ? choice.encoding.bitrateKbps : info.defaultKbps) +
                " kbit/s";
    else
        text += std::to_string(choice.format.bitsPerSample) + (choice.format.floatSamples ? "-bit float" : "-bit");
    if (settings.normalizeLufs) {
        char lufs[32];
        std::snprintf(lufs, sizeof lufs, ", %g LUFS", *settings.normalizeLufs);
        text += lufs;
    }
    return text;
}

bool hasNewListFormat(const OutputSettings& settings)
{
    return sampleRateOf(settings) == 44100 && settings.channelsIndex != 1 && sampleBitsOf(settings) == 16 &&
           settings.outputFormat.value_or(media::core::OutputContainer::Wav) == media::core::OutputContainer::Wav &&
           settings.bitrateKbps == 0 && !settings.normalizeLufs && !settings.dither;
}

}  // namespace sonarel
