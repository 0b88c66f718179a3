// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/MixOptions.h"

#include <QFileInfo>
#include <cmath>
#include <cstdio>

#include "app/cli/JsonProgress.h"
#include "app/cli/StandardStreams.h"
#include "model/EntryPropertyTable.h"
#include "model/NumberText.h"
#include "platform/MessageText.h"
#include "platform/NativePath.h"
#include "platform/PathHelpers.h"
#include "settings/WaveFormatChoice.h"

namespace sonarel {

namespace {

// With --progress=json every line on standard error is a JSON object, the errors too.
bool jsonErrors = false;

bool choiceIndex(const QString& value, const QStringList& choices, int& index)
{
    index = static_cast<int>(choices.indexOf(value));
    return index >= 0;
}

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

// A --rate beyond the window's list: any whole number of hertz from 8000 to 192000.
bool readAnyRate(const QString& value, MixOptions& options)
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

// --float, --format, --bitrate, --normalize, --true-peak, --limiter, --limit and --dither; then the whole output
// format is checked against the output's name, so that a file that cannot be written is refused
// before anything is read or written. False after saying what is wrong.
bool readOutputFormatOptions(const QCommandLineParser& parser, const OptionDefinitions& defined, MixOptions& options)
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
    if (parser.isSet(defined.limiter)) {
        const QString value = parser.value(defined.limiter);
        if (value != QLatin1String("on") && value != QLatin1String("off")) {
            printError(QStringLiteral("--limiter must be on or off."));
            return false;
        }
        options.limiter = value == QLatin1String("on");
    }
    if (parser.isSet(defined.limit)) {
        const double ceiling = parser.value(defined.limit).toDouble(&ok);
        if (!ok || !std::isfinite(ceiling) || ceiling < -20.0 || ceiling > 0.0) {
            printError(QStringLiteral("--limit must be a level from -20 to 0 dBTP."));
            return false;
        }
        if (!options.limiter) {
            printError(QStringLiteral("--limit and --limiter off exclude each other."));
            return false;
        }
        options.limitDbtp = ceiling;
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
bool readWaveFormatChoices(const QCommandLineParser& parser, const OptionDefinitions& defined, MixOptions& options)
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
bool readPlayOptions(const QCommandLineParser& parser, const OptionDefinitions& defined, MixOptions& options)
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
    if (!number || !(seconds >= 0.0) || seconds > toSeconds(kLongestTime)) {
        printError(QStringLiteral("--from must be a number of seconds, 0 or more."));
        return false;
    }
    options.playFrom = nearestReferenceTime(seconds);
    return true;
}

// A list saved by the window names its output in "#output." lines: they are the starting point,
// and every option given overrides its own part. The list's format goes with its file only: an
// -o name's extension chooses its own. A list that cannot be read is reported with its entries.
// The list's file is only a suggestion: a relative name is taken from the list's folder (a list on
// standard input has none), a name that cannot be an output is refused with a warning, and what
// is taken is marked as the list's, so that no folder is made for it and no file replaced.
// False, after saying why, when the list cannot be read: whatever else is missing, that comes first.
bool takeListOutput(bool outputGiven, MixOptions& options)
{
    std::vector<MixItem> entries;
    ImportError error;
    ListOutputLines lines;
    OutputSettings listed;
    if (!readListEntries(options, entries, error, &lines, nullptr, &options.ducking, &options.tags)) {
        printListProblem(options, error);
        return false;
    }
    const std::string listFolder = options.csvText ? std::string()
                                                   : FolderOfPath(absolutePathBytes(pathBytes(options.csvFile)));
    QString refusal;
    const int taken = applyListOutputLines(lines, listFolder, listed, &refusal);
    if (!outputGiven && !refusal.isEmpty())
        printError(QStringLiteral("warning: %1: %2.").arg(listName(options), refusal));
    if (taken == 0)
        return true;
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
    options.limiter = listed.limiter;
    options.limitDbtp = listed.limitDbtp;
    options.dither = listed.dither;
    return true;
}

// A number of seconds or decibels from an option; false after saying what it must be.
bool readOptionNumber(const QCommandLineParser& parser, const QCommandLineOption& option, double& value,
                      const QString& must)
{
    if (!parser.isSet(option))
        return true;
    const std::optional<double> number = readNumber(trimmedText(parser.value(option).toStdString()));
    if (!number || !std::isfinite(*number)) {
        printError(must);
        return false;
    }
    value = *number;
    return true;
}

// --duck-depth, --duck-attack and --duck-release over the list's ducking; false after saying
// what is wrong.
bool readDuckOptions(const QCommandLineParser& parser, const OptionDefinitions& defined, MixOptions& options)
{
    struct Given {
        const QCommandLineOption& option;
        DuckValue value;
        QString must;
    };
    const Given given[] = {
        {defined.duckDepth, DuckValue::Depth, QStringLiteral("--duck-depth must be a level from -60 to 0 dB.")},
        {defined.duckAttack, DuckValue::Attack, QStringLiteral("--duck-attack must be 0 to 10 seconds.")},
        {defined.duckRelease, DuckValue::Release, QStringLiteral("--duck-release must be 0 to 10 seconds.")},
    };
    for (const Given& g : given) {
        double number = 0.0;
        if (!parser.isSet(g.option))
            continue;
        std::string problem;
        if (!readOptionNumber(parser, g.option, number, g.must))
            return false;
        if (!setDuckValue(options.ducking, g.value, number, problem)) {
            printError(g.must);
            return false;
        }
    }
    return true;
}

// --tag KEY=VALUE (each over the list's tag of its key) and --cover IMAGE (over the list's cover);
// false after saying what is wrong. The cover itself is read before the mix.
bool readTagOptions(const QCommandLineParser& parser, const OptionDefinitions& defined, MixOptions& options)
{
    for (const QString& given : parser.values(defined.tag)) {
        std::string problem;
        if (!setTagFromText(options.tags, given.toStdString(), problem)) {
            printError(QStringLiteral("--tag %1: %2.").arg(given, QString::fromStdString(problem)));
            return false;
        }
    }
    if (parser.isSet(defined.cover)) {
        const QString cover = parser.value(defined.cover);
        options.tags.coverPath = cover.isEmpty() ? std::string() : pathBytes(absolutePath(cover));
    }
    return true;
}

// --sequence[=GAP] and --crossfade; false after saying what is wrong.
bool readSequenceOptions(const QCommandLineParser& parser, const OptionDefinitions& defined, MixOptions& options)
{
    const double latest = toSeconds(kLatestEntryStart);
    double gap = 0.0;
    const QString gapMust =
        QStringLiteral("--sequence=GAP must be a number of seconds between -%1 and %1.").arg(latest, 0, 'f', 0);
    if (!readOptionNumber(parser, defined.sequence, gap, gapMust))
        return false;
    if (std::fabs(gap) > latest) {
        printError(gapMust);
        return false;
    }
    if (parser.isSet(defined.sequence))
        options.sequenceGap = nearestReferenceTime(gap);
    double crossfade = 0.0;
    const QString crossfadeMust = QStringLiteral("--crossfade must be a number of seconds, 0 or more.");
    if (!readOptionNumber(parser, defined.crossfade, crossfade, crossfadeMust))
        return false;
    if (!parser.isSet(defined.crossfade))
        return true;
    if (crossfade < 0.0 || crossfade > latest) {
        printError(crossfadeMust);
        return false;
    }
    if (!options.sequenceGap) {
        printError(QStringLiteral("--crossfade goes with --sequence."));
        return false;
    }
    if (*options.sequenceGap != 0 && crossfade > 0.0) {
        printError(QStringLiteral("--crossfade overlaps the entries itself: give --sequence without a gap."));
        return false;
    }
    options.crossfade = nearestReferenceTime(crossfade);
    return true;
}

// --dry-run, --progress, and "-" for standard input (--csv) and output (-o); false after saying
// what is wrong. A list on standard input is read here, once.
bool readScriptingOptions(const QCommandLineParser& parser, const OptionDefinitions& defined, MixOptions& options)
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
bool standardOutputCanTake(const MixOptions& options)
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

}  // namespace

QStringList withSequenceValue(const QStringList& arguments)
{
    QStringList given;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QStringLiteral("--")) {
            given += arguments.mid(i);
            break;
        }
        if (argument != QStringLiteral("--sequence") && argument != QStringLiteral("-sequence")) {
            given << argument;
            continue;
        }
        // "--sequence 2" means a gap of 2 s, unless a file is called 2.
        const bool gapFollows = i + 1 < arguments.size() &&
                                readNumber(trimmedText(arguments[i + 1].toStdString())).has_value() &&
                                !QFileInfo::exists(arguments[i + 1]);
        given << QStringLiteral("--sequence=") + (gapFollows ? arguments[++i] : QStringLiteral("0"));
    }
    return given;
}

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
                       "out_seconds, fade_in_seconds, fade_out_seconds, keep_pitch, pitch_semitones, muted,\n"
                       "fade_curve and duck (keep_pitch, muted and duck 0 or 1, fade_curve linear or\n"
                       "equal_power; an empty cell keeps the default). With a header line the columns are\n"
                       "found by their names; relative paths are taken from the CSV file's folder. Lines\n"
                       "#duck.depth_db=, #duck.attack_seconds= and #duck.release_seconds= set the list's\n"
                       "ducking, which --duck-depth, --duck-attack and --duck-release override. Lines\n"
                       "#tag.KEY=VALUE and #cover=IMAGE set the file's tags and cover picture, which --tag\n"
                       "and --cover override.\n\n"
                       "While a duck entry plays (a voice), every other entry is lowered by the ducking\n"
                       "depth, going down over the attack before it and back over the release after it.\n\n"
                       "A mix whose file would not fit on the output's disk is refused before anything is\n"
                       "written (see --ignore-space).\n\n"
                       "--stems FOLDER writes, with the mix, one file per group of entries (the group\n"
                       "column, or group=NAME): each named after its group, and ungrouped.EXT for the\n"
                       "entries without one, in the mix's format and of its length, so that they add up to\n"
                       "the mix. Existing files there are replaced as the output is (--yes).\n\n"
                       "--play plays the mix to the default sound output instead (from --from SECONDS on);\n"
                       "Ctrl+C stops it.\n\n"
                       "-o - writes the WAV file to standard output (a pipe), --csv - reads the list from\n"
                       "standard input; relative paths are then taken from the current folder.\n\n"
                       "Exit status: 0 mixed, 1 the mix failed, was stopped or did not fit, 2 wrong usage."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(
        {defined.help,      defined.version,     defined.output,       defined.csv,           defined.rate,
         defined.channels,  defined.bits,        defined.floatSamples, defined.format,        defined.bitrate,
         defined.normalize, defined.truePeak,    defined.limiter,      defined.limit,         defined.chaptersFile,
         defined.dither,    defined.stems,       defined.edgeFade,     defined.matchLoudness, defined.trimSilence,
         defined.yes,       defined.ignoreSpace, defined.quiet,        defined.probe,         defined.play,
         defined.from,      defined.dryRun,      defined.duckDepth,    defined.duckAttack,    defined.duckRelease,
         defined.sequence,  defined.crossfade,   defined.tag,          defined.cover,         defined.progress});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Media files to mix."),
                                 QStringLiteral("[FILE[@START[:VOLUME[:SPEED]][,KEY[=VALUE]]...]...]"));
}

