// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/MixCommandLine.h"

#include <QCommandLineParser>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>

#include "app/ProductInfo.h"
#include "app/cli/ChaptersFileOption.h"
#include "app/cli/ConsoleDesktop.h"
#include "app/cli/ConsoleProgress.h"
#include "app/cli/DryRun.h"
#include "app/cli/JsonProgress.h"
#include "app/cli/LevelOptions.h"
#include "app/cli/MixOptions.h"
#include "app/cli/PlayCommand.h"
#include "app/cli/StandardStreams.h"
#include "model/EntryEditing.h"
#include "model/MixListFile.h"
#include "model/SequencePlacing.h"
#include "platform/FileChecks.h"
#include "platform/MessageText.h"
#include "platform/NativePath.h"
#include "render/EngineEntry.h"
#include "render/MediaProbe.h"
#include "render/MixRunControl.h"
#include "render/OutputSpace.h"

namespace sonarel {

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int)
{
    interrupted = 1;
}

void installInterruptHandler()
{
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// The run control's view on the console. The mix loop follows the mix itself and draws its own
// progress line instead of the status text; the graph's notice wakes the loop.
class ConsoleMixView final : public MixRunView {
public:
    void mixStarted() override {}
    void mixFinished(MixOutcome) override {}
    void setStatusText(const QString&) override {}
    void postGraphNotice() override
    {
        {
            std::lock_guard lock(mutex_);
            noticed_ = true;
        }
        wake_.notify_one();
    }
    // Waits until the graph posts a notice or `timeout` passes.
    void wait(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, timeout, [this] { return noticed_; });
        noticed_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool noticed_ = false;
};

int probeFiles(const QStringList& files)
{
    media::MediaLibrary library;
    if (media::failed(library.initialize())) {
        printError(QStringLiteral("the media engine could not be started."));
        return kExitMixFailed;
    }
    int status = kExitSuccess;
    std::vector<std::u16string> paths;
    for (const QString& file : files)
        paths.push_back(absolutePath(file).toStdU16String());
    library.measureAhead(paths);  // several at once; the lengths below are then known
    for (const QString& file : files) {
        const REFERENCE_TIME duration = MeasureAudioDuration(library, absolutePath(file));
        // A length that could not be measured is said in words: "-0.000" reads like a length.
        if (duration > 0)
            std::printf("%.3f\t%s\n", toSeconds(duration), escapeControlCharacters(file).toLocal8Bit().constData());
        else
            std::printf("unreadable\t%s\n", escapeControlCharacters(file).toLocal8Bit().constData());
        if (duration <= 0)
            status = kExitMixFailed;
    }
    return status;
}

bool readEntries(const MixOptions& options, std::vector<MixItem>& entries)
{
    for (const QString& argument : options.entries) {
        std::string error;
        auto entry = parseEntryArgument(pathBytes(argument), error);
        if (!entry) {
            printError(QStringLiteral("%1: %2").arg(nameInMessage(argument), QString::fromStdString(error)));
            return false;
        }
        entry->filePath = absolutePathBytes(entry->filePath);
        entries.push_back(*entry);
    }
    if (!options.csvFile.isEmpty()) {
        std::vector<MixItem> fromCsv;
        ImportError error;
        std::vector<std::string> unknownColumns;
        if (!readListEntries(options, fromCsv, error, nullptr, &unknownColumns)) {
            printListProblem(options, error);
            return false;
        }
        if (!unknownColumns.empty())
            printError(QStringLiteral("warning: %1: %2.")
                           .arg(listName(options), QString::fromStdString(unknownColumnsText(unknownColumns))));
        if (entries.empty())
            entries = std::move(fromCsv);
        else
            entries.insert(entries.end(), std::make_move_iterator(fromCsv.begin()),
                           std::make_move_iterator(fromCsv.end()));
    }
    if (entries.empty()) {
        printError(QStringLiteral("no files to mix (give FILE arguments or --csv FILE)."));
        return false;
    }
    return true;
}

// Measures and appends the entries: kExitSuccess, or kExitUsage after saying why one could not
// be added.
ExitStatus fillStore(media::MediaLibrary& library, std::vector<MixItem>& entries, MixItemStore& store)
{
    store.reserve(static_cast<std::size_t>(store.audioCount()) + entries.size());
    // Files are measured several at once a stretch ahead; the entries are then added in order.
    constexpr std::size_t kMeasuredAhead = 64;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i % kMeasuredAhead == 0)
            measureAhead(library, entries, i, kMeasuredAhead);
        MixItem& entry = entries[i];
        const QString path = entry.filePathText();
        const AppendResult result = appendMeasured(store, library, std::move(entry));
        if (result == AppendResult::ListFull) {
            printError(QStringLiteral("too many files: a mix holds at most %1.").arg(store.capacity()));
            return kExitUsage;
        }
        if (result == AppendResult::PathTooLong) {
            printError(QStringLiteral("the path is too long: %1").arg(nameInMessage(path)));
            return kExitUsage;
        }
        const MixItem& added = store.at(store.audioCount() - 1);
        if (added.duration <= 0 && fileCanBeRead(path))
            printError(QStringLiteral("warning: %1 is not a media file that can be played; it stays silent.")
                           .arg(nameInMessage(path)));
        std::string problem;
        if (!checkInPointWithinFile(added, problem)) {
            printError(QStringLiteral("entry %1 (%2): %3.")
                           .arg(QString::number(store.audioCount()), nameInMessage(path),
                                QString::fromStdString(problem)));
            return kExitUsage;
        }
    }
    return kExitSuccess;
}

