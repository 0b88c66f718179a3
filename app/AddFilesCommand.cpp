// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AddFilesCommand.h"

#include <initializer_list>
#include <span>

#include "platform/FileChecks.h"
#include "platform/MessageText.h"
#include "platform/NativePath.h"
#include "platform/PathHelpers.h"
#include "render/MediaProbe.h"
#include "settings/OutputSettings.h"
#include "settings/ProfileStore.h"

namespace sonarel {

namespace {

// Extensions of the files the engine decodes, by kind. The first ones of each list are those the
// program has always offered; the others are the common kinds FFmpeg reads as well.
constexpr const char* kAudioExtensions[] = {
    "mp3", "wav", "ac3", "ogg", "mpa", "mp2", "au",  "aif", "aiff", "snd", "flac", "opus", "oga", "m4a", "m4b",
    "aac", "wma", "mka", "wv",  "ape", "caf", "amr", "awb", "spx",  "tta", "mpc",  "aifc", "w64", "dts", "eac3",
};
constexpr const char* kVideoExtensions[] = {
    "avi",  "vob", "qt",  "mov", "mpg", "mpeg", "dat",  "mp4", "divx", "div", "ogm", "mkv",
    "webm", "m4v", "3gp", "3g2", "ts",  "mts",  "m2ts", "flv", "ogv",  "wmv", "dv",
};
constexpr const char* kWindowsMediaExtensions[] = {"asf", "wma", "wmv"};

// "*.ext" and "*.EXT" for each extension: some file dialogs match names case-sensitively.
QStringList patterns(std::initializer_list<std::span<const char* const>> lists)
{
    QStringList result;
    for (std::span<const char* const> extensions : lists) {
        for (const char* extension : extensions) {
            const QString name = QString::fromLatin1(extension);
            result << QStringLiteral("*.") + name.toLower() << QStringLiteral("*.") + name.toUpper();
        }
    }
    result.removeDuplicates();
    return result;
}

// Why a path cannot be added, or empty when it can. A file no decoder can open is still added
// (with its failed duration); what is not a readable file at all is not.
QString refusalOf(const QString& path)
{
    if (!fitsPathBuffer(pathBytes(path)))
        return QStringLiteral("%1: the path is too long").arg(path);
    // By the name's own bytes: QFileInfo would look for another name when it is not UTF-8.
    if (!fileIdentity(path))
        return QStringLiteral("%1: the file does not exist").arg(path);
    if (isFolder(path))
        return QStringLiteral("%1: this is a folder, not a file").arg(path);
    if (!fileCanBeRead(path))
        return QStringLiteral("%1: the file cannot be read").arg(path);
    return {};
}

}  // namespace

FileDialogRequest addFilesDialogRequest(const QString& lastFolder)
{
    FileDialogRequest request;
    request.title = QStringLiteral("Select Media Files...");
    request.initialFolder = lastFolder;
    request.filters = {
        {QStringLiteral("Media Files (all types)"),
         patterns({kAudioExtensions, kVideoExtensions, kWindowsMediaExtensions})},
        {QStringLiteral("Audio files (*.mp3;*.wav;*.ac3;*.ogg;*.mpa;*.mp2;*.au;*.aif;*.aiff;*.snd)"),
         patterns({kAudioExtensions})},
        {QStringLiteral("Video Files (*.avi;*.mpg;*.mpeg;*.vob;*.dat;*.mp4;*.divx;*.div;*.ogm;*.qt;*.mov)"),
         patterns({kVideoExtensions})},
        {QStringLiteral("Windows Media Files (*.asf;*.wma;*.wmv)"), patterns({kWindowsMediaExtensions})},
        // "*.*" would hide files without an extension here.
        {QStringLiteral("Any Files (*.*)"), {QStringLiteral("*")}},
    };
    request.selectedFilter = 0;
    return request;
}

AddFilesResult addFilesToMixList(MixItemStore& store, const QStringList& paths, media::MediaLibrary& library,
                                 const AddFilesProgress& progress)
{
    AddFilesResult result;
    const int total = static_cast<int>(paths.size());
    for (int i = 0; i < total; ++i) {
        if (progress && !progress(i, total)) {
            result.cancelled = true;
            break;
        }
        const QString& path = paths[i];
        if (store.isFull()) {
            result.refused << QStringLiteral("%1: the list is full (it holds at most %2 files)")
                                  .arg(path, QString::number(kMixItemCapacity));
            continue;
        }
        if (const QString refusal = refusalOf(path); !refusal.isEmpty()) {
            result.refused << refusal;
            continue;
        }
        if (store.append(pathBytes(path), MeasureAudioDuration(library, path)) == AppendResult::Appended)
            ++result.added;
    }
    if (progress && !result.cancelled)
        progress(total, total);
    return result;
}

QString refusedFilesMessage(const AddFilesResult& result)
{
    if (result.refused.isEmpty())
        return {};
    return QStringLiteral("These files could not be added to the list:\n") + listInMessage(result.refused);
}

void rememberLastFolder(const MixItemStore& store, ProfileStore& profile)
{
    if (store.audioCount() == 0)
        return;
    const std::string_view last = store.at(store.audioCount() - 1).filePath;
    profile.WriteString(profile::kOption, profile::kLastAudioFolder, QString::fromStdString(FolderOfPath(last)));
}

}  // namespace sonarel
