// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LevelCommands.h"

#include <QAction>
#include <QEventLoop>
#include <QInputDialog>
#include <QProgressDialog>
#include <QTimer>

#include "app/EntryCommands.h"
#include "app/MixListView.h"
#include "model/MixListModel.h"
#include "platform/Desktop.h"
#include "settings/OutputSettings.h"
#include "settings/WaveFormatChoice.h"

namespace sonarel {

namespace {

// Runs `scan` while a progress box shows how far it got; false when the person stopped it (or it
// could not start), and then its results are not to be used.
bool runWithProgress(LevelScan& scan, const QString& label, Desktop& desktop, QWidget* window)
{
    QProgressDialog progress(label, QStringLiteral("Stop"), 0, scan.total(), window);
    progress.setObjectName(QStringLiteral("levelScanProgress"));
    progress.setWindowTitle(applicationName());
    // Every window waits: the timeline could otherwise change the rows being scanned.
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    if (!scan.start()) {
        desktop.showAppMessage(QStringLiteral("The entries could not be scanned: no thread could be started."));
        return false;
    }
    // Shown at once: while it shows, nothing else in the program can change the list.
    progress.show();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(30);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (scan.done() != progress.value())
            progress.setValue(scan.done());
        if (scan.finished())
            loop.quit();
    });
    // Stop, Esc (the dialog's shortcut, or its key when the shortcut is not reached) and closing it.
    bool stopped = false;
    const auto stop = [&] {
        stopped = true;
        loop.quit();
    };
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, stop);
    QObject::connect(&progress, &QDialog::rejected, &loop, stop);
    poll.start();
    loop.exec();
    scan.stop();
    return !stopped && scan.finished();
}

}  // namespace

LevelCommands::LevelCommands(MixListModel& list, const MixListView& view, Desktop& desktop,
                             const OutputSettings& settings, QWidget* window)
    : QObject(window),
      list_(list),
      view_(view),
      desktop_(desktop),
      settings_(settings),
      window_(window),
      matchAction_(new QAction(QStringLiteral("Match L&oudness..."), window)),
      trimAction_(new QAction(QStringLiteral("&Trim Silence"), window))
{
    matchAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    trimAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    connect(matchAction_, &QAction::triggered, this, &LevelCommands::matchLoudnessCommand);
    connect(trimAction_, &QAction::triggered, this, &LevelCommands::trimSilenceCommand);
}

std::vector<int> LevelCommands::rowsToScan(const QString& what)
{
    if (list_.store().audioCount() == 0)
        return {};
    std::vector<int> rows = selectedEntries(list_.store(), view_.selectionCursor());
    if (rows.empty())
        desktop_.showAppMessage(QStringLiteral("Please select the entries to %1.").arg(what));
    return rows;
}

void LevelCommands::matchLoudnessCommand()
{
    const std::vector<int> rows = rowsToScan(QStringLiteral("match in loudness"));
    if (rows.empty())
        return;
    QInputDialog ask(window_);
    ask.setObjectName(QStringLiteral("matchLoudnessDialog"));
    ask.setWindowTitle(QStringLiteral("Match Loudness"));
    ask.setInputMode(QInputDialog::DoubleInput);
    ask.setLabelText(
        rows.size() == 1
            ? QStringLiteral("Set the entry's volume so that it measures (LUFS):")
            : QStringLiteral("Set the volume of the %1 entries so that each measures (LUFS):").arg(rows.size()));
    ask.setDoubleRange(kLowestMatchLufs, kHighestMatchLufs);
    ask.setDoubleDecimals(1);
    ask.setDoubleStep(1.0);
    ask.setDoubleValue(matchTarget_);
    if (ask.exec() != QDialog::Accepted)
        return;
    matchTarget_ = ask.doubleValue();
    const OutputChoice choice = outputChoiceOf(settings_);
    LevelScanRequest request;
    request.task = LevelTask::MatchLoudness;
    request.target = matchTarget_;
    request.rate = static_cast<int>(choice.format.samplesPerSec);
    request.channels = choice.format.channels;
    scanAndApply(rows, request, QStringLiteral("Match Loudness"));
}

void LevelCommands::trimSilenceCommand()
{
    const std::vector<int> rows = rowsToScan(QStringLiteral("trim to their sound"));
    if (rows.empty())
        return;
    LevelScanRequest request;
    request.task = LevelTask::TrimSilence;
    request.target = kDefaultSilenceDbfs;
    scanAndApply(rows, request, QStringLiteral("Trim Silence"));
}

void LevelCommands::scanAndApply(const std::vector<int>& rows, const LevelScanRequest& request, const QString& name)
{
    std::vector<MixItem> entries;
    for (int row : rows)
        entries.push_back(list_.store().at(row));
    LevelScan scan(entries, request);
    const QString label = request.task == LevelTask::MatchLoudness ? QStringLiteral("Measuring the loudness...")
                                                                   : QStringLiteral("Looking for the sound...");
    if (!runWithProgress(scan, label, desktop_, window_))
        return;
    const std::vector<LevelScanResult>& results = scan.results();
    {
        const MixListModel::CommandScope command(list_, name);
        list_.changeRows([&](MixItemStore& store) {
            std::vector<int> changed;
            for (std::size_t k = 0; k < results.size() && k < rows.size(); ++k) {
                const LevelResult result = results[k].result;
                if (result != LevelResult::Changed && result != LevelResult::Clamped)
                    continue;
                store.at(rows[k]).properties() = EntryProperties(results[k].properties);
                changed.push_back(rows[k]);
            }
            return changed;
        });
    }
    const QString left = entriesLeftText(entries, results, request.task);
    if (!left.isEmpty())
        desktop_.showAppMessage(left);
}

}  // namespace sonarel