// Hands the graph's notices and the seconds to the running mix and draws its progress, until the
// mix ends or Ctrl+C stops it.
void runMixLoop(MixRunControl& control, ConsoleMixView& view, ConsoleProgress& progress, JsonProgress* json)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point started = Clock::now();
    Clock::time_point nextTick = started + std::chrono::seconds(1);
    while (control.isMixing()) {
        view.wait(std::chrono::milliseconds(100));
        if (interrupted != 0) {
            control.stop();
            break;
        }
        const double fraction = control.progress();
        control.onGraphNotice();
        if (Clock::now() >= nextTick) {
            control.onTimerTick();
            nextTick += std::chrono::seconds(1);
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
        if (control.isMixing() && json)
            json->update(control.framesDone(), control.lastSummary().frames, elapsed);
        else if (control.isMixing())
            progress.update(fraction, elapsed);
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
    if (control.lastOutcome() == MixOutcome::Completed && json)
        json->update(control.lastSummary().frames, control.lastSummary().frames, elapsed);
    else if (control.lastOutcome() == MixOutcome::Completed)
        progress.update(1.0, elapsed);
    progress.breakLine();
}

// Says how the mix ended (a failure has been shown already) and gives the exit status.
int reportOutcome(MixOutcome outcome, const QString& outputFile, bool quiet)
{
    switch (outcome) {
    case MixOutcome::Completed:
        if (!quiet && !errorsAsJson())
            std::fprintf(stderr, "%s\n", doneText(nameInMessage(outputFile)).toLocal8Bit().constData());
        return kExitSuccess;
    case MixOutcome::Stopped:
        printError(QStringLiteral("stopped; %1 holds what was mixed so far.").arg(nameInMessage(outputFile)));
        return kExitMixFailed;
    case MixOutcome::Failed: break;
    }
    return kExitMixFailed;
}

// The run control's answers for the command line: --yes, --ignore-space and the output.
void configureControl(const MixOptions& options, MixRunControl& control)
{
    if (options.ignoreSpace)
        control.setWhenShortOfSpace(SpaceShortage::GoOn);
    else
        control.setWhenShortOfSpace(SpaceShortage::Refuse,
                                    QStringLiteral("Free some space, choose another output folder, or give "
                                                   "--ignore-space to mix anyway."));
    control.setOutputIsStandardOutput(options.toStandardOutput);
}

// Messages as JSON lines with --progress=json.
void configureDesktop(const MixOptions& options, ConsoleDesktop& desktop, JsonProgress& json)
{
    if (options.jsonProgress)
        desktop.setPrinter([&json](const QString& caption, const QString& text) { json.message(caption, text); });
}

// --sequence: every entry in list order from 0, one after another, as the window places them.
bool placeInSequence(const MixOptions& options, MixItemStore& store)
{
    std::vector<int> rows;
    for (int i = 0; i < store.audioCount(); ++i) {
        EntryProperties properties = store.at(i).properties();
        properties.startTime = 0;
        setEntryProperties(store, i, properties);
        rows.push_back(i);
    }
    const SequencePlacing placed = placeOneAfterAnother(store, rows,
                                                        SequenceJoin{*options.sequenceGap, options.crossfade});
    if (!placed.refusal.isEmpty()) {
        printError(placed.refusal);
        return false;
    }
    for (int row : placed.unknown)
        printError(QStringLiteral("warning: the length of %1 is not known, so it starts at 0.")
                       .arg(nameInMessage(store.at(row).filePathText())));
    return true;
}

// Mixes the filled list into the output the options name and follows the mix to its end; the
// exit status. The list is emptied once the mix has started: the engine has its own copy.
int mixStore(const MixOptions& options, media::MediaLibrary& library, MixItemStore& store)
{
    const OutputSettings settings = outputSettingsOf(options);
    ConsoleProgress progress(ConsoleProgress::styleFor(stderr, options.quiet || options.jsonProgress), stderr);
    JsonProgress json(stderr);
    ConsoleDesktop desktop(options.yes);
    desktop.setBeforeMessage([&progress] { progress.breakLine(); });
    configureDesktop(options, desktop, json);
    ConsoleMixView view;
    MixRunControl control(library, desktop, view);
    configureControl(options, control);
    installInterruptHandler();
    // A reader that leaves the pipe early ends the mix with a message, not a silent death.
    if (options.toStandardOutput)
        std::signal(SIGPIPE, SIG_IGN);
    control.start(store, settings);
    if (!control.isMixing())
        return kExitMixFailed;
    store = MixItemStore(kUnboundedCapacity);  // a long list is held once while it is mixed
    runMixLoop(control, view, progress, options.jsonProgress ? &json : nullptr);
    int status = reportOutcome(control.lastOutcome(), settings.outputFile, options.quiet);
    if (control.lastOutcome() == MixOutcome::Completed &&
        !writeMixChaptersFile(options, settings.outputFile, control.lastSummary()))
        status = kExitMixFailed;
    if (options.jsonProgress)
        json.summary(control.lastOutcome(), settings.outputFile, control.lastSummary(), control.lastLoudness());
    // The loudness is the mix's result, like the file: printed also when quiet. Standard output
    // may be the file itself; then standard error takes it, unless it holds JSON lines alone.
    if (control.lastOutcome() == MixOutcome::Completed && !control.lastLoudnessText().isEmpty() &&
        !(options.toStandardOutput && options.jsonProgress))
        std::fprintf(options.toStandardOutput ? stderr : stdout, "%s\n",
                     control.lastLoudnessText().toLocal8Bit().constData());
    return status;
}

// --dry-run: every check of a mix, with its messages and exit status, and what the mix would
// write; nothing is written.
int dryRunStore(const MixOptions& options, media::MediaLibrary& library, const MixItemStore& store)
{
    const OutputSettings settings = outputSettingsOf(options);
    JsonProgress json(stderr);
    ConsoleDesktop desktop(options.yes);
    configureDesktop(options, desktop, json);
    ConsoleMixView view;
    MixRunControl control(library, desktop, view);
    configureControl(options, control);
    std::vector<bool> usable;
    bool replacing = false;
    const bool wouldMix = control.checkBeforeMix(store, settings, usable, replacing);
    if (wouldMix)
        (void)control.chaptersOfMix(store, settings, usable);
    printDryRun(options.toStandardOutput ? stderr : stdout, store, settings, usable, wouldMix, control.lastStems());
    return wouldMix ? kExitSuccess : kExitMixFailed;
}

// A WAV stream cannot be rewound to fix its header, and a plain RIFF header counts to 4 GiB.
bool fitsStandardOutput(const MixOptions& options, const MixItemStore& store)
{
    if (!options.toStandardOutput || standardOutputKind() != StandardOutputKind::Stream)
        return true;
    const OutputChoice choice = outputChoiceOf(outputSettingsOf(options));
    if (choice.encoding.container != media::core::OutputContainer::Wav)
        return true;
    std::vector<bool> usable;
    for (int i = 0; i < store.audioCount(); ++i)
        usable.push_back(entryIsMixed(store.at(i), fileCanBeRead(store.at(i).filePathText())));
    const std::uint64_t bytes = mixFileBytes(store, usable, choice.format, choice.encoding);
    if (bytes <= 0xFFFFFFFFull)
        return true;
    printError(QStringLiteral("the mix would be %1, more than a WAV file sent through a pipe can hold (4 GiB); "
                              "write it to a file with -o FILE, where it becomes RF64, or choose a compressed "
                              "--format.")
                   .arg(sizeText(bytes, true)));
    return false;
}

int mix(const MixOptions& options)
{
    // Where a mix goes is never a surprise, least of all when someone else's list chose it.
    if (options.outputNamedByList && !options.play)
        printError(QStringLiteral("%1 names the output: the mix goes to %2.")
                       .arg(listName(options), nameInMessage(absolutePath(options.outputFile))));
    std::vector<MixItem> entries;
    if (!readEntries(options, entries) || !chaptersFileCanBeWritten(options, entries))
        return kExitUsage;
    media::MediaLibrary library;
    if (media::failed(library.initialize())) {
        printError(QStringLiteral("the media engine could not be started."));
        return kExitMixFailed;
    }
    MixItemStore store(kUnboundedCapacity);  // the window's limit is for its list view
    if (fillStore(library, entries, store) != kExitSuccess)
        return kExitUsage;
    std::vector<MixItem>().swap(entries);  // the store has them now: a long list is held once
    store.setDucking(options.ducking);
    store.setTags(options.tags);
    if (options.matchLoudnessLufs || options.trimSilenceDbfs) {
        installInterruptHandler();
        std::FILE* report = options.dryRun && !options.toStandardOutput ? stdout
                            : options.quiet || options.jsonProgress     ? nullptr
                                                                        : stderr;
        if (!applyLevelOptions(options, store, report, [] { return interrupted != 0; }))
            return kExitMixFailed;
    }
    if (options.sequenceGap && !placeInSequence(options, store))
        return kExitUsage;
    if (options.play) {
        installInterruptHandler();
        return playList(store, outputSettingsOf(options), options.playFrom, options.quiet,
                        [] { return interrupted != 0; });
    }
    if (!fitsStandardOutput(options, store))
        return kExitMixFailed;
    if (options.dryRun)
        return dryRunStore(options, library, store);
    return mixStore(options, library, store);
}

}  // namespace

int runMixCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    const OptionDefinitions defined;
    defineOptions(parser, defined);

    QStringList given = arguments;
    std::optional<QString> trimThreshold;
    takeTrimSilenceValue(given, trimThreshold);
    if (!parser.parse(QStringList{QStringLiteral("sonarel-mix")} + withSequenceValue(given))) {
        printError(parser.errorText() + QStringLiteral(" (see --help)"));
        return kExitUsage;
    }
    if (parser.isSet(defined.help)) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return kExitSuccess;
    }
    if (parser.isSet(defined.version)) {
        std::printf("sonarel-mix %s\n%s", SONAREL_VERSION, kLicenceNotice);
        return kExitSuccess;
    }
    if (parser.isSet(defined.probe)) {
        if (parser.positionalArguments().isEmpty()) {
            printError(QStringLiteral("--probe needs at least one FILE."));
            return kExitUsage;
        }
        return probeFiles(parser.positionalArguments());
    }

    MixOptions options;
    if (!readOptions(parser, defined, options) || !readLevelOptions(parser, defined, trimThreshold, options))
        return kExitUsage;
    return mix(options);
}

}  // namespace sonarel
