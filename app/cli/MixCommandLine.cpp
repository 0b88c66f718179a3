// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/MixCommandLine.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <optional>

#include "app/ProductInfo.h"
#include "app/cli/ConsoleDesktop.h"
#include "app/cli/ConsoleProgress.h"
#include "app/cli/DryRun.h"
#include "app/cli/JsonProgress.h"
#include "app/cli/PlayCommand.h"
#include "app/cli/StandardStreams.h"
#include "model/EntryPropertyTable.h"
#include "model/MixListFile.h"
#include "platform/FileChecks.h"
#include "platform/MessageText.h"
#include "platform/NativePath.h"
#include "platform/PathHelpers.h"
#include "render/EngineEntry.h"
#include "render/MediaProbe.h"
#include "render/MixRunControl.h"
#include "render/OutputSpace.h"

namespace sonarel {

namespace {

volatile std::sig_atomic_t interrupted = 0;
// With --progress=json every line on standard error is a JSON object, the errors too.
bool jsonErrors = false;

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

// An absolute form that keeps a name's bytes (QFileInfo would not keep those that are not UTF-8).
QString absolutePath(const QString& path)
{
    return pathFromBytes(absolutePathBytes(pathBytes(path)));
}

void printError(const QString& text)
{
    if (jsonErrors) {
        JsonProgress(stderr).message(QStringLiteral("sonarel-mix"), safeMessageText(text));
        return;
    }
    std::fprintf(stderr, "sonarel-mix: %s\n", safeMessageText(text).toLocal8Bit().constData());
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

struct Options {
    QStringList entries;
    QString csvFile;
    QString outputFile;
    int sampleRateIndex = 0;
    int channelsIndex = 0;
    int bitsIndex = 0;
    int edgeFadeMs = kDefaultEdgeFadeMs;
    // The output format beyond the window's lists (see readOutputFormatOptions).
    std::uint32_t sampleRate = 0;
    int sampleBits = 0;
    std::optional<media::core::OutputContainer> format;
    int bitrateKbps = 0;
    std::optional<double> normalizeLufs;
    double truePeakCeilingDbtp = -1.0;
    bool dither = false;
    bool yes = false;
    bool ignoreSpace = false;
    bool quiet = false;
    bool probe = false;
    bool play = false;
    REFERENCE_TIME playFrom = 0;
    bool dryRun = false;
    bool jsonProgress = false;
    // `--csv -`: the list read from standard input, once.
    std::optional<std::string> csvText;
    bool toStandardOutput = false;   // -o -
    bool outputNamedByList = false;  // no -o: the --csv list's output is used
};

// How messages name the --csv list.
QString listName(const Options& options)
{
    return options.csvText ? QStringLiteral("the list on standard input") : nameInMessage(options.csvFile);
}

// The list that --csv names, from its file or from standard input (whose relative names are
// taken from the current folder); false with `error` set when it cannot be read.
bool readListEntries(const Options& options, std::vector<MixItem>& entries, ImportError& error,
                     ListOutputLines* lines = nullptr, std::vector<std::string>* unknownColumns = nullptr)
{
    if (options.csvText)
        return parseMixListCsv(*options.csvText, absolutePathBytes("."), entries, error, lines, unknownColumns);
    return readMixListFile(options.csvFile, entries, error, lines, unknownColumns);
}

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
            std::printf("%.3f\t%s\n", static_cast<double>(duration) / static_cast<double>(kReferenceUnitsPerSecond),
                        escapeControlCharacters(file).toLocal8Bit().constData());
        else
            std::printf("unreadable\t%s\n", escapeControlCharacters(file).toLocal8Bit().constData());
        if (duration <= 0)
            status = kExitMixFailed;
    }
    return status;
}

bool readEntries(const Options& options, std::vector<MixItem>& entries)
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
            const QString why = pathFromBytes(error.message);  // bytes that are not UTF-8 are shown as \xHH
            const QString list = listName(options);
            printError(error.line > 0 ? QStringLiteral("%1, line %2: %3").arg(list, QString::number(error.line), why)
                                      : QStringLiteral("cannot read %1: %2").arg(list, why));
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

// The output file and the wave format choices, as the window's output options hold them.
OutputSettings outputSettingsOf(const Options& options)
{
    OutputSettings settings;
    settings.outputFile = options.toStandardOutput ? QString::fromLatin1(kStandardOutputPath)
                                                   : absolutePath(options.outputFile);
    settings.sampleRateIndex = options.sampleRateIndex;
    settings.channelsIndex = options.channelsIndex;
    settings.bitsIndex = options.bitsIndex;
    settings.edgeFadeMs = options.edgeFadeMs;
    settings.sampleRate = options.sampleRate;
    settings.sampleBits = options.sampleBits;
    settings.outputFormat = options.format;
    settings.bitrateKbps = options.bitrateKbps;
    settings.normalizeLufs = options.normalizeLufs;
    settings.truePeakCeilingDbtp = options.truePeakCeilingDbtp;
    settings.dither = options.dither;
    settings.outputNamedByList = options.outputNamedByList;
    return settings;
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
        if (!quiet && !jsonErrors)
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
void configureControl(const Options& options, MixRunControl& control)
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
void configureDesktop(const Options& options, ConsoleDesktop& desktop, JsonProgress& json)
{
    if (options.jsonProgress)
        desktop.setPrinter([&json](const QString& caption, const QString& text) { json.message(caption, text); });
}

// Mixes the filled list into the output the options name and follows the mix to its end; the
// exit status. The list is emptied once the mix has started: the engine has its own copy.
int mixStore(const Options& options, media::MediaLibrary& library, MixItemStore& store)
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
    const int status = reportOutcome(control.lastOutcome(), settings.outputFile, options.quiet);
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
int dryRunStore(const Options& options, media::MediaLibrary& library, const MixItemStore& store)
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
    printDryRun(options.toStandardOutput ? stderr : stdout, store, settings, usable, wouldMix);
    return wouldMix ? kExitSuccess : kExitMixFailed;
}

// A WAV stream cannot be rewound to fix its header, and a plain RIFF header counts to 4 GiB.
bool fitsStandardOutput(const Options& options, const MixItemStore& store)
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

int mix(const Options& options)
{
    // Where a mix goes is never a surprise, least of all when someone else's list chose it.
    if (options.outputNamedByList && !options.play)
        printError(QStringLiteral("%1 names the output: the mix goes to %2.")
                       .arg(listName(options), nameInMessage(absolutePath(options.outputFile))));
    std::vector<MixItem> entries;
    if (!readEntries(options, entries))
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

bool choiceIndex(const QString& value, const QStringList& choices, int& index)
{
    index = static_cast<int>(choices.indexOf(value));
    return index >= 0;
}

// The options, in the order --help lists them.
struct OptionDefinitions {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")};
    QCommandLineOption version{QStringLiteral("version"), QStringLiteral("Show the version.")};
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("The file to write; its extension chooses the format."),
                              QStringLiteral("FILE")};
    QCommandLineOption csv{QStringLiteral("csv"),
                           QStringLiteral("Read entries from a CSV file; the output it names (saved by the window) "
                                          "is used unless -o or another option says otherwise. A relative output "
                                          "name is taken from the list's folder; no folder is made for it, and an "
                                          "existing file of that name is replaced only when -o names it."),
                           QStringLiteral("FILE")};
    QCommandLineOption rate{QStringLiteral("rate"),
                            QStringLiteral("Any rate from 8000 to 192000 (default 44100; Opus is always 48000)."),
                            QStringLiteral("HZ"), QStringLiteral("44100")};
    QCommandLineOption channels{QStringLiteral("channels"), QStringLiteral("2 (default) or 1."), QStringLiteral("N"),
                                QStringLiteral("2")};
    QCommandLineOption bits{QStringLiteral("bits"), QStringLiteral("16 (default), 24 or 8."), QStringLiteral("N"),
                            QStringLiteral("16")};
    QCommandLineOption edgeFade{QStringLiteral("edge-fade"),
                                QStringLiteral("The ramp, 0 to 10 ms (default 5), on an edge that an in or out "
                                               "point cuts into a file's sound."),
                                QStringLiteral("MS"), QStringLiteral("5")};
    // The output format beyond the window's lists.
    QCommandLineOption floatSamples{QStringLiteral("float"), QStringLiteral("Write 32-bit float samples (WAV).")};
    QCommandLineOption format{QStringLiteral("format"),
                              QStringLiteral("wav, flac, opus, mp3, ogg or m4a, instead of the output's extension."),
                              QStringLiteral("NAME")};
    QCommandLineOption bitrate{QStringLiteral("bitrate"),
                               QStringLiteral("The bit rate of opus (default 128), mp3 (192), ogg (160) or m4a (192)."),
                               QStringLiteral("KBPS")};
    QCommandLineOption normalize{QStringLiteral("normalize"),
                                 QStringLiteral("Write the mix at this integrated loudness (EBU R128), e.g. -16."),
                                 QStringLiteral("LUFS")};
    QCommandLineOption truePeak{QStringLiteral("true-peak"),
                                QStringLiteral("The true-peak ceiling that --normalize keeps to (default -1)."),
                                QStringLiteral("DBTP"), QStringLiteral("-1")};
    QCommandLineOption dither{QStringLiteral("dither"),
                              QStringLiteral("Add TPDF dither before 8, 16 or 24-bit samples (off by default).")};
    QCommandLineOption yes{{QStringLiteral("y"), QStringLiteral("yes")},
                           QStringLiteral("Replace an existing output file; mix without unreadable files.")};
    QCommandLineOption ignoreSpace{
        QStringLiteral("ignore-space"),
        QStringLiteral("Mix even when the output's disk has less free space than the mix needs; "
                       "the mix then stops when the disk is full and keeps what was written.")};
    QCommandLineOption quiet{{QStringLiteral("q"), QStringLiteral("quiet")}, QStringLiteral("Show no progress.")};
    QCommandLineOption probe{QStringLiteral("probe"),
                             QStringLiteral("Print each FILE's duration in seconds instead of mixing.")};
    QCommandLineOption play{QStringLiteral("play"),
                            QStringLiteral("Play the mix to the default sound output instead of writing a file.")};
    QCommandLineOption from{QStringLiteral("from"), QStringLiteral("With --play: start at SECONDS into the mix."),
                            QStringLiteral("SECONDS"), QStringLiteral("0")};
    QCommandLineOption dryRun{QStringLiteral("dry-run"),
                              QStringLiteral("Check everything and print what the mix would do; write nothing.")};
    QCommandLineOption progress{QStringLiteral("progress"),
                                QStringLiteral("text (default) or json: one JSON object per line on standard "
                                               "error."),
                                QStringLiteral("STYLE"), QStringLiteral("text")};
};

// The entry's keys as --help lists them: a line per key, or per keys that share their words.
QString entryKeysHelp()
{
    constexpr std::size_t kKeysWidth = 21;
    std::string text;
    std::string keys;
    std::string_view words;
    const auto endLine = [&] {
        if (!keys.empty())
            text += "  " + keys + std::string(kKeysWidth - std::min(keys.size(), kKeysWidth) + 2, ' ') +
                    std::string(words) + "\n";
    };
    for (const EntryProperty& property : kEntryProperties) {
        if (property.key.empty())
            continue;
        if (!property.keyHelp.empty()) {
            endLine();
            keys.clear();
            words = property.keyHelp;
        }
        keys += (keys.empty() ? "" : ", ") + std::string(property.keyUsage);
    }
    endLine();
    return QString::fromStdString(text);
}

// Tells `parser` what sonarel-mix does and what it takes, for parsing and for --help.
void defineOptions(QCommandLineParser& parser, const OptionDefinitions& defined)
{
    parser.setApplicationDescription(
        QStringLiteral("Mixes media files into one audio file: PCM WAV, or FLAC, Opus, MP3, Ogg Vorbis or\n"
                       "AAC (.m4a) as the output's extension (or --format) says. The mix's loudness is\n"
                       "printed when it is done.\n\n"
                       "Each FILE may carry its placement and shaping:\n"
                       "  FILE@START[:VOLUME[:SPEED]][,KEY[=VALUE]]...\n"
                       "with the start in seconds on the output's time line, the volume as a factor (1 =\n"
                       "unchanged) and the speed as a factor (2 = twice as fast, an octave higher).\n"
                       "The KEYs, each after a comma:\n") +
        entryKeysHelp() +
        QStringLiteral("for example song.mp3@10:0.8,in=30,out=60,fade-out=2. A comma in a file name is part\n"
                       "of the name unless a KEY follows it.\n\n"
                       "A CSV file has the columns path, start, volume, speed, then optionally in_seconds,\n"
                       "out_seconds, fade_in_seconds, fade_out_seconds, keep_pitch, pitch_semitones, muted and\n"
                       "fade_curve (keep_pitch and muted 0 or 1, fade_curve linear or equal_power; an empty\n"
                       "cell keeps the default). With a header line the columns are found by their names;\n"
                       "relative paths are taken from the CSV file's folder.\n\n"
                       "A mix whose file would not fit on the output's disk is refused before anything is\n"
                       "written (see --ignore-space).\n\n"
                       "--play plays the mix to the default sound output instead (from --from SECONDS on);\n"
                       "Ctrl+C stops it.\n\n"
                       "-o - writes the WAV file to standard output (a pipe), --csv - reads the list from\n"
                       "standard input; relative paths are then taken from the current folder.\n\n"
                       "Exit status: 0 mixed, 1 the mix failed, was stopped or did not fit, 2 wrong usage."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({defined.help,        defined.version,  defined.output,       defined.csv,      defined.rate,
                       defined.channels,    defined.bits,     defined.floatSamples, defined.format,   defined.bitrate,
                       defined.normalize,   defined.truePeak, defined.dither,       defined.edgeFade, defined.yes,
                       defined.ignoreSpace, defined.quiet,    defined.probe,        defined.play,     defined.from,
                       defined.dryRun,      defined.progress});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Media files to mix."),
                                 QStringLiteral("[FILE[@START[:VOLUME[:SPEED]][,KEY[=VALUE]]...]...]"));
}

// A --rate beyond the window's list: any whole number of hertz from 8000 to 192000.
bool readAnyRate(const QString& value, Options& options)
{
    bool ok = false;
    const uint rate = value.toUInt(&ok);
    if (!ok || rate < kLowestSampleRate || rate > kHighestSampleRate) {
        printError(QStringLiteral("--rate must be a whole number of hertz from 8000 to 192000."));
        return false;
    }
    options.sampleRate = rate;
    return true;
}

// --float, --format, --bitrate, --normalize, --true-peak and --dither; then the whole output
// format is checked against the output's name, so that a file that cannot be written is refused
// before anything is read or written. False after saying what is wrong.
bool readOutputFormatOptions(const QCommandLineParser& parser, const OptionDefinitions& defined, Options& options)
{
    if (parser.isSet(defined.floatSamples)) {
        if (parser.isSet(defined.bits)) {
            printError(QStringLiteral("--float and --bits exclude each other."));
            return false;
        }
        options.sampleBits = 32;
    }
    if (parser.isSet(defined.format)) {
        options.format = media::core::containerByName(parser.value(defined.format).toStdString());
        if (!options.format) {
            printError(QStringLiteral("--format must be one of: %1.")
                           .arg(QString::fromStdString(media::core::writableContainersText())));
            return false;
        }
    }
    bool ok = true;
    if (parser.isSet(defined.bitrate)) {
        options.bitrateKbps = parser.value(defined.bitrate).toInt(&ok);
        if (!ok || options.bitrateKbps <= 0) {
            printError(QStringLiteral("--bitrate must be a whole number of kbit/s."));
            return false;
        }
    }
    if (parser.isSet(defined.normalize)) {
        const double lufs = parser.value(defined.normalize).toDouble(&ok);
        if (!ok || !std::isfinite(lufs) || lufs < -70.0 || lufs > 0.0) {
            printError(QStringLiteral("--normalize must be a loudness from -70 to 0 LUFS, e.g. -16."));
            return false;
        }
        options.normalizeLufs = lufs;
    }
    if (parser.isSet(defined.truePeak))
        options.truePeakCeilingDbtp = parser.value(defined.truePeak).toDouble(&ok);
    if (!ok || !std::isfinite(options.truePeakCeilingDbtp) || options.truePeakCeilingDbtp < -20.0 ||
        options.truePeakCeilingDbtp > 0.0) {
        printError(QStringLiteral("--true-peak must be a level from -20 to 0 dBTP."));
        return false;
    }
    options.dither = options.dither || parser.isSet(defined.dither);
    const OutputChoice choice = outputChoiceOf(outputSettingsOf(options));
    if (!choice.problem.empty()) {
        printError(QString::fromStdString(choice.problem));
        return false;
    }
    return true;
}

// --rate, --channels and --bits as indices of the output options' lists; false after saying
// which one is wrong.
bool readWaveFormatChoices(const QCommandLineParser& parser, const OptionDefinitions& defined, Options& options)
{
    // An option not given keeps what a list named, or the default.
    if (parser.isSet(defined.rate)) {
        options.sampleRate = 0;
        if (!choiceIndex(parser.value(defined.rate),
                         {QStringLiteral("44100"), QStringLiteral("22050"), QStringLiteral("11025"),
                          QStringLiteral("8000")},
                         options.sampleRateIndex) &&
            !readAnyRate(parser.value(defined.rate), options))
            return false;
    }
    if (parser.isSet(defined.channels) &&
        !choiceIndex(parser.value(defined.channels), {QStringLiteral("2"), QStringLiteral("1")},
                     options.channelsIndex)) {
        printError(QStringLiteral("--channels must be 1 or 2."));
        return false;
    }
    if (parser.isSet(defined.bits)) {
        options.sampleBits = 0;
        if (!choiceIndex(parser.value(defined.bits), {QStringLiteral("16"), QStringLiteral("8")}, options.bitsIndex)) {
            if (parser.value(defined.bits) != QStringLiteral("24")) {
                printError(QStringLiteral("--bits must be 16, 24 or 8."));
                return false;
            }
            options.sampleBits = 24;
        }
    }
    return true;
}

// --play and --from; false after saying what is wrong.
bool readPlayOptions(const QCommandLineParser& parser, const OptionDefinitions& defined, Options& options)
{
    options.play = parser.isSet(defined.play);
    if (!parser.isSet(defined.from))
        return true;
    bool number = false;
    const double seconds = parser.value(defined.from).toDouble(&number);
    if (!options.play) {
        printError(QStringLiteral("--from goes with --play."));
        return false;
    }
    if (!number || !(seconds >= 0.0) || seconds > static_cast<double>(media::kLongestTime / kReferenceUnitsPerSecond)) {
        printError(QStringLiteral("--from must be a number of seconds, 0 or more."));
        return false;
    }
    options.playFrom = std::llround(seconds * static_cast<double>(kReferenceUnitsPerSecond));
    return true;
}

// A list saved by the window names its output in "#output." lines: they are the starting point,
// and every option given overrides its own part. The list's format goes with its file only: an
// -o name's extension chooses its own. A list that cannot be read is reported with its entries.
// The list's file is only a suggestion: a relative name is taken from the list's folder (a list on
// standard input has none), a name that cannot be an output is refused with a warning, and what
// is taken is marked as the list's, so that no folder is made for it and no file replaced.
void takeListOutput(bool outputGiven, Options& options)
{
    std::vector<MixItem> entries;
    ImportError error;
    ListOutputLines lines;
    OutputSettings listed;
    if (!readListEntries(options, entries, error, &lines))
        return;
    const std::string listFolder = options.csvText ? std::string()
                                                   : FolderOfPath(absolutePathBytes(pathBytes(options.csvFile)));
    QString refusal;
    const int taken = applyListOutputLines(lines, listFolder, listed, &refusal);
    if (!outputGiven && !refusal.isEmpty())
        printError(QStringLiteral("warning: %1: %2.").arg(listName(options), refusal));
    if (taken == 0)
        return;
    if (!outputGiven && listed.outputNamedByList) {
        options.outputFile = listed.outputFile;
        options.format = listed.outputFormat;
        options.outputNamedByList = true;
    }
    options.sampleRateIndex = listed.sampleRateIndex;
    options.sampleRate = listed.sampleRate;
    options.channelsIndex = listed.channelsIndex;
    options.bitsIndex = listed.bitsIndex;
    options.sampleBits = listed.sampleBits;
    options.bitrateKbps = listed.bitrateKbps;
    options.normalizeLufs = listed.normalizeLufs;
    options.truePeakCeilingDbtp = listed.truePeakCeilingDbtp;
    options.dither = listed.dither;
}

// --dry-run, --progress, and "-" for standard input (--csv) and output (-o); false after saying
// what is wrong. A list on standard input is read here, once.
bool readScriptingOptions(const QCommandLineParser& parser, const OptionDefinitions& defined, Options& options)
{
    options.dryRun = parser.isSet(defined.dryRun);
    const QString style = parser.value(defined.progress);
    if (style != QStringLiteral("text") && style != QStringLiteral("json")) {
        printError(QStringLiteral("--progress must be text or json."));
        return false;
    }
    options.jsonProgress = style == QStringLiteral("json");
    jsonErrors = options.jsonProgress;
    // Playing is neither checked ahead nor followed in frames: it has its own line.
    if (options.play && (options.dryRun || options.jsonProgress)) {
        printError(options.dryRun ? QStringLiteral("--dry-run and --play exclude each other.")
                                  : QStringLiteral("--progress=json goes with a mix to a file, not with --play."));
        return false;
    }
    options.toStandardOutput = options.outputFile == QLatin1String(kStandardStreamName);
    if (options.csvFile == QLatin1String(kStandardStreamName)) {
        std::string text;
        std::string error;
        if (!readStandardInput(text, error)) {
            printError(QString::fromStdString(error) + QLatin1Char('.'));
            return false;
        }
        options.csvText = std::move(text);
    }
    return true;
}

// `-o -`: standard output must be something that takes a file, and a pipe only a format that
// is written from start to end without going back; false after saying why.
bool standardOutputCanTake(const Options& options)
{
    if (!options.toStandardOutput || options.dryRun)
        return true;
    const StandardOutputKind kind = standardOutputKind();
    if (kind == StandardOutputKind::Terminal) {
        printError(QStringLiteral("standard output is a terminal: send -o - into a pipe or a file, or give -o FILE."));
        return false;
    }
    if (kind == StandardOutputKind::Stream && options.format == media::core::OutputContainer::Aac) {
        printError(
            QStringLiteral("m4a cannot be written to a pipe: an MP4 file is finished by going back to its "
                           "start. Choose wav, flac, opus, mp3 or ogg, or give -o FILE."));
        return false;
    }
    return true;
}

// The parsed command line as the options of a mix; false after saying what is wrong.
bool readOptions(const QCommandLineParser& parser, const OptionDefinitions& defined, Options& options)
{
    options.entries = parser.positionalArguments();
    options.csvFile = parser.value(defined.csv);
    options.outputFile = parser.value(defined.output);
    options.yes = parser.isSet(defined.yes);
    options.ignoreSpace = parser.isSet(defined.ignoreSpace);
    options.quiet = parser.isSet(defined.quiet);
    if (!readPlayOptions(parser, defined, options) || !readScriptingOptions(parser, defined, options))
        return false;
    if (!options.csvFile.isEmpty())
        takeListOutput(parser.isSet(defined.output), options);
    if (options.outputFile.isEmpty() && !options.play) {
        printError(QStringLiteral("no output file (give -o FILE, or a --csv list that names one)."));
        return false;
    }
    bool whole = false;
    options.edgeFadeMs = parser.value(defined.edgeFade).toInt(&whole);
    if (!whole || options.edgeFadeMs < 0 || options.edgeFadeMs > kLongestEdgeFadeMs) {
        printError(QStringLiteral("--edge-fade must be a whole number of milliseconds from 0 to 10."));
        return false;
    }
    return readWaveFormatChoices(parser, defined, options) && readOutputFormatOptions(parser, defined, options) &&
           standardOutputCanTake(options);
}

}  // namespace

int runMixCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    const OptionDefinitions defined;
    defineOptions(parser, defined);

    if (!parser.parse(QStringList{QStringLiteral("sonarel-mix")} + arguments)) {
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

    Options options;
    if (!readOptions(parser, defined, options))
        return kExitUsage;
    return mix(options);
}

}  // namespace sonarel
