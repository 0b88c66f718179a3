// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/LevelOptions.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "app/cli/ConsoleProgress.h"
#include "platform/MessageText.h"
#include "render/EngineEntry.h"
#include "render/EntryLevels.h"
#include "settings/WaveFormatChoice.h"

namespace sonarel {

namespace {

// Runs one task over the store's mixed entries and applies what it found.
bool runTask(const LevelScanRequest& request, MixItemStore& store, std::FILE* report, bool quiet,
             const std::function<bool()>& interrupted)
{
    std::vector<int> rows;
    std::vector<MixItem> entries;
    for (int i = 0; i < store.audioCount(); ++i)
        if (entryMixing(store.at(i)) == EntryMixing::Mixed) {
            rows.push_back(i);
            entries.push_back(store.at(i));
        }
    LevelScan scan(entries, request);
    if (!scan.start()) {
        printError(QStringLiteral("the scan of the entries could not be started."));
        return false;
    }
    // A bar on a terminal only: scripts read the lines that follow.
    ConsoleProgress::Style style = ConsoleProgress::styleFor(stderr, quiet);
    ConsoleProgress progress(style == ConsoleProgress::Style::Bar ? style : ConsoleProgress::Style::Quiet, stderr);
    const auto started = std::chrono::steady_clock::now();
    while (!scan.finished()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (interrupted()) {
            scan.stop();
            progress.breakLine();
            printError(QStringLiteral("stopped; nothing was mixed."));
            return false;
        }
        progress.update(static_cast<double>(scan.done()) / std::max(scan.total(), 1),
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    }
    progress.breakLine();
    scan.stop();  // joins the finished thread
    const std::vector<LevelScanResult>& results = scan.results();
    for (std::size_t k = 0; k < results.size(); ++k) {
        const LevelScanResult& found = results[k];
        if (found.result != LevelResult::Changed && found.result != LevelResult::Clamped)
            continue;
        MixItem& item = store.at(rows[k]);
        item.properties() = EntryProperties(found.properties);
        if (!report)
            continue;
        const std::string name = nameInMessage(std::string_view(item.filePath));
        if (request.task == LevelTask::MatchLoudness)
            std::fprintf(report, "entry %d (%s): volume %.6g (measured %.1f LUFS)\n", rows[k] + 1, name.c_str(),
                         item.volume, found.measuredLufs);
        else
            std::fprintf(report, "entry %d (%s): in %.3f s, out %.3f s\n", rows[k] + 1, name.c_str(),
                         toSeconds(playedStart(item)), toSeconds(playedStop(item)));
    }
    const QString left = entriesLeftText(entries, results, request.task);
    if (!left.isEmpty())
        printError(QStringLiteral("warning: %1 %2")
                       .arg(request.task == LevelTask::MatchLoudness ? QStringLiteral("--match-loudness:")
                                                                     : QStringLiteral("--trim-silence:"),
                            left));
    return true;
}

}  // namespace

void takeTrimSilenceValue(QStringList& arguments, std::optional<QString>& threshold)
{
    for (QString& argument : arguments) {
        if (argument == QLatin1String("--"))
            return;
        for (const QLatin1String prefix : {QLatin1String("--trim-silence="), QLatin1String("-trim-silence=")})
            if (argument.startsWith(prefix)) {
                threshold = argument.mid(prefix.size());
                argument = QStringLiteral("--trim-silence");
            }
    }
}

bool readLevelOptions(const QCommandLineParser& parser, const OptionDefinitions& defined,
                      const std::optional<QString>& trimThreshold, MixOptions& options)
{
    bool ok = true;
    if (parser.isSet(defined.matchLoudness)) {
        const double lufs = parser.value(defined.matchLoudness).toDouble(&ok);
        if (!ok || !std::isfinite(lufs) || lufs < kLowestMatchLufs || lufs > kHighestMatchLufs) {
            printError(QStringLiteral("--match-loudness must be a loudness from -70 to 0 LUFS, e.g. -20."));
            return false;
        }
        options.matchLoudnessLufs = lufs;
    }
    if (parser.isSet(defined.trimSilence)) {
        double dbfs = kDefaultSilenceDbfs;
        if (trimThreshold)
            dbfs = trimThreshold->toDouble(&ok);
        if (!ok || !std::isfinite(dbfs) || dbfs < kLowestSilenceDbfs || dbfs > 0.0) {
            printError(QStringLiteral("--trim-silence must be a level from -120 to 0 dBFS, e.g. --trim-silence=-50."));
            return false;
        }
        options.trimSilenceDbfs = dbfs;
    }
    return true;
}

bool applyLevelOptions(const MixOptions& options, MixItemStore& store, std::FILE* report,
                       const std::function<bool()>& interrupted)
{
    const OutputChoice choice = outputChoiceOf(outputSettingsOf(options));
    LevelScanRequest request;
    request.rate = static_cast<int>(choice.format.samplesPerSec);
    request.channels = choice.format.channels;
    if (options.trimSilenceDbfs) {
        request.task = LevelTask::TrimSilence;
        request.target = *options.trimSilenceDbfs;
        if (!runTask(request, store, report, options.quiet || options.jsonProgress, interrupted))
            return false;
    }
    if (options.matchLoudnessLufs) {
        request.task = LevelTask::MatchLoudness;
        request.target = *options.matchLoudnessLufs;
        if (!runTask(request, store, report, options.quiet || options.jsonProgress, interrupted))
            return false;
    }
    return true;
}

}  // namespace sonarel
