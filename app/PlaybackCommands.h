// SPDX-License-Identifier: GPL-3.0-or-later
// Playback from the window: Play/Pause (Space in the list and the timeline), Solo (only the
// selected entries), Home (the play-head to 0) and a click on the timeline's ruler (the play-head
// there). The play-head follows the sound and the status line says where it is; playback stops at
// the end of the mix. Changes of the list while it plays are heard at once: the list is compared
// with what plays twenty times a second. Never runs while a mix runs.
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "model/MixItem.h"
#include "platform/AudioOutput.h"
#include "render/PlaybackControl.h"
#include "settings/OutputSettings.h"

namespace sonarel {

class Desktop;
class MixRunControl;

// "Playing 0:12.3 of 3:00.0" (or "Paused ..."), in minutes and seconds to the tenth.
QString playbackStatusText(bool paused, REFERENCE_TIME position, REFERENCE_TIME length);

class WindowPlayback : public QObject {
    Q_OBJECT

public:
    // `store` and `settings` are the window's, read at every play and change.
    WindowPlayback(const MixItemStore& store, const OutputSettings& settings, const MixRunControl& run,
                   Desktop& desktop, std::unique_ptr<AudioOutput> output, QObject* parent = nullptr);
    ~WindowPlayback() override;

    // Play, or pause what plays, or go on after a pause.
    void playCommand();
    // Plays only `entries` (indices into the list) from the play-head.
    void soloCommand(const std::vector<int>& entries);
    // Plays `entries` alone from the first one's start (a double click when Sonarel is the
    // default player).
    void playEntries(const std::vector<int>& entries);
    void homeCommand();
    // Moves the play-head to `seconds`; what plays goes on from there.
    void seek(double seconds);
    // Stops playing (before a mix); the play-head stays where the sound was.
    void stop();

    bool isPlaying() const { return control_.isPlaying(); }
    bool isPaused() const { return control_.isPaused(); }
    // The play-head in seconds: where the sound is while playing, else where play starts.
    double playHeadSeconds() const;
    // Whether there is a play-head to show: while playing, or once it was moved from the start.
    bool hasPlayHead() const { return isPlaying() || playHead_ > 0; }
    PlaybackControl& control() { return control_; }

Q_SIGNALS:
    void playHeadMoved(double seconds);
    // The status line's text while playing, and empty when playing ended (the line goes back to
    // what it said before).
    void statusChanged(const QString& text);

private:
    void start(std::optional<std::vector<int>> only);
    void tick();
    void ended();
    std::vector<media::core::SourceEntry> currentEntries() const;

    const MixItemStore& store_;
    const OutputSettings& settings_;
    const MixRunControl& run_;
    std::unique_ptr<AudioOutput> output_;
    PlaybackControl control_;
    QTimer timer_;
    REFERENCE_TIME playHead_ = 0;
    std::optional<std::vector<int>> solo_;           // the entries a solo plays
    std::vector<media::core::SourceEntry> playing_;  // what the device plays now
};

}  // namespace sonarel
