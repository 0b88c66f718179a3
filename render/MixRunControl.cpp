// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/MixRunControl.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/Desktop.h"
#include "platform/FileChecks.h"
#include "platform/FreeSpace.h"
#include "platform/MessageText.h"
#include "platform/NativePath.h"
#include "platform/PathHelpers.h"
#include "platform/media/core/ContainerTags.h"
#include "platform/media/core/Placement.h"
#include "render/EngineEntry.h"
#include "render/MixChapters.h"
#include "render/OutputSpace.h"
#include "render/TimelineBuilder.h"

namespace sonarel {

REFERENCE_TIME cutRampOf(const OutputSettings& settings)
{
    constexpr REFERENCE_TIME kUnitsPerMillisecond = kReferenceUnitsPerSecond / 1000;
    return std::clamp(settings.edgeFadeMs, 0, kLongestEdgeFadeMs) * kUnitsPerMillisecond;
}

QString usedTimeText(int seconds)
{
    return QString::asprintf("Please wait... Used Time: %02d:%02d:%02d", seconds / 3600, (seconds % 3600) / 60,
                             seconds % 60);
}

QString outputFileText(const QString& outputFile)
{
    return QStringLiteral("Output File: ") + outputFile;
}

QString doneText(const QString& outputFile)
{
    return QStringLiteral("Done. Output File: ") + outputFile;
}

QString clippingText(std::int64_t clippedSamples, double peakLevel)
{
    const double decibels = peakLevel > 0.0 ? 20.0 * std::log10(peakLevel) : 0.0;
    return QString::asprintf("%lld samples clipped, peak %+.1f dBFS: lower the volumes",
                             static_cast<long long>(clippedSamples), decibels);
}

QString silencedText(const std::vector<std::string>& files)
{
    QStringList lines;
    for (const std::string& file : files)
        lines << QStringLiteral("%1 contains samples that are not numbers; they were silenced.")
                     .arg(nameInMessage(QString::fromStdString(file)));
    return listInMessage(lines);
}

QString endedEarlyText(const std::vector<media::EndedEarlySource>& sources, const std::vector<int>& entryOfSource)
{
    QStringList lines;
    for (const media::EndedEarlySource& source : sources) {
        const int entry = source.source < entryOfSource.size() ? entryOfSource[source.source]
                                                               : static_cast<int>(source.source);
        lines << QStringLiteral(
                     "%1 ended early, at %2 s of the mix (entry %3): %4, so the rest of its entry is silent.")
                     .arg(QString::fromStdString(source.file), QString::number(source.endSeconds, 'f', 1),
                          QString::number(entry + 1),
                          source.shrank ? QStringLiteral("the file became shorter while it was mixed")
                                        : QStringLiteral("the file holds less sound than its header says"));
    }
    return lines.join(QLatin1Char('\n'));
}

namespace {
MixSummary summaryBeforeMix(const MixItemStore& store, const std::vector<bool>& usable, int rate)
{
    MixSummary summary;
    for (int i = 0; i < store.audioCount(); ++i)
        if (!usable[static_cast<std::size_t>(i)] && entryMixing(store.at(i)) != EntryMixing::Muted)
            summary.skippedEntries.push_back(i);
    summary.frames = mixFrames(store, usable, rate);
    return summary;
}

QString levelText(double value)
{
    return std::isfinite(value) ? QString::asprintf("%.1f", value) : QStringLiteral("-inf");
}

QString gainText(double value)
{
    return QString::asprintf("%+.1f", std::abs(value) < 0.05 ? 0.0 : value);
}

// Each entry's group, as its stem is chosen by.
std::vector<QString> entryGroups(const MixItemStore& store)
{
    std::vector<QString> groups;
    groups.reserve(static_cast<std::size_t>(store.audioCount()));
    for (int i = 0; i < store.audioCount(); ++i)
        groups.push_back(QString::fromStdString(store.at(i).group));
    return groups;
}

// Whether two folders are one, by what they lead to when both exist, by their absolute paths when
// one does not yet.
bool sameFolder(const QString& a, const QString& b)
{
    const auto first = fileIdentity(a);
    const auto second = fileIdentity(b);
    if (first && second)
        return *first == *second;
    return QDir::cleanPath(QDir(a).absolutePath()) == QDir::cleanPath(QDir(b).absolutePath());
}
}  // namespace

QString loudnessText(const media::LoudnessFigures& loudness, const OutputSettings& settings)
{
    if (!loudness.measured)
        return {};
    QString text = QStringLiteral("Loudness: %1 LUFS, range %2 LU, true peak %3 dBTP")
                       .arg(levelText(loudness.integratedLufs), levelText(loudness.rangeLu),
                            levelText(loudness.truePeakDbtp));
    if (loudness.normalized && loudness.belowTargetLu > 0.05)
        text += QStringLiteral("\nThe true-peak ceiling of %1 dBTP held the mix %2 LU below the target of %3 LUFS.")
                    .arg(levelText(settings.truePeakCeilingDbtp), levelText(loudness.belowTargetLu),
                         levelText(settings.normalizeLufs.value_or(0.0)));
    else if (loudness.normalized && !std::isfinite(loudness.integratedLufs))
        text += QStringLiteral("\nThe mix is silent: there was no loudness to normalize.");
    if (loudness.normalized)
        text += QStringLiteral("\nThe gain was %1 dB.").arg(gainText(loudness.gainDb));
    if (loudness.limited && loudness.limitedPeaks > 0)
        text += QStringLiteral("\nThe limiter lowered %1 %2, at most %3 dB.")
                    .arg(loudness.limitedPeaks)
                    .arg(loudness.limitedPeaks == 1 ? QStringLiteral("peak") : QStringLiteral("peaks"))
                    .arg(levelText(loudness.limiterMostDb));
    else if (loudness.limited)
        text += QStringLiteral("\nThe limiter lowered no peaks.");
    return text;
}

bool confirmListOutput(OutputSettings& settings, Desktop& desktop)
{
    if (!settings.outputNamedByList || settings.listOutputAccepted)
        return true;
    settings.listOutputAccepted = desktop.askYesNo(
        QStringLiteral("This list writes its mix to %1. Write it there?").arg(nameInMessage(settings.outputFile)),
        applicationName(), MessageIcon::Exclamation);
    return settings.listOutputAccepted;
}

MixRunControl::MixRunControl(media::MediaLibrary& library, Desktop& desktop, MixRunView& view)
    : library_(library), desktop_(desktop), view_(view)
{
}

MixRunControl::~MixRunControl()
{
    // The graph must not post into an owner that is going away. Both calls always succeed.
    if (job_.events)
        static_cast<void>(job_.events->setNotify({}));
    if (job_.control)
        static_cast<void>(job_.control->stop());
}

double MixRunControl::progress() const
{
    if (!mixing_ || !job_.seeking)
        return -1.0;
    media::REFERENCE_TIME position = 0;
    media::REFERENCE_TIME stop = 0;
    if (media::failed(job_.seeking->getCurrentPosition(position)) ||
        media::failed(job_.seeking->getStopPosition(stop)) || stop <= 0)
        return -1.0;
    return std::clamp(static_cast<double>(position) / static_cast<double>(stop), 0.0, 1.0);
}

std::int64_t MixRunControl::framesDone() const
{
    media::REFERENCE_TIME position = 0;
    if (!mixing_ || !job_.seeking || media::failed(job_.seeking->getCurrentPosition(position)))
        return 0;
    // The position is the frames written in 100-ns units, rounded; a frame is longer than one.
    const auto rate = static_cast<std::int64_t>(outputChoiceOf(runSettings_).format.samplesPerSec);
    return (position * rate + kReferenceUnitsPerSecond / 2) / kReferenceUnitsPerSecond;
}

bool MixRunControl::outputIsAnInput(const MixItemStore& store, const QString& outputFile)
{
    const auto output = fileIdentity(outputFile);
    if (!output)
        return false;
    for (int i = 0; i < store.audioCount(); ++i) {
        if (fileIdentity(store.at(i).filePathText()) == output)
            return true;
    }
    return false;
}

// A normalized mix into a pipe or a device keeps its first pass in the temporary folder, which
// is checked on its own; otherwise that file lies beside the output and counts with it.
QString MixRunControl::shortageBeforeMix(const MixItemStore& store, const std::vector<bool>& usable,
                                         const OutputChoice& choice, const QString& outputFile, bool replacing,
                                         bool& refused)
{
    refused = false;
    const std::uint64_t temporary = normalizingBytes(store, usable, choice.format, choice.encoding);
    const bool temporaryApart = temporary > 0 && (standardOutput_ || isSpecialFile(outputFile));
    if (temporaryApart) {
        const QString folder = temporaryFolder();
        if (!isFolder(folder)) {
            desktop_.showAppMessage(QStringLiteral("The temporary folder %1 (TMPDIR) does not exist. A normalized mix "
                                                   "into a pipe or a device keeps its first pass there. Nothing was "
                                                   "mixed; set TMPDIR to an existing folder.")
                                        .arg(nameInMessage(folder)));
            refused = true;
            return {};
        }
        const std::optional<OutputSpace> space = outputSpaceFor(folder + QStringLiteral("/mix"), temporary, false);
        if (space && !space->fits())
            return temporaryShortOfSpaceText(*space, folder);
    }
    // An encoded file is written beside the old one, which goes only when the new one is whole.
    const bool oldGoesFirst = replacing && choice.encoding.container == media::core::OutputContainer::Wav;
    const std::uint64_t bytes = mixFileBytes(store, usable, choice.format, choice.encoding) -
                                (temporaryApart ? temporary : 0);
    const std::optional<OutputSpace> space = outputSpaceFor(outputFile, bytes, oldGoesFirst);
    QString shortage = space && !space->fits() ? shortOfSpaceText(*space) : QString();
    if (const QString stems = stemsShortage(store, usable, choice, runStemsFolder_); !stems.isEmpty())
        shortage += (shortage.isEmpty() ? QString() : QStringLiteral(" ")) + stems;
    return shortage;
}

// The stems are each as large as the mix; with their temporary files when normalized.
QString MixRunControl::stemsShortage(const MixItemStore& store, const std::vector<bool>& usable,
                                     const OutputChoice& choice, const QString& folder) const
{
    if (folder.isEmpty() || stems_.files.empty())
        return {};
    const std::uint64_t each = mixFileBytes(store, usable, choice.format, choice.encoding);
    const std::optional<OutputSpace> space = outputSpaceFor(folder + QLatin1Char('/') + stems_.files.front().fileName,
                                                            each * stems_.files.size(), false);
    if (!space || space->fits())
        return {};
    return QStringLiteral("The stems need %1 but only %2 are free on %3.")
        .arg(sizeText(space->neededBytes, true), sizeText(space->freeBytes, false), space->mountPoint);
}

QStringList MixRunControl::stemPaths(const QString& folder) const
{
    QStringList paths;
    for (const StemFile& file : stems_.files)
        paths << folder + QLatin1Char('/') + file.fileName;
    return paths;
}

bool MixRunControl::checkStems(const MixItemStore& store, const OutputSettings& settings,
                               const std::vector<bool>& usable, const OutputChoice& choice, bool& replacingStems)
{
    replacingStems = false;
    const QString folder = settings.stemsFolder;
    QStringList taken;
    if (!standardOutput_ && sameFolder(QFileInfo(settings.outputFile).absolutePath(), folder))
        taken << QFileInfo(settings.outputFile).fileName();
    stems_ = planStems(entryGroups(store), usable,
                       QString::fromLatin1(media::core::containerInfo(choice.encoding.container).extension), taken);
    const QStringList paths = stemPaths(folder);
    if (!paths.isEmpty()) {
        if (const WriteProblem problem = problemWritingFile(paths.front()); !problem.none()) {
            desktop_.showAppMessage(QStringLiteral("The stems cannot be written to %1: %2 %3. Nothing was mixed; "
                                                   "please choose another stems folder.")
                                        .arg(nameInMessage(folder), nameInMessage(problem.where), problem.cause));
            return false;
        }
    }
    QStringList existing;
    for (const QString& path : paths) {
        if (outputIsAnInput(store, path)) {
            desktop_.showAppMessage(QStringLiteral("The stem file %1 is also one of the files to mix. Nothing was "
                                                   "mixed; please choose another stems folder.")
                                        .arg(nameInMessage(path)));
            return false;
        }
        if (outputInUse(path)) {
            desktop_.showAppMessage(QStringLiteral("The stem file %1 is in use: another mix is writing it. Nothing "
                                                   "was mixed. Please wait for that mix to end or choose another "
                                                   "stems folder.")
                                        .arg(nameInMessage(path)));
            return false;
        }
        if (const WriteProblem problem = problemWritingFile(path); !problem.none()) {
            desktop_.showAppMessage(QStringLiteral("The stem file %1 cannot be written: %2 %3. Nothing was mixed; "
                                                   "please choose another stems folder.")
                                        .arg(nameInMessage(path), nameInMessage(problem.where), problem.cause));
            return false;
        }
        if (outputFileExists(path))
            existing << path;
    }
    if (existing.isEmpty())
        return true;
    replacingStems = true;
    const QString question =
        existing.size() == 1
            ? QStringLiteral("%1 exists. Do you want to replace it?").arg(nameInMessage(existing.front()))
            : QStringLiteral("%1 stem files exist in %2: %3. Do you want to replace them?")
                  .arg(QString::number(existing.size()), nameInMessage(folder),
                       existing.size() <= 5 ? [&] {
                           QStringList names;
                           for (const QString& path : existing)
                               names << QFileInfo(path).fileName();
                           return names.join(QStringLiteral(", "));
                       }()
                                            : QFileInfo(existing.front()).fileName() + QStringLiteral(", ..."));
    return desktop_.askYesNo(question, QStringLiteral("Warning"), MessageIcon::Exclamation);
}

bool MixRunControl::roomForOutput(const MixItemStore& store, const std::vector<bool>& usable,
                                  const OutputChoice& choice, const QString& outputFile, bool replacing)
{
    bool refused = false;
    const QString shortage = shortageBeforeMix(store, usable, choice, outputFile, replacing, refused);
    if (refused)
        return false;
    if (shortage.isEmpty())
        return true;
    const bool kept = choice.encoding.container == media::core::OutputContainer::Wav && !choice.encoding.normalize;
    switch (shortOfSpace_) {
    case SpaceShortage::Ask:
        return desktop_.askYesNo(shortage + (kept ? QStringLiteral("\n\nMix anyway? The mix stops when the disk is "
                                                                   "full, and what was mixed until then is kept.")
                                                  : QStringLiteral("\n\nMix anyway? The mix stops when the disk is "
                                                                   "full, and nothing of it is kept then.")),
                                 QStringLiteral("Warning"), MessageIcon::Exclamation);
    case SpaceShortage::Refuse:
        desktop_.showAppMessage(shortage + QStringLiteral(" Nothing was mixed.") +
                                (refusalHint_.isEmpty() ? QString() : QLatin1Char(' ') + refusalHint_));
        return false;
    case SpaceShortage::GoOn:
        desktop_.showMessage(shortage + QStringLiteral(" Mixing anyway; the mix stops when the disk is full."),
                             QStringLiteral("Warning"), MessageIcon::Exclamation);
        return true;
    }
    return false;
}

void MixRunControl::mixCommand(const MixItemStore& store, const OutputSettings& settings)
{
    // Stop must work whatever happened to the list meanwhile.
    if (mixing_)
        stop();
    else
        start(store, settings);
}

void MixRunControl::stop()
{
    if (mixing_)
        finishMix(MixOutcome::Stopped);
}

bool MixRunControl::outputCanBeWritten(const MixItemStore& store, const OutputSettings& settings)
{
    // Replacing an input with the mix would destroy it before it is read.
    if (outputIsAnInput(store, settings.outputFile)) {
        desktop_.showAppMessage(QStringLiteral("The output file %1 is also one of the files to mix. "
                                               "Please choose another output file.")
                                    .arg(nameInMessage(settings.outputFile)));
        return false;
    }
    // Before any file is read or question asked: a folder that cannot take the file is named with
    // its cause here, not later as the engine step that failed on it.
    if (!standardOutput_) {
        if (const WriteProblem problem = problemWritingFile(settings.outputFile); !problem.none()) {
            desktop_.showAppMessage(QStringLiteral("The output file %1 cannot be written: %2 %3. Nothing was mixed; "
                                                   "please choose another output file.")
                                        .arg(nameInMessage(settings.outputFile), nameInMessage(problem.where),
                                             problem.cause));
            return false;
        }
        // A list from someone else must not make folders where the user never chose to write.
        if (settings.outputNamedByList &&
            !isFolder(pathFromBytes(FolderOfPath(absolutePathBytes(pathBytes(settings.outputFile)))))) {
            desktop_.showAppMessage(QStringLiteral("The folder of the output file %1 does not exist. A folder is "
                                                   "not made for an output that a list names. Nothing was mixed; "
                                                   "please choose another output file.")
                                        .arg(nameInMessage(settings.outputFile)));
            return false;
        }
    }
    return true;
}

bool MixRunControl::tagsCanBeWritten(const ListTags& tags, media::core::OutputContainer container)
{
    if (const std::string problem = outputTagsOf(tags, checkedTags_); !problem.empty()) {
        desktop_.showAppMessage(QStringLiteral("The cover picture %1 cannot be used: %2. Nothing was mixed; choose "
                                               "another picture or remove it from the list's tags.")
                                    .arg(nameInMessage(pathFromBytes(tags.coverPath)),
                                         QString::fromStdString(problem)));
        return false;
    }
    const std::vector<std::string> notKept = media::core::tagsNotKept(container, checkedTags_);
    if (!notKept.empty()) {
        QStringList names;
        for (const std::string& name : notKept)
            names << QString::fromStdString(name);
        desktop_.showMessage(QStringLiteral("A %1 file cannot keep the list's %2: the mix is written without it.")
                                 .arg(QString::fromUtf8(media::core::containerInfo(container).title),
                                      names.join(QStringLiteral(", "))),
                             QStringLiteral("Warning"), MessageIcon::Exclamation);
    }
    return true;
}

bool MixRunControl::checkBeforeMix(const MixItemStore& store, const OutputSettings& settings, std::vector<bool>& usable,
                                   bool& replacing)
{
    usable.clear();
    replacing = false;
    if (store.audioCount() == 0) {
        desktop_.showAppMessage(QStringLiteral("Please add audio files into the list"));
        return false;
    }
    // Never reached: MixItemStore::append refuses entries beyond the store's capacity, so no list
    // holds more. The check stays because it is a described step of the Mix command (the manual
    // lists its message).
    if (store.capacity() != kUnboundedCapacity && store.audioCount() > store.capacity()) {
        desktop_.showAppMessage(QStringLiteral("The video files are too many! Please delete some files in the list."));
        return false;
    }
    if (!standardOutput_ && settings.outputFile.isEmpty()) {
        desktop_.showAppMessage(QStringLiteral("No output file is set. Choose one in Options."));
        return false;
    }
    const QString outputFile = settings.outputFile;
    // Before anything is asked or written: a name the mix cannot be written as.
    const OutputChoice choice = outputChoiceOf(settings);
    if (!choice.problem.empty()) {
        desktop_.showAppMessage(QString::fromStdString(choice.problem));
        return false;
    }
    if (!tagsCanBeWritten(store.tags(), choice.encoding.container))
        return false;
    if (!outputCanBeWritten(store, settings))
        return false;
    TimelineBuilder builder(library_, desktop_);
    builder.setCutRamp(cutRampOf(settings));
    if (!builder.checkSources(store, usable, static_cast<int>(choice.format.samplesPerSec)))
        return false;
    if (const QString problem = chapterCountProblem(
            mixChapters(store, usable, static_cast<int>(choice.format.samplesPerSec)), choice.encoding.container);
        !problem.isEmpty()) {
        desktop_.showAppMessage(problem);
        return false;
    }
    // Another mix writing the file would lose its work if it were deleted now.
    if (!standardOutput_ && outputInUse(outputFile)) {
        desktop_.showAppMessage(QStringLiteral("The output file %1 is in use: another mix is writing it. Nothing was "
                                               "mixed. Please wait for that mix to end or choose another output file.")
                                    .arg(nameInMessage(outputFile)));
        return false;
    }
    replacing = !standardOutput_ && outputFileExists(outputFile);
    // A name the user never accepted may be anybody's file: --yes alone does not give it away.
    if (replacing && settings.outputNamedByList && !settings.listOutputAccepted) {
        desktop_.showAppMessage(QStringLiteral("%1 exists, and only the list names it as the output, so it is not "
                                               "replaced. Nothing was mixed; name the output yourself (-o FILE, or "
                                               "Output Options) to replace it.")
                                    .arg(nameInMessage(outputFile)));
        return false;
    }
    if (replacing &&
        !desktop_.askYesNo(QStringLiteral("%1 exists. Do you want to replace it?").arg(nameInMessage(outputFile)),
                           QStringLiteral("Warning"), MessageIcon::Exclamation))
        return false;
    stems_ = {};
    runStemsFolder_ = settings.stemsFolder;
    bool replacingStems = false;
    if (!settings.stemsFolder.isEmpty() && !checkStems(store, settings, usable, choice, replacingStems))
        return false;
    // Before the old output is deleted: a mix that is not made must not cost the file it replaces.
    return roomForOutput(store, usable, choice, outputFile, replacing);
}

ChapterPlan MixRunControl::chaptersOfMix(const MixItemStore& store, const OutputSettings& settings,
                                         const std::vector<bool>& usable)
{
    const OutputChoice choice = outputChoiceOf(settings);
    const int rate = static_cast<int>(choice.format.samplesPerSec);
    ChapterPlan chapters = mixChapters(store, usable, rate);
    const bool wav = choice.encoding.container == media::core::OutputContainer::Wav;
    if (const QString warning = chapterWarningText(chapters, rate, wav); !warning.isEmpty())
        desktop_.showMessage(warning, QStringLiteral("Warning"), MessageIcon::Exclamation);
    return chapters;
}

void MixRunControl::start(const MixItemStore& store, const OutputSettings& settings)
{
    if (mixing_)
        return;
    std::vector<bool> usable;
    bool replacing = false;
    if (!checkBeforeMix(store, settings, usable, replacing))
        return;
    const QString outputFile = settings.outputFile;
    OutputChoice choice = outputChoiceOf(settings);
    choice.encoding.tags = std::move(checkedTags_);
    checkedTags_ = {};
    const int rate = static_cast<int>(choice.format.samplesPerSec);
    ChapterPlan chapters = chaptersOfMix(store, settings, usable);
    if (choice.encoding.container != media::core::OutputContainer::Wav)
        choice.encoding.chapters = outputChaptersOf(chapters);
    // A WAV file that stays is overwritten by the writer, and a link goes itself. An encoded or
    // normalized mix replaces the old file only once it has a new one: a failed or killed mix
    // then leaves the old file as it was.
    if (replacing && (isSymbolicLink(outputFile) ||
                      (choice.encoding.container == media::core::OutputContainer::Wav && !choice.encoding.normalize)))
        deleteFile(outputFile);
    // The default output lies in the music folder, which a fresh account may not have yet.
    if (!settings.outputNamedByList && !ensureParentFolder(outputFile)) {
        desktop_.showAppMessage(QStringLiteral("The folder of the output file %1 does not exist and could not be "
                                               "created. Please choose another output file.")
                                    .arg(nameInMessage(outputFile)));
        return;
    }
    // The stems folder is the user's own choice (never a list's), so it is made when missing; old
    // stems go as an old output does.
    const QStringList stemFiles = stemPaths(settings.stemsFolder);
    if (!stemFiles.isEmpty() && !ensureParentFolder(stemFiles.front())) {
        desktop_.showAppMessage(QStringLiteral("The stems folder %1 does not exist and could not be created. "
                                               "Nothing was mixed; please choose another stems folder.")
                                    .arg(nameInMessage(settings.stemsFolder)));
        return;
    }
    for (const QString& stem : stemFiles)
        if (outputFileExists(stem) &&
            (isSymbolicLink(stem) ||
             (choice.encoding.container == media::core::OutputContainer::Wav && !choice.encoding.normalize)))
            deleteFile(stem);
    TimelineBuilder builder(library_, desktop_);
    builder.setCutRamp(cutRampOf(settings));
    if (!stemFiles.isEmpty())
        builder.setStems(stems_.stemOfEntry);
    if (media::failed(builder.build(store, usable, timeline_)))
        return;
    RenderPipeline pipeline(library_, desktop_);
    MixRunView& view = view_;
    if (!pipeline.renderToFile(
            timeline_, outputFile, choice.format, [&view] { view.postGraphNotice(); }, job_, choice.encoding,
            stemFiles)) {
        timeline_.reset();
        return;
    }
    outputFile_ = outputFile;
    runSettings_ = settings;
    summary_ = summaryBeforeMix(store, usable, rate);
    summary_.rate = rate;
    summary_.chapters = std::move(chapters);
    entryOfSource_.clear();
    for (std::size_t i = 0; i < usable.size(); ++i)
        if (usable[i])
            entryOfSource_.push_back(static_cast<int>(i));
    lastLoudness_ = {};
    lastLoudnessText_.clear();
    mixing_ = true;
    elapsedSeconds_ = 0;
    view_.mixStarted();
}

void MixRunControl::onGraphNotice()
{
    while (job_.events) {
        media::GraphEvent event;
        if (job_.events->getEvent(event, 0) != media::kOk)
            return;
        const media::GraphEvent seen = event;
        static_cast<void>(job_.events->freeEventParams(event));  // only releases the copy's text
        if (seen.code == media::kEventComplete) {
            lastLoudness_ = seen.loudness;
            lastLoudnessText_ = loudnessText(seen.loudness, runSettings_);
            summary_.clippedSamples = seen.clippedSamples;
            summary_.peakLevel = seen.peakLevel;
            finishMix(MixOutcome::Completed);
            // Said once, after the status line; the status texts themselves stay as they are.
            if (seen.clippedSamples > 0)
                desktop_.showAppMessage(clippingText(seen.clippedSamples, seen.peakLevel));
            if (!seen.silencedSources.empty())
                desktop_.showAppMessage(silencedText(seen.silencedSources));
            if (!seen.endedEarlySources.empty())
                desktop_.showAppMessage(endedEarlyText(seen.endedEarlySources, entryOfSource_));
            if (const QString renamed = renamedStemsText(stems_); !renamed.isEmpty())
                desktop_.showMessage(renamed, QStringLiteral("Stems"), MessageIcon::Information);
        } else if (seen.code == media::kEventErrorAbort) {
            finishMix(MixOutcome::Failed);
            QString message = QStringLiteral("The mix stopped because of an error:\n%1")
                                  .arg(QString::fromStdString(media::errorText(seen.status)));
            if (!seen.detail.empty())
                message += QLatin1Char('\n') + QString::fromStdString(seen.detail);
            desktop_.showAppMessage(message + afterFailureText(seen));
        }
    }
}

QString MixRunControl::afterFailureText(const media::GraphEvent& failure) const
{
    if (failure.status == media::kErrReaderGone)
        return {};  // nothing is kept in a pipe: the reader had what it read
    if (failure.outputKept)
        return QStringLiteral("\n\nWhat was mixed so far is kept in %1.").arg(nameInMessage(outputFile_));
    return QStringLiteral(
               "\n\nNothing of this mix was kept: its unfinished file was removed, and %1 is as it was "
               "before the mix.")
        .arg(nameInMessage(outputFile_));
}

void MixRunControl::onTimerTick()
{
    if (!mixing_)
        return;
    ++elapsedSeconds_;
    view_.setStatusText(usedTimeText(elapsedSeconds_));
}

bool MixRunControl::closeRequested()
{
    if (mixing_) {
        desktop_.showAppMessage(QStringLiteral("Please first stop Convert"));
        return false;
    }
    return true;
}

void MixRunControl::finishMix(MixOutcome outcome)
{
    mixing_ = false;
    lastOutcome_ = outcome;
    // The owner hears first, so that its ticks stop before the graph is let go.
    view_.mixFinished(outcome);
    // Stopping leaves a valid file of what was written whatever it returns, and cancelling the
    // notice and scrapping the graph cannot fail: nothing here has a status worth showing.
    if (job_.control)
        static_cast<void>(job_.control->stop());
    if (job_.events)
        static_cast<void>(job_.events->setNotify({}));
    if (job_.renderEngine)
        static_cast<void>(job_.renderEngine->scrapIt());
    job_.reset();
    timeline_.reset();
    elapsedSeconds_ = 0;
    view_.setStatusText(outcome == MixOutcome::Failed
                            ? QStringLiteral("Stopped by an error. Output File: ") + outputFile_
                            : doneText(outputFile_));
}

}  // namespace sonarel
