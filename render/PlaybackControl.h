// SPDX-License-Identifier: GPL-3.0-or-later
// Listening to the mix without writing it: the list's entries rendered by the engine in the
// output's wave format (or the nearest one the sound device takes) and handed to the device, from
// any point, pausing, following changes of the list while it plays. The window and the command
// line each drive one; all calls are made on the thread whose event loop runs the device.
#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "model/MixItem.h"
#include "platform/AudioOutput.h"
#include "platform/media/core/Placement.h"
#include "render/PlaybackFeed.h"
#include "settings/OutputSettings.h"
#include "settings/WaveFormatChoice.h"

namespace sonarel {

class Desktop;

// The entries playback renders: those the mix would hold (not muted, with a usable speed, a file
// whose sound could be measured, inside the longest mix), with the output's cut-edge ramp. With
// `only` (indices into the list), just those of them.
std::vector<media::core::SourceEntry> playbackEntries(const MixItemStore& store, const OutputSettings& settings,
                                                      const std::vector<int>* only = nullptr);

// Where the last of `entries` ends on the output's time line (0 for none).
REFERENCE_TIME playbackLength(const std::vector<media::core::SourceEntry>& entries);

class PlaybackControl {
public:
    // `output` must outlive the control. `workers`: threads that decode a block (0: one per core).
    PlaybackControl(AudioOutput& output, Desktop& desktop, int workers = 0);
    ~PlaybackControl();

    // Plays `entries` in `format` from `from` (100-ns units on the output's time line). False,
    // after a message, when there is no sound output.
    bool play(std::vector<media::core::SourceEntry> entries, const PcmFormat& format, REFERENCE_TIME from);
    // The list changed while playing: what plays next is the changed mix.
    void change(std::vector<media::core::SourceEntry> entries);
    void pause();
    void resume();
    // Stops at once. Does nothing when nothing plays.
    void stop();

    bool isPlaying() const { return playing_; }  // also while paused
    bool isPaused() const { return paused_; }
    // Where the sound the device plays now lies on the output's time line.
    REFERENCE_TIME position() const;
    // The mix's length once known, else -1.
    REFERENCE_TIME length() const;
    // Whether playback last ended because a source could not be read or the device went away.
    bool endedInFailure() const { return endedInFailure_; }
    // How long the last play() took to hand the device its first frames; zero before that.
    std::chrono::steady_clock::duration startLatency() const;

    // How often the device found nothing ready since play() (see PlaybackFeed::starvedReads).
    int starvedReads() const { return feed_.starvedReads(); }

    // Called when playback ends by itself: at the end of the mix, or after a source could not be
    // read or the device went away (once its message was shown).
    void setEndedHandler(std::function<void()> handler) { ended_ = std::move(handler); }

private:
    // The device played everything, or went away (`deviceFailure` then says so).
    void drained(const QString& deviceFailure);
    REFERENCE_TIME timeOf(std::int64_t frame) const;

    AudioOutput& output_;
    Desktop& desktop_;
    PlaybackFeed feed_;
    AudioFormat format_;
    bool playing_ = false;
    bool paused_ = false;
    bool endedInFailure_ = false;
    std::chrono::steady_clock::time_point started_{};
    std::function<void()> ended_;
};

}  // namespace sonarel
