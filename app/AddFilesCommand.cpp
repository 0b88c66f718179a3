#include "app/AddFilesCommand.h"

#include "platform/PathHelpers.h"
#include "render/MediaProbe.h"
#include "settings/OutputSettings.h"
#include "settings/ProfileStore.h"

namespace sonarel {

namespace {

QStringList patterns(const char* list)
{
    QStringList result;
    for (const QString& pattern : QString::fromLatin1(list).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmedPattern = pattern.trimmed();
        if (!trimmedPattern.isEmpty())
            result << trimmedPattern;
    }
    return result;
}

}  // namespace

FileDialogRequest addFilesDialogRequest(const QString& lastFolder)
{
    FileDialogRequest request;
    request.title = QStringLiteral("Select Media Files...");
    request.initialFolder = lastFolder;
    request.filters = {
        {QStringLiteral("Media Files (all types)"),
         patterns("*.asf;*.wma;*.wmv;*.avi;*.vob;*.qt;*.mov;*.mpg;*.mpeg;*.dat;*.mp4;*.divx;*.div;*.ogm;*.wav;"
                  "*.mpa;*.mp2;*.mp3;*.au;*.aif;*.aiff;*.snd;*.ogg;*.ac3")},
        {QStringLiteral("Audio files (*.mp3;*.wav;*.ac3;*.ogg;*.mpa;*.mp2;*.au;*.aif;*.aiff;*.snd)"),
         patterns("*.mp3; *.wav; *.ac3; *.ogg; *.mpa; *.mp2; *.au; *.aif; *.aiff; *.snd")},
        {QStringLiteral("Video Files (*.avi;*.mpg;*.mpeg;*.vob;*.dat;*.mp4;*.divx;*.div;*.ogm;*.qt;*.mov)"),
         patterns("*.avi; *.vob; *.qt; *.mov; *.mpg; *.mpeg; *.dat; *.mp4; *.divx; *.div; *.ogm")},
        {QStringLiteral("Windows Media Files (*.asf;*.wma;*.wmv)"), patterns("*.asf; *.wma; *.wmv")},
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
        const QByteArray utf8 = path.toUtf8();
        const std::string_view bytes(utf8.constData(), static_cast<std::size_t>(utf8.size()));
        MixItem probe;
        if (!probe.setFilePath(bytes)) {
            result.refused << QStringLiteral("%1: the path is too long").arg(path);
            continue;
        }
        if (store.append(bytes, MeasureAudioDuration(library, path)) == AppendResult::Appended)
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
    return QStringLiteral("These files could not be added to the list:\n") + result.refused.join(QLatin1Char('\n'));
}

void rememberLastFolder(const MixItemStore& store, ProfileStore& profile)
{
    if (store.audioCount() == 0)
        return;
    const std::string_view last = store.at(store.audioCount() - 1).filePath();
    profile.WriteString(profile::kOption, profile::kLastAudioFolder, QString::fromStdString(FolderOfPath(last)));
}

}  // namespace sonarel
