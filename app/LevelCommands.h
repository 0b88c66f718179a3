// SPDX-License-Identifier: GPL-3.0-or-later
// "Match Loudness..." and "Trim Silence" (Edit menu; Match Loudness also on the window's
// right-click menu): the selected entries' volumes or trims set from their sound, as one command
// of the list (one undo step). The entries are scanned on a thread of their own under a progress
// box that Esc or Stop ends, leaving the list as it was; the window is not frozen meanwhile.
#pragma once

#include <QObject>
#include <vector>

#include "render/EntryLevels.h"

class QAction;
class QWidget;

namespace sonarel {

class Desktop;
class MixListModel;
class MixListView;
struct OutputSettings;

class LevelCommands : public QObject {
    Q_OBJECT

public:
    // `settings` are the window's output settings: a part is measured at the mix's rate and channels.
    LevelCommands(MixListModel& list, const MixListView& view, Desktop& desktop, const OutputSettings& settings,
                  QWidget* window);

    QAction* matchLoudnessAction() const { return matchAction_; }
    QAction* trimSilenceAction() const { return trimAction_; }
    // The target that Match Loudness offers: the last one chosen, -20 LUFS at first.
    double matchTarget() const { return matchTarget_; }

    void matchLoudnessCommand();
    void trimSilenceCommand();

private:
    // The selected rows, or none after asking for a selection.
    std::vector<int> rowsToScan(const QString& what);
    // Scans `rows` under a progress box and applies what was found as the command `name`.
    void scanAndApply(const std::vector<int>& rows, const LevelScanRequest& request, const QString& name);

    MixListModel& list_;
    const MixListView& view_;
    Desktop& desktop_;
    const OutputSettings& settings_;
    QWidget* window_;
    QAction* matchAction_;
    QAction* trimAction_;
    double matchTarget_ = kDefaultMatchLufs;
};

}  // namespace sonarel