bool readOptions(const QCommandLineParser& parser, const OptionDefinitions& defined, MixOptions& options)
{
    options.entries = parser.positionalArguments();
    options.csvFile = parser.value(defined.csv);
    options.outputFile = parser.value(defined.output);
    options.yes = parser.isSet(defined.yes);
    options.ignoreSpace = parser.isSet(defined.ignoreSpace);
    options.quiet = parser.isSet(defined.quiet);
    options.chaptersFile = parser.value(defined.chaptersFile);
    if (!readPlayOptions(parser, defined, options) || !readScriptingOptions(parser, defined, options))
        return false;
    if (!options.csvFile.isEmpty() && !takeListOutput(parser.isSet(defined.output), options))
        return false;
    if (options.outputFile.isEmpty() && !options.play) {
        printError(QStringLiteral("no output file (give -o FILE, or a --csv list that names one)."));
        return false;
    }
    if (parser.isSet(defined.stems)) {
        options.stemsFolder = parser.value(defined.stems);
        if (options.stemsFolder.isEmpty()) {
            printError(QStringLiteral("--stems needs a folder."));
            return false;
        }
        if (options.play) {
            printError(QStringLiteral("--stems and --play exclude each other: the stems are files."));
            return false;
        }
        if (!outputNameProblem(options.stemsFolder).isEmpty()) {
            printError(QStringLiteral("--stems: the folder's name holds a control character."));
            return false;
        }
    }
    bool whole = false;
    options.edgeFadeMs = parser.value(defined.edgeFade).toInt(&whole);
    if (!whole || options.edgeFadeMs < 0 || options.edgeFadeMs > kLongestEdgeFadeMs) {
        printError(QStringLiteral("--edge-fade must be a whole number of milliseconds from 0 to 10."));
        return false;
    }
    return readWaveFormatChoices(parser, defined, options) && readOutputFormatOptions(parser, defined, options) &&
           readDuckOptions(parser, defined, options) && readTagOptions(parser, defined, options) &&
           readSequenceOptions(parser, defined, options) && standardOutputCanTake(options);
}

