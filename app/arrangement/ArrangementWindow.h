// SPDX-License-Identifier: GPL-3.0-or-later
// The arrangement window, titled "Timeline" for people: a window of its own beside the main window,
// showing the arrangement of the mix list with zoom and picture-export commands and a line
// that counts what is shown. It remembers its size and place in the profile (section "Timeline"),
// follows every change of the list (MixListModel::listEdited), shares the list's selection, and
// shows the play-head while a mix runs. Closing it only hides it; peaks not yet measured are then
// left for the next opening.
#pragma once

#include <QTimer>
#include <QWidget>

#include "model/MixItem.h"
#include "render/PeakService.h"

class QItemSelectionModel;
class QLabel;

namespace sonarel {

class Desktop;
class MixListModel;
class MixRunControl;
class ProfileStore;
class ArrangementView;
class WindowPlayback;

class ArrangementWindow : public QWidget {
    Q_OBJECT

public:
    // `cacheFolder`: where peak levels are kept between runs (empty: memory only).
    // `selection` is the list view's: selecting here selects there.
    ArrangementWindow(const MixListModel& list, QItemSelectionModel& selection, const MixRunControl& run,
                      Desktop& desktop, ProfileStore& profile, const QString& cacheFolder, QWidget* parent = nullptr);
    ~ArrangementWindow() override;

    ArrangementView& view() { return *view_; }
    PeakService& peaks() { return peaks_; }

    // Shows the window (where it was last time) and brings it to the front.
    void open();
    // Plays from this window too: Play/Pause (Space), the play-head to the start (Home) and a click
    // on the ruler; the play-head shows where the sound is, or where play starts.
    void followPlayback(WindowPlayback& playback);

public Q_SLOTS:
    // Asks for a file name and saves the whole picture as PNG.
    void exportPicture();
    // Another list was opened: it is shown whole, as a first opening shows it.
    void listOpened();

Q_SIGNALS:
    void entryActivated(int index);  // a bar was double-clicked or Enter was pressed on it
    // A bar was dragged or nudged: entry `index` should take these properties, as one edit.
    void entryEdited(int index, const sonarel::EntryProperties& properties);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void updatePlayHead();
    void updateSummary();
    void saveGeometryToProfile();

    const MixRunControl& run_;
    WindowPlayback* playback_ = nullptr;
    Desktop& desktop_;
    ProfileStore& profile_;
    PeakService peaks_;
    ArrangementView* view_ = nullptr;
    QLabel* summary_ = nullptr;
    QTimer playHeadTimer_;
    double mixLength_ = 0;  // the total length when the running mix started
    bool wasMixing_ = false;
    bool placed_ = false;
};

}  // namespace sonarel
