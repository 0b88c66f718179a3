// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/OutputSpace.h"

#include <algorithm>

#include "platform/FreeSpace.h"
#include "platform/media/core/Placement.h"
#include "platform/media/core/WavWriter.h"
#include "render/EngineEntry.h"

namespace sonarel {

namespace {

// The file's size for `frames` of mix (`dataBytes` of them in the PCM format).
std::uint64_t encodedFileBytes(std::uint64_t frames, std::uint64_t dataBytes, const PcmFormat& format,
                               const media::core::OutputEncoding& encoding)
{
    const media::core::ContainerInfo& info = media::core::containerInfo(encoding.container);
    constexpr std::uint64_t kContainerRoom = 64 * 1024;  // headers, tags, seek tables
    if (encoding.container == media::core::OutputContainer::Flac)
        return dataBytes + dataBytes / 64 + kContainerRoom;
    if (info.defaultKbps > 0) {
        const std::uint64_t kbps = static_cast<std::uint64_t>(encoding.bitrateKbps > 0 ? encoding.bitrateKbps
                                                                                       : info.defaultKbps);
        const std::uint64_t bytes = frames * kbps * 125 / std::max<std::uint64_t>(format.samplesPerSec, 1);
        return bytes + bytes / 4 + kContainerRoom;  // variable bit rates may run above the average
    }
    media::WaveFormat wave;
    wave.formatTag = format.floatSamples ? media::kWaveFormatIeeeFloat : media::kWaveFormatPcm;
    wave.channels = format.channels;
    wave.bitsPerSample = format.bitsPerSample;
    return media::core::WavWriter::headerSize(wave) + dataBytes + (dataBytes & 1);
}
}  // namespace

std::uint64_t mixFileBytes(const MixItemStore& store, const std::vector<bool>& usable, const PcmFormat& format,
                           const media::core::OutputEncoding& encoding)
{
    const auto frames = static_cast<std::uint64_t>(mixFrames(store, usable, static_cast<int>(format.samplesPerSec)));
    const std::uint64_t dataBytes = frames * format.blockAlign;
    // A normalized mix first goes to a temporary float file beside the output.
    return normalizingBytes(store, usable, format, encoding) + encodedFileBytes(frames, dataBytes, format, encoding);
}

std::uint64_t normalizingBytes(const MixItemStore& store, const std::vector<bool>& usable, const PcmFormat& format,
                               const media::core::OutputEncoding& encoding)
{
    if (!encoding.normalize)
        return 0;
    const auto frames = static_cast<std::uint64_t>(mixFrames(store, usable, static_cast<int>(format.samplesPerSec)));
    return frames * format.channels * sizeof(float);
}

std::optional<OutputSpace> outputSpaceFor(const QString& outputFile, std::uint64_t fileBytes, bool replacing)
{
    if (isSpecialFile(outputFile))
        return std::nullopt;
    const std::optional<FreeSpace> free = freeSpaceFor(outputFile);
    if (!free)
        return std::nullopt;
    OutputSpace space;
    space.neededBytes = (fileBytes + free->blockSize - 1) / free->blockSize * free->blockSize;
    space.freeBytes = free->availableBytes + (replacing ? bytesFreedByDeleting(outputFile) : 0);
    space.mountPoint = free->mountPoint;
    return space;
}

QString sizeText(std::uint64_t bytes, bool roundUp)
{
    if (bytes < 1000)
        return QStringLiteral("%1 bytes").arg(bytes);
    int exponent = 0;  // bytes = d.dd... x 10^exponent
    std::uint64_t scale = 1;
    for (std::uint64_t rest = bytes; rest >= 10; rest /= 10)
        ++exponent;
    for (int i = 0; i < exponent - 2; ++i)
        scale *= 10;
    std::uint64_t digits = bytes / scale;  // three significant digits, 100..999
    if (roundUp && bytes % scale != 0 && ++digits == 1000) {
        digits = 100;
        ++exponent;
    }
    static const char* const units[] = {"", "kB", "MB", "GB", "TB", "PB", "EB"};
    QString number = QString::number(digits);
    const int integerDigits = exponent % 3 + 1;
    if (integerDigits < 3) {
        number.insert(integerDigits, QLatin1Char('.'));
        while (number.endsWith(QLatin1Char('0')))
            number.chop(1);
        if (number.endsWith(QLatin1Char('.')))
            number.chop(1);
    }
    return number + QLatin1Char(' ') + QLatin1String(units[exponent / 3]);
}

QString temporaryShortOfSpaceText(const OutputSpace& space, const QString& folder)
{
    return QStringLiteral(
               "The normalized mix's temporary file in %1 (its first pass) needs %2 but only %3 are free "
               "on %4.")
        .arg(folder, sizeText(space.neededBytes, true), sizeText(space.freeBytes, false), space.mountPoint);
}

QString shortOfSpaceText(const OutputSpace& space)
{
    return QStringLiteral("The mix needs %1 but only %2 are free on %3.")
        .arg(sizeText(space.neededBytes, true), sizeText(space.freeBytes, false), space.mountPoint);
}

}  // namespace sonarel
