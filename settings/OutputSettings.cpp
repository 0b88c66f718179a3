// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/OutputSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>

#include "platform/Desktop.h"
#include "platform/MessageText.h"
#include "platform/NativePath.h"
#include "platform/PathHelpers.h"
#include "platform/PathLimits.h"
#include "settings/FrameRateTable.h"
#include "settings/ProfileStore.h"
#include "settings/WaveFormatChoice.h"

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
    // A stored empty name stays empty: the person chose it, and Mix then asks for a name.
    if (static_cast<std::size_t>(settings.outputFile.toUtf8().size()) >= kPathBufferSize)
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

namespace {

std::string numberText(double value)
{
    return QString::number(value, 'g', 10).toStdString();
}

// A finite number within lowest..highest, or none.
std::optional<double> numberIn(const std::string& text, double lowest, double highest)
{
    bool ok = false;
    const double value = QString::fromStdString(text).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

// "$HOME", "${HOME}", "$(...)": what a shell would have replaced.
bool holdsShellVariable(std::string_view name)
{
    for (std::size_t dollar = name.find('$'); dollar != std::string_view::npos; dollar = name.find('$', dollar + 1)) {
        const char next = dollar + 1 < name.size() ? name[dollar + 1] : '\0';
        if (next == '_' || next == '{' || next == '(' || (next >= 'A' && next <= 'Z') || (next >= 'a' && next <= 'z'))
            return true;
    }
    return false;
}

// Why a list's output name is not taken, in words; empty with `resolved` set to the absolute name
// when it is. The name is checked as the file system would see it: in bytes, after decoding.
QString listOutputFileProblem(const std::string& value, const std::string& listFolder, QString& resolved)
{
    if (!outputNameProblem(pathFromBytes(value)).isEmpty())
        return QStringLiteral("the name holds a control character");
    if (value.front() == '~' || holdsShellVariable(value))
        return QStringLiteral("~ and $NAME are not expanded in a list; write the folder out in full");
    if (!media::core::containerByExtension(value))
        return QStringLiteral("the name must end in one of these extensions: %1")
            .arg(QString::fromStdString(media::core::writableContainersText()));
    if (value.front() != kPathSeparator && listFolder.empty())
        return QStringLiteral("a relative name is taken from the list's folder, and this list has none");
    const std::string absolute = value.front() == kPathSeparator ? absolutePathBytes(value)
                                                                 : absolutePathBytes(joinPath(listFolder, value));
    if (absolute.size() >= kPathBufferSize)
        return QStringLiteral("the name is too long");
    resolved = pathFromBytes(absolute);  // the bytes of a name that is not UTF-8 too
    return {};
}

bool takeOutputLine(const ListOutputLine& line, OutputSettings& settings)
{
    const std::string& key = line.key;
    if (key == "format") {
        const auto container = media::core::containerByName(line.value);
        if (container)
            settings.outputFormat = container;
        return container.has_value();
    }
    if (key == "normalize") {
        if (line.value == "off") {
            settings.normalizeLufs.reset();
            return true;
        }
        const auto lufs = numberIn(line.value, -70.0, 0.0);
        if (lufs)
            settings.normalizeLufs = lufs;
        return lufs.has_value();
    }
    if (key == "true_peak") {
        const auto ceiling = numberIn(line.value, -20.0, 0.0);
        if (ceiling)
            settings.truePeakCeilingDbtp = *ceiling;
        return ceiling.has_value();
    }
    if (key == "limiter") {
        if (line.value != "on" && line.value != "off")
            return false;
        settings.limiter = line.value == "on";
        return true;
    }
    if (key == "limit") {
        const auto ceiling = numberIn(line.value, -20.0, 0.0);
        if (ceiling)
            settings.limitDbtp = ceiling;
        return ceiling.has_value();
    }
    if (key == "dither") {
        if (line.value != "on" && line.value != "off")
            return false;
        settings.dither = line.value == "on";
        return true;
    }
    const auto whole = numberIn(line.value, 0.0, 1e6);
    if (!whole || *whole != std::floor(*whole))
        return false;
    const int value = static_cast<int>(*whole);
    if (key == "rate" && value >= static_cast<int>(kLowestSampleRate) && value <= static_cast<int>(kHighestSampleRate))
        setSampleRate(settings, static_cast<std::uint32_t>(value));
    else if (key == "channels" && (value == 1 || value == 2))
        settings.channelsIndex = value == 1 ? 1 : 0;
    else if (key == "bits" && (value == 8 || value == 16 || value == 24 || value == 32))
        setSampleBits(settings, value);
    else if (key == "bitrate" && value > 0 && value <= 1024)
        settings.bitrateKbps = value;
    else
        return false;
    return true;
}

}  // namespace

ListOutputLines listOutputLinesOf(const OutputSettings& settings)
{
    const OutputChoice choice = outputChoiceOf(settings);
    const media::core::ContainerInfo& info = media::core::containerInfo(choice.encoding.container);
    ListOutputLines lines{
        {"file", pathBytes(settings.outputFile)},         {"format", info.name},
        {"rate", std::to_string(sampleRateOf(settings))}, {"channels", settings.channelsIndex == 1 ? "1" : "2"},
        {"bits", std::to_string(sampleBitsOf(settings))},
    };
    if (info.defaultKbps != 0 && settings.bitrateKbps != 0)
        lines.push_back({"bitrate", std::to_string(settings.bitrateKbps)});
    lines.push_back({"normalize", settings.normalizeLufs ? numberText(*settings.normalizeLufs) : "off"});
    lines.push_back({"true_peak", numberText(settings.truePeakCeilingDbtp)});
    lines.push_back({"dither", settings.dither ? "on" : "off"});
    if (!settings.limiter)
        lines.push_back({"limiter", "off"});
    if (settings.limitDbtp)
        lines.push_back({"limit", numberText(*settings.limitDbtp)});
    return lines;
}

void takeListOutput(const OutputSettings& from, OutputSettings& into)
{
    into.outputFile = from.outputFile;
    into.outputNamedByList = from.outputNamedByList;
    into.listOutputAccepted = from.listOutputAccepted;
    into.outputFormat = from.outputFormat;
    into.sampleRateIndex = from.sampleRateIndex;
    into.channelsIndex = from.channelsIndex;
    into.bitsIndex = from.bitsIndex;
    into.sampleRate = from.sampleRate;
    into.sampleBits = from.sampleBits;
    into.bitrateKbps = from.bitrateKbps;
    into.normalizeLufs = from.normalizeLufs;
    into.truePeakCeilingDbtp = from.truePeakCeilingDbtp;
    into.dither = from.dither;
    into.limiter = from.limiter;
    into.limitDbtp = from.limitDbtp;
}

int applyListOutputLines(const ListOutputLines& lines, const std::string& listFolder, OutputSettings& settings,
                         QString* refusal)
{
    int taken = 0;
    bool fileRefused = false;
    for (const ListOutputLine& line : lines) {
        if (line.key != "file")
            continue;
        if (line.value.empty())
            continue;  // no name at all: nothing suggested
        QString resolved;
        const QString problem = listOutputFileProblem(line.value, listFolder, resolved);
        if (!problem.isEmpty()) {
            fileRefused = true;
            if (refusal)
                *refusal = QStringLiteral("the output line \"file=%1\" is refused: %2")
                               .arg(nameInMessage(pathFromBytes(line.value)), problem);
            continue;
        }
        settings.outputFile = resolved;
        settings.outputNamedByList = true;
        settings.listOutputAccepted = false;
        fileRefused = false;
        ++taken;
    }
    for (const ListOutputLine& line : lines) {
        // The format goes with the list's file: a refused one takes it along.
        if (line.key == "file" || (line.key == "format" && fileRefused))
            continue;
        taken += takeOutputLine(line, settings) ? 1 : 0;
    }
    if (!QFileInfo(settings.outputFile).suffix().isEmpty())
        settings.outputFormat.reset();  // an unknown extension is then refused before a mix, not written as WAV
    return taken;
}

QString outputNameProblem(const QString& name)
{
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f))
            return QStringLiteral(
                       "The output file name %1 holds a control character. Please choose another output "
                       "file.")
                .arg(nameInMessage(name));
    }
    return {};
}

}  // namespace sonarel
