// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/OutputOptions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>
#include "model/NumberText.h"
#include "platform/Desktop.h"
#include "platform/PathHelpers.h"
#include "platform/PathLimits.h"
#include "platform/media/services/MediaLibrary.h"
#include "settings/FrameRateTable.h"
#include "settings/ProfileStore.h"
#include "settings/WaveFormatChoice.h"

namespace sonarel {

namespace {

constexpr int kFrameRateCount = static_cast<int>(FrameRateTable.size());
constexpr int kResizePreserveAspectRatio = 2;

int frameRateIndexOrFirst(int index)
{
    return index >= 0 && index < kFrameRateCount ? index : 0;
}

// The custom box as a number; a text that is no finite number counts as 0, so "inf" or "nan"
// can never be stored as a frame rate.
double customFrameRate(const QString& text)
{
    const double rate = readLeadingNumber(text).value_or(0.0);
    return std::isfinite(rate) ? rate : 0.0;
}

// The folder of a path without its last separator; the root stays "/", and a bare name starts
// in the current folder.
QString folderToStartIn(const QString& path)
{
    std::string folder = FolderOfPath(path.toStdString());
    if (folder.empty())
        return QStringLiteral(".");
    if (folder.size() > 1)
        folder.pop_back();
    return QString::fromStdString(folder);
}

const std::vector<media::core::ContainerInfo>& containers()
{
    return media::core::allContainers();
}

int indexOfContainer(media::core::OutputContainer container)
{
    for (std::size_t i = 0; i < containers().size(); ++i)
        if (containers()[i].container == container)
            return static_cast<int>(i);
    return 0;
}

template <typename T, std::size_t N>
int indexIn(const T (&list)[N], T value)
{
    const auto* found = std::find(std::begin(list), std::end(list), value);
    return found == std::end(list) ? 0 : static_cast<int>(found - std::begin(list));
}

template <typename T, std::size_t N>
T entryAt(const T (&list)[N], int index)
{
    return index >= 0 && static_cast<std::size_t>(index) < N ? list[index] : list[0];
}

// The format the settings write: the one named by their choice, else by the extension, else WAV.
media::core::OutputContainer formatOf(const OutputSettings& settings)
{
    if (settings.outputFormat)
        return *settings.outputFormat;
    return media::core::containerByExtension(settings.outputFile.toStdString())
        .value_or(media::core::OutputContainer::Wav);
}

}  // namespace

int formatIndexOfName(const QString& path)
{
    if (withExtension(path, QString()) == path)
        return -1;  // no extension
    const auto container = media::core::containerByExtension(path.toStdString());
    return container ? indexOfContainer(*container) : -1;
}

int defaultBitrateOf(int formatIndex)
{
    return formatIndex >= 0 && static_cast<std::size_t>(formatIndex) < containers().size()
               ? containers()[static_cast<std::size_t>(formatIndex)].defaultKbps
               : 0;
}

QStringList compressorList(media::CompressorCategory category, media::MediaLibrary& library, Desktop& desktop)
{
    QStringList list{category == media::CompressorCategory::Video ? kFirstVideoCompressor : kFirstAudioCompressor};
    std::unique_ptr<media::CompressorEnumerator> enumerator;
    if (media::failed(media::createCompressorEnumerator(library, enumerator))) {
        desktop.showAppMessage(QStringLiteral("Failed to create system enumerator"));
        return list;
    }
    std::vector<std::string> names;
    if (media::failed(enumerator->categoryNames(category, names))) {
        desktop.showAppMessage(QStringLiteral("Failed to create class enumerator"));
        return list;
    }
    for (const std::string& name : names)
        list << QString::fromStdString(name);
    return list;
}

OutputOptionsForm initialOutputOptions(const OutputSettings& settings, media::MediaLibrary& library, Desktop& desktop)
{
    OutputOptionsForm form;
    form.outputFile = settings.outputFile;
    form.widthText = QString::number(settings.outputWidth);
    form.heightText = QString::number(settings.outputHeight);
    form.frameRateText = QString::asprintf("%.3f", settings.frameRate);
    form.frameRateIndex = frameRateIndexOrFirst(settings.frameRateIndex);
    form.videoCompressors = compressorList(media::CompressorCategory::Video, library, desktop);
    form.videoCompressorIndex = 0;
    form.audioCompressors = compressorList(media::CompressorCategory::Audio, library, desktop);
    form.audioCompressorIndex = 0;
    form.pictureFitIndex = settings.resizeMode == kResizePreserveAspectRatio ? 0 : 1;
    form.sampleRateIndex = indexIn(kAllSampleRates, sampleRateOf(settings));
    form.channelsIndex = settings.channelsIndex;
    form.bitsIndex = indexIn(kBitsChoices, sampleBitsOf(settings));
    form.edgeFadeMs = settings.edgeFadeMs;
    form.formatIndex = indexOfContainer(formatOf(settings));
    form.bitrateKbps = settings.bitrateKbps != 0 ? settings.bitrateKbps : defaultBitrateOf(form.formatIndex);
    form.normalize = settings.normalizeLufs.has_value();
    form.normalizeLufs = settings.normalizeLufs.value_or(kDefaultNormalizeLufs);
    form.truePeakCeilingDbtp = settings.truePeakCeilingDbtp;
    form.limiter = settings.limiter;
    form.dither = settings.dither;
    return form;
}

OutputOptionsOutcome confirmOutputOptions(const OutputOptionsForm& form, OutputSettings& settings,
                                          ProfileStore& profile, Desktop& desktop)
{
    if (customFrameRate(form.frameRateText) < kSmallestFrameRate) {
        desktop.showMessage(kFrameRateTooSmall, applicationName(), MessageIcon::None);
        return OutputOptionsOutcome::FrameRateTooSmall;
    }
    // Checked before anything is written, so a refused name leaves the profile as it was; a
    // name that does not fit is never cut.
    if (static_cast<std::size_t>(form.outputFile.toUtf8().size()) >= kPathBufferSize) {
        desktop.showAppMessage(QStringLiteral("The output file name is too long: a path may hold at most %1 bytes.")
                                   .arg(kPathBufferSize - 1));
        return OutputOptionsOutcome::OutputFileTooLong;
    }

    // A failed profile write is not reported: the values chosen still hold for this run.
    OutputSettings result = settings;
    result.frameRateIndex = frameRateIndexOrFirst(form.frameRateIndex);
    profile.WriteInt(profile::kSettings, profile::kOutputFrameRateIndex, result.frameRateIndex);
    result.frameRate = result.frameRateIndex == kCustomFrameRateIndex
                           ? customFrameRate(form.frameRateText)
                           : FrameRateTable[static_cast<std::size_t>(result.frameRateIndex)].rate;
    profile.WriteString(profile::kSettings, profile::kOutputFrameRate, QString::asprintf("%f", result.frameRate));
    result.outputFile = form.outputFile;
    profile.WriteString(profile::kSettings, profile::kOutputName, result.outputFile);
    result.outputWidth = frameSizeToStore(readLeadingInteger(form.widthText));
    result.outputHeight = frameSizeToStore(readLeadingInteger(form.heightText));
    profile.WriteInt(profile::kSettings, profile::kOutputWidth, result.outputWidth);
    profile.WriteInt(profile::kSettings, profile::kOutputHigh, result.outputHeight);
    profile.WriteInt(profile::kVideoCompress, profile::kCompressorNumber, form.videoCompressorIndex - 1);
    profile.WriteInt(profile::kAudioCompress, profile::kCompressorNumber, form.audioCompressorIndex - 1);
    setSampleRate(result, entryAt(kAllSampleRates, form.sampleRateIndex));
    result.channelsIndex = form.channelsIndex;
    setSampleBits(result, entryAt(kBitsChoices, form.bitsIndex));
    // A name with an extension says its format (and one that names none is refused at Mix, before
    // anything is written); the choice holds for a name without one.
    const int formatIndex = std::clamp(form.formatIndex, 0, static_cast<int>(containers().size()) - 1);
    const media::core::OutputContainer chosen = containers()[static_cast<std::size_t>(formatIndex)].container;
    result.outputFormat.reset();
    if (withExtension(result.outputFile, QString()) == result.outputFile && chosen != media::core::OutputContainer::Wav)
        result.outputFormat = chosen;
    const int defaultKbps = defaultBitrateOf(formatIndex);
    // 0 (shown as "-") is the format's default too; the encoders take no less than 8 kbit/s.
    result.bitrateKbps = defaultKbps == 0 || form.bitrateKbps <= 0 || form.bitrateKbps == defaultKbps
                             ? 0
                             : std::clamp(form.bitrateKbps, 8, 512);
    result.normalizeLufs.reset();
    if (form.normalize)
        result.normalizeLufs = std::clamp(form.normalizeLufs, -70.0, 0.0);
    result.truePeakCeilingDbtp = std::clamp(form.truePeakCeilingDbtp, -20.0, 0.0);
    result.limiter = form.limiter;
    result.dither = form.dither;
    result.edgeFadeMs = std::clamp(form.edgeFadeMs, 0, kLongestEdgeFadeMs);
    if (result.edgeFadeMs != readEdgeFadeMs(profile))  // only a changed ramp adds its key
        writeEdgeFadeMs(profile, result.edgeFadeMs);
    settings = result;
    return OutputOptionsOutcome::Accepted;
}

void copyBackOutputOptions(OutputSettings& owner, const OutputSettings& confirmed)
{
    if (confirmed.outputFile != owner.outputFile) {
        owner.outputNamedByList = false;  // chosen by the user now
        owner.listOutputAccepted = false;
    }
    owner.outputFile = confirmed.outputFile;
    owner.sampleRateIndex = confirmed.sampleRateIndex;
    owner.channelsIndex = confirmed.channelsIndex;
    owner.bitsIndex = confirmed.bitsIndex;
    owner.sampleRate = confirmed.sampleRate;
    owner.sampleBits = confirmed.sampleBits;
    owner.outputFormat = confirmed.outputFormat;
    owner.bitrateKbps = confirmed.bitrateKbps;
    owner.normalizeLufs = confirmed.normalizeLufs;
    owner.truePeakCeilingDbtp = confirmed.truePeakCeilingDbtp;
    owner.limiter = confirmed.limiter;
    owner.dither = confirmed.dither;
    owner.edgeFadeMs = confirmed.edgeFadeMs;
}

QString browseOutputFile(const QString& receivedOutputFile, Desktop& desktop, media::core::OutputContainer format)
{
    const media::core::ContainerInfo& info = media::core::containerInfo(format);
    const QString extension = QString::fromLatin1(info.extension);
    FileDialogRequest request;
    request.title = QStringLiteral("Select Output File Name");
    request.initialFolder = folderToStartIn(receivedOutputFile);
    // The name as the box would take it back, so OK on the dialog keeps the file as it was.
    const std::string received = receivedOutputFile.toStdString();
    const QString name = QString::fromStdString(received.substr(FolderOfPath(received).size()));
    if (!name.isEmpty())
        request.initialFile = withExtension(name, extension);
    request.filters = {{QString::fromLatin1(info.title) + QStringLiteral(" file"), {QLatin1Char('*') + extension}}};
    request.selectedFilter = 0;
    // The name changes below, so a question about the chosen file would ask about the wrong one;
    // the Mix command asks before it replaces a file.
    request.confirmOverwrite = false;
    const QString chosen = desktop.chooseFileToSave(request);
    return chosen.isEmpty() ? QString() : withExtension(chosen, extension);
}

QString withWavExtension(const QString& path)
{
    return withExtension(path, QStringLiteral(".wav"));
}

QString withExtension(const QString& path, const QString& extension)
{
    const std::string text = path.toStdString();
    const std::size_t nameStart = FolderOfPath(text).size();
    const std::size_t dot = text.rfind('.');
    const std::string stem = dot != std::string::npos && dot >= nameStart ? text.substr(0, dot) : text;
    return QString::fromStdString(stem) + extension;
}

std::int32_t frameSizeToStore(std::int32_t pixels)
{
    constexpr std::int32_t kSmallestFrameSize = 16;
    return std::max(pixels / 8 * 8, kSmallestFrameSize);
}

}  // namespace sonarel