OutputSettings outputSettingsOf(const MixOptions& options)
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
    settings.limiter = options.limiter;
    settings.limitDbtp = options.limitDbtp;
    settings.dither = options.dither;
    settings.outputNamedByList = options.outputNamedByList;
    if (!options.stemsFolder.isEmpty())
        settings.stemsFolder = absolutePath(options.stemsFolder);
    return settings;
}

QString listName(const MixOptions& options)
{
    return options.csvText ? QStringLiteral("the list on standard input") : nameInMessage(options.csvFile);
}

bool readListEntries(const MixOptions& options, std::vector<MixItem>& entries, ImportError& error,
                     ListOutputLines* lines, std::vector<std::string>* unknownColumns, DuckSettings* ducking,
                     ListTags* tags)
{
    if (options.csvText)
        return parseMixListCsv(*options.csvText, absolutePathBytes("."), entries, error, lines, unknownColumns, ducking,
                               tags);
    return readMixListFile(options.csvFile, entries, error, lines, unknownColumns, ducking, tags);
}

void printListProblem(const MixOptions& options, const ImportError& error)
{
    const QString why = pathFromBytes(error.message);  // bytes that are not UTF-8 are shown as \xHH
    const QString list = listName(options);
    printError(error.line > 0 ? QStringLiteral("%1, line %2: %3").arg(list, QString::number(error.line), why)
                              : QStringLiteral("cannot read %1: %2").arg(list, why));
}

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

bool errorsAsJson()
{
    return jsonErrors;
}

}  // namespace sonarel
