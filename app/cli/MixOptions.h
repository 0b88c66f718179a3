// SPDX-License-Identifier: GPL-3.0-or-later
// sonarel-mix's options: what --help lists, how the arguments (and the output lines of a --csv
// list) become the options of a mix, and the line a refusal prints.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "model/MixListFile.h"
#include "settings/OutputSettings.h"

namespace sonarel {

struct MixOptions {
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
    bool limiter = true;
    std::optional<double> limitDbtp;
    bool dither = false;
    QString stemsFolder;  // --stems: one file per group beside the mix
    // Set from the entries' sound before the mix (app/cli/LevelOptions.h).
    std::optional<double> matchLoudnessLufs;
    std::optional<double> trimSilenceDbfs;
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
    // The list's ducking: from the --csv list's "#duck." lines, then --duck-depth and the others.
    DuckSettings ducking;
    // The list's tags: from the --csv list's "#tag." and "#cover=" lines, then --tag and --cover.
    ListTags tags;
    // --sequence[=GAP]: the entries placed one after another in list order; --crossfade with it.
    std::optional<REFERENCE_TIME> sequenceGap;
    REFERENCE_TIME crossfade = 0;
    QString chaptersFile;            // --chapters-file: written beside the mix once it is done
    bool toStandardOutput = false;   // -o -
    bool outputNamedByList = false;  // no -o: the --csv list's output is used
};

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
    QCommandLineOption limiter{QStringLiteral("limiter"),
                               QStringLiteral("on (default): --normalize reaches its target, a limiter holding the "
                                              "true peak at the ceiling; off: the ceiling holds the gain instead."),
                               QStringLiteral("on|off"), QStringLiteral("on")};
    QCommandLineOption limit{
        QStringLiteral("limit"),
        QStringLiteral("Hold the true peak at or below DBTP with the limiter, without normalizing."),
        QStringLiteral("DBTP")};
    QCommandLineOption chaptersFile{
        QStringLiteral("chapters-file"),
        QStringLiteral("Also write the mix's chapters to FILE once it is done: a cue sheet (.cue), Audacity "
                       "labels (.txt), WebVTT (.vtt) or podcast chapters JSON (.json)."),
        QStringLiteral("FILE")};
    QCommandLineOption dither{QStringLiteral("dither"),
                              QStringLiteral("Add TPDF dither before 8, 16 or 24-bit samples (off by default).")};
    QCommandLineOption stems{QStringLiteral("stems"),
                             QStringLiteral("Also write one file per group of entries into FOLDER (made if "
                                            "missing), in the mix's format and of its length."),
                             QStringLiteral("FOLDER")};
    QCommandLineOption matchLoudness{
        QStringLiteral("match-loudness"),
        QStringLiteral("Before mixing, set each entry's volume so that its played part measures this "
                       "integrated loudness (EBU R128), e.g. -20."),
        QStringLiteral("LUFS")};
    QCommandLineOption trimSilence{
        QStringLiteral("trim-silence"),
        QStringLiteral("Before mixing, trim each entry to its sound above -50 dBFS (or --trim-silence=DB), "
                       "keeping 0.1 s of the quiet part.")};
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
    QCommandLineOption duckDepth{QStringLiteral("duck-depth"),
                                 QStringLiteral("How far the other entries go down under a duck entry, -60 to 0 dB "
                                                "(default -12)."),
                                 QStringLiteral("DB")};
    QCommandLineOption duckAttack{QStringLiteral("duck-attack"),
                                  QStringLiteral("How long they take to go down before it, 0 to 10 s (default 0.3)."),
                                  QStringLiteral("S")};
    QCommandLineOption duckRelease{QStringLiteral("duck-release"),
                                   QStringLiteral("How long they take to come back after it, 0 to 10 s (default "
                                                  "0.5)."),
                                   QStringLiteral("S")};
    QCommandLineOption sequence{QStringLiteral("sequence"),
                                QStringLiteral("--sequence[=GAP]: place the entries one after another in list order "
                                               "from 0 (their starts are ignored), GAP seconds apart (default 0; "
                                               "negative overlaps)."),
                                QStringLiteral("GAP")};
    QCommandLineOption crossfade{QStringLiteral("crossfade"),
                                 QStringLiteral("With --sequence: overlap each pair by SECONDS, with matching "
                                                "equal-power fades."),
                                 QStringLiteral("SECONDS")};
    QCommandLineOption tag{QStringLiteral("tag"),
                           QStringLiteral("Write the tag KEY into the file: title, artist, album, date (YYYY, "
                                          "YYYY-MM or YYYY-MM-DD), genre, track (N or N/M) or comment. Repeatable; "
                                          "an empty VALUE removes a tag the --csv list sets."),
                           QStringLiteral("KEY=VALUE")};
    QCommandLineOption cover{QStringLiteral("cover"),
                             QStringLiteral("Write IMAGE (PNG or JPEG, at most 16 MiB) into the file as its cover "
                                            "picture; an empty IMAGE removes the --csv list's."),
                             QStringLiteral("IMAGE")};
    QCommandLineOption progress{QStringLiteral("progress"),
                                QStringLiteral("text (default) or json: one JSON object per line on standard "
                                               "error."),
                                QStringLiteral("STYLE"), QStringLiteral("text")};
};

// `--sequence` as the parser takes it: `--sequence=0` alone, `--sequence=2` before a number that
// names no file.
QStringList withSequenceValue(const QStringList& arguments);

// Tells `parser` what sonarel-mix does and what it takes, for parsing and for --help.
void defineOptions(QCommandLineParser& parser, const OptionDefinitions& defined);

// The parsed command line as the options of a mix; false after saying what is wrong.
bool readOptions(const QCommandLineParser& parser, const OptionDefinitions& defined, MixOptions& options);

// The output file and the wave format choices, as the window's output options hold them.
OutputSettings outputSettingsOf(const MixOptions& options);

// How messages name the --csv list.
QString listName(const MixOptions& options);

// The list that --csv names, from its file or from standard input (whose relative names are
// taken from the current folder); false with `error` set when it cannot be read.
bool readListEntries(const MixOptions& options, std::vector<MixItem>& entries, ImportError& error,
                     ListOutputLines* lines = nullptr, std::vector<std::string>* unknownColumns = nullptr,
                     DuckSettings* ducking = nullptr, ListTags* tags = nullptr);
// Says why the --csv list could not be read, naming the line where there is one.
void printListProblem(const MixOptions& options, const ImportError& error);

// An absolute form that keeps a name's bytes (QFileInfo would not keep those that are not UTF-8).
QString absolutePath(const QString& path);

// "sonarel-mix: TEXT" on standard error; with --progress=json a JSON object, like every line there.
void printError(const QString& text);
bool errorsAsJson();

}  // namespace sonarel
