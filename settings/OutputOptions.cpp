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

}  // namespace

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
    form.sampleRateIndex = settings.sampleRateIndex;
    form.channelsIndex = settings.channelsIndex;
    form.bitsIndex = settings.bitsIndex;
    form.edgeFadeMs = settings.edgeFadeMs;
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
    result.sampleRateIndex = form.sampleRateIndex;
    result.channelsIndex = form.channelsIndex;
    result.bitsIndex = form.bitsIndex;
    result.edgeFadeMs = std::clamp(form.edgeFadeMs, 0, kLongestEdgeFadeMs);
    if (result.edgeFadeMs != readEdgeFadeMs(profile))  // only a changed ramp adds its key
        writeEdgeFadeMs(profile, result.edgeFadeMs);
    settings = result;
    return OutputOptionsOutcome::Accepted;
}

void copyBackOutputOptions(OutputSettings& owner, const OutputSettings& confirmed)
{
    owner.outputFile = confirmed.outputFile;
    owner.sampleRateIndex = confirmed.sampleRateIndex;
    owner.channelsIndex = confirmed.channelsIndex;
    owner.bitsIndex = confirmed.bitsIndex;
    owner.edgeFadeMs = confirmed.edgeFadeMs;
}

QString browseOutputFile(const QString& receivedOutputFile, Desktop& desktop)
{
    FileDialogRequest request;
    request.title = QStringLiteral("Select Output File Name");
    request.initialFolder = folderToStartIn(receivedOutputFile);
    request.filters = {{QStringLiteral("WAV file"), {QStringLiteral("*.wav")}}};
    request.selectedFilter = 0;
    // The name changes below, so a question about the chosen file would ask about the wrong one;
    // the Mix command asks before it replaces a file.
    request.confirmOverwrite = false;
    const QString chosen = desktop.chooseFileToSave(request);
    return chosen.isEmpty() ? QString() : withWavExtension(chosen);
}

QString withWavExtension(const QString& path)
{
    const std::string text = path.toStdString();
    const std::size_t nameStart = FolderOfPath(text).size();
    const std::size_t dot = text.rfind('.');
    const std::string stem = dot != std::string::npos && dot >= nameStart ? text.substr(0, dot) : text;
    return QString::fromStdString(stem + ".wav");
}

std::int32_t frameSizeToStore(std::int32_t pixels)
{
    constexpr std::int32_t kSmallestFrameSize = 16;
    return std::max(pixels / 8 * 8, kSmallestFrameSize);
}

}  // namespace sonarel
