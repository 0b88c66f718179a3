// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/OutputEncoding.h"

#include <algorithm>
#include <cctype>

#include "platform/media/core/FfmpegHandles.h"

namespace sonarel::media::core {

namespace {

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

bool rateListed(const int* rates, std::uint32_t rate)
{
    if (!rates)
        return true;
    for (; *rates; ++rates)
        if (static_cast<std::uint32_t>(*rates) == rate)
            return true;
    return false;
}

std::string ratesText(const int* rates)
{
    std::string text;
    for (; rates && *rates; ++rates)
        text += (text.empty() ? "" : ", ") + std::to_string(*rates);
    return text;
}

}  // namespace

const std::vector<ContainerInfo>& allContainers()
{
    static const std::vector<ContainerInfo> containers = {
        {OutputContainer::Wav, "wav", "WAV", ".wav", nullptr, nullptr, 0},
        {OutputContainer::Flac, "flac", "FLAC", ".flac", "flac", "flac", 0},
        {OutputContainer::Opus, "opus", "Opus", ".opus", "libopus", "opus", 128},
        {OutputContainer::Mp3, "mp3", "MP3", ".mp3", "libmp3lame", "mp3", 192},
        {OutputContainer::Vorbis, "ogg", "Ogg Vorbis", ".ogg", "libvorbis", "ogg", 160},
        {OutputContainer::Aac, "m4a", "AAC", ".m4a", "aac", "ipod", 192},
    };
    return containers;
}

const ContainerInfo& containerInfo(OutputContainer container)
{
    for (const ContainerInfo& info : allContainers())
        if (info.container == container)
            return info;
    return allContainers().front();
}

std::optional<OutputContainer> containerByName(std::string_view name)
{
    const std::string key = lower(name);
    if (key == "vorbis")
        return OutputContainer::Vorbis;
    if (key == "aac")
        return OutputContainer::Aac;
    for (const ContainerInfo& info : allContainers())
        if (key == info.name)
            return info.container;
    return std::nullopt;
}

std::optional<OutputContainer> containerByExtension(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::nullopt;
    const std::string extension = lower(path.substr(dot));
    for (const ContainerInfo& info : allContainers())
        if (extension == info.extension)
            return info.container;
    return std::nullopt;
}

bool containerAvailable(OutputContainer container)
{
    const ContainerInfo& info = containerInfo(container);
    if (!info.encoder)
        return true;
    return avcodec_find_encoder_by_name(info.encoder) && av_guess_format(info.muxer, nullptr, nullptr);
}

std::string writableContainersText()
{
    std::string text;
    for (const ContainerInfo& info : allContainers())
        if (containerAvailable(info.container))
            text += (text.empty() ? "" : ", ") + std::string(info.name);
    return text;
}

std::string encodingProblem(const OutputEncoding& encoding, const WaveFormat& format)
{
    const ContainerInfo& info = containerInfo(encoding.container);
    if (!containerAvailable(encoding.container))
        return std::string("This system's FFmpeg cannot write ") + info.title +
               " files. It can write: " + writableContainersText() + ".";
    if (encoding.container == OutputContainer::Wav)
        return {};
    const AVCodec* codec = avcodec_find_encoder_by_name(info.encoder);
    if (!rateListed(codec->supported_samplerates, format.samplesPerSec))
        return std::string(info.title) + " files cannot have " + std::to_string(format.samplesPerSec) +
               " Hz; they take " + ratesText(codec->supported_samplerates) + ".";
    if (encoding.container == OutputContainer::Flac &&
        (format.formatTag != kWaveFormatPcm || (format.bitsPerSample != 16 && format.bitsPerSample != 24)))
        return "A FLAC file holds 16 or 24 bits.";
    if (info.defaultKbps > 0 && encoding.bitrateKbps != 0 && (encoding.bitrateKbps < 8 || encoding.bitrateKbps > 512))
        return "The bit rate must lie between 8 and 512 kbit/s.";
    return {};
}

std::uint32_t containerRate(OutputContainer container, std::uint32_t rate)
{
    return container == OutputContainer::Opus ? 48000 : rate;
}

}  // namespace sonarel::media::core
