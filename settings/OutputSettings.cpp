// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/OutputSettings.h"

#include <QDir>
#include <QStandardPaths>
#include <algorithm>

#include "platform/Desktop.h"
#include "platform/PathHelpers.h"
#include "platform/PathLimits.h"
#include "settings/FrameRateTable.h"
#include "settings/ProfileStore.h"

namespace sonarel {

QString plainOutputDefault()
{
    return QString::fromStdString(joinPath(QDir::homePath().toStdString(), kOutputFileName.toStdString()));
}

QString musicFolderLocation()
{
    return QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
}

QString ReadProfilePathInMusicFolder(const ProfileStore& profile, const QString& section, const QString& key,
                                     const QString& plainDefault, const QString& musicFolder, Desktop& desktop)
{
    if (musicFolder.isEmpty()) {
        desktop.showMessage(QStringLiteral("Can not get My Music directory!"), QStringLiteral("Error"),
                            MessageIcon::Error);
        return profile.ReadString(section, key, plainDefault);
    }
    const std::string tail = TailFromLastBackslash(plainDefault.toStdString());
    const QString inMusic = QString::fromStdString(joinPath(musicFolder.toStdString(), tail));
    return profile.ReadString(section, key, inMusic);
}

std::int32_t readEdgeFadeMs(const ProfileStore& profile)
{
    return std::clamp(profile.ReadInt(profile::kSettings, profile::kEdgeFade, kDefaultEdgeFadeMs), 0,
                      kLongestEdgeFadeMs);
}

void writeEdgeFadeMs(ProfileStore& profile, std::int32_t milliseconds)
{
    profile.WriteInt(profile::kSettings, profile::kEdgeFade, std::clamp(milliseconds, 0, kLongestEdgeFadeMs));
}

OutputSettings loadOutputSettings(const ProfileStore& profile, const QString& musicFolder, Desktop& desktop)
{
    OutputSettings settings;
    const QString plain = plainOutputDefault();
    settings.outputFile = ReadProfilePathInMusicFolder(profile, profile::kSettings, profile::kOutputName, plain,
                                                       musicFolder, desktop);
    if (settings.outputFile.isEmpty() ||
        static_cast<std::size_t>(settings.outputFile.toUtf8().size()) >= kPathBufferSize)
        settings.outputFile = musicFolder.isEmpty() ? plain
                                                    : QString::fromStdString(joinPath(musicFolder.toStdString(),
                                                                                      kOutputFileName.toStdString()));
    settings.outputWidth = profile.ReadInt(profile::kSettings, profile::kOutputWidth, kDefaultOutputWidth);
    settings.outputHeight = profile.ReadInt(profile::kSettings, profile::kOutputHigh, kDefaultOutputHeight);
    const FrameRateChoice frameRate = resolveFrameRate(profile);
    settings.frameRateIndex = frameRate.index;
    settings.frameRate = frameRate.rate;
    settings.edgeFadeMs = readEdgeFadeMs(profile);
    return settings;
}

}  // namespace sonarel
