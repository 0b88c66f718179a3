// SPDX-License-Identifier: GPL-3.0-or-later
// The Mix command and everything that follows it, without a window: the checks before a mix, the
// running state, the elapsed seconds, draining the graph's events and finishing the mix. The main
// window and the command-line mixer each give it a MixRunView; it shows every message through the
// desktop interface. All calls are made on one thread, except MixRunView::postGraphNotice, which
// the graph calls on a worker thread.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/ChapterPlan.h"
#include "model/MixItem.h"
#include "platform/media/services/MediaLibrary.h"
#include "render/RenderPipeline.h"
#include "render/StemFiles.h"
#include "settings/OutputSettings.h"

namespace sonarel {

class Desktop;

enum class MixOutcome { Completed, Stopped, Failed };

// What the run control tells its owner about a mix.
class MixRunView {
public:
    virtual ~MixRunView() = default;
    // A mix runs now. From here on the owner calls onTimerTick() once a second until the mix ends.
    virtual void mixStarted() = 0;
    // The mix ended: it is no longer mixing and lastOutcome() is `outcome`. Called before the
    // graph is let go, so that no tick comes after it, and before the closing status text.
    virtual void mixFinished(MixOutcome outcome) = 0;
    // The elapsed time while mixing, how the mix ended after it.
    virtual void setStatusText(const QString& text) = 0;
    // Called on a graph worker thread: must only arrange for onGraphNotice() to run on the
    // owner's thread (a posted event), never call it directly.
    virtual void postGraphNotice() = 0;
};

// What a mix does when its output needs more room than is free where it goes.
enum class SpaceShortage {
    Ask,     // ask whether to mix anyway (the window)
    Refuse,  // say so and start nothing (the command line)
    GoOn,    // say so and mix anyway (the command line with its override)
};

// The ramp on edges cut into a file's sound that a mix with `settings` uses, in 100-ns units:
// edgeFadeMs, kept within 0..kLongestEdgeFadeMs.
REFERENCE_TIME cutRampOf(const OutputSettings& settings);

// "Please wait... Used Time: HH:MM:SS" for an elapsed number of seconds.
QString usedTimeText(int seconds);
QString outputFileText(const QString& outputFile);  // "Output File: %s"
QString doneText(const QString& outputFile);        // "Done. Output File: %s"
// "N samples clipped, peak +X.X dBFS: lower the volumes" (peak: 1.0 is full scale).
QString clippingText(std::int64_t clippedSamples, double peakLevel);
// "FILE contains samples that are not numbers; they were silenced", one line per file.
QString silencedText(const std::vector<std::string>& files);
// "FILE ended early, at 12.3 s of the mix (entry N): ..." for sources whose sound ended well
// before their entries, one line each; `entryOfSource` gives the list's 0-based entry of each
// source of the mix (the usable entries in order).
QString endedEarlyText(const std::vector<media::EndedEarlySource>& sources, const std::vector<int>& entryOfSource);
// "Loudness: -16.2 LUFS, range 4.1 LU, true peak -0.8 dBTP"; for a normalized mix that the
// true-peak ceiling held below its target, a second line says by how much. Empty when the mix
// was not measured.
QString loudnessText(const media::LoudnessFigures& loudness, const OutputSettings& settings);

// Before the first mix into an output that an opened list named (and the user has not chosen
// since): asks once, naming the full destination, whether to write there. True when the mix may
// go on; a Yes is remembered in `settings`.
bool confirmListOutput(OutputSettings& settings, Desktop& desktop);

// What a mix did, for a report beside the file.
struct MixSummary {
    std::int64_t frames = 0;  // the output's whole length, in frames of its rate
    std::int64_t clippedSamples = 0;
    double peakLevel = 0.0;           // the highest sample level; 1.0 is full scale
    std::vector<int> skippedEntries;  // 0-based: entries that could not be mixed (muted ones are not)
    int rate = 0;                     // the output's rate
    ChapterPlan chapters;             // in frames of `rate`
};

class MixRunControl {
public:
    MixRunControl(media::MediaLibrary& library, Desktop& desktop, MixRunView& view);
    ~MixRunControl();

    // What to do when the output will not fit; `hint` follows a refusal (how to go on anyway).
    void setWhenShortOfSpace(SpaceShortage action, const QString& hint = {})
    {
        shortOfSpace_ = action;
        refusalHint_ = hint;
    }

    // The output is the process's standard output, opened by whoever started it: it is written
    // as it is, never asked about nor deleted.
    void setOutputIsStandardOutput(bool standardOutput) { standardOutput_ = standardOutput; }

    // Every check start() makes before it writes anything, with the same messages and questions:
    // true when a mix would start. `usable` receives which entries the mix would take (empty when
    // a check before the sources' refused); `replacing` whether an existing output goes.
    bool checkBeforeMix(const MixItemStore& store, const OutputSettings& settings, std::vector<bool>& usable,
                        bool& replacing);
    // The chapters a mix of the `usable` entries into the output `settings` name keeps, after a
    // warning of those left out and of a WAV file that holds none; start() says the same.
    ChapterPlan chaptersOfMix(const MixItemStore& store, const OutputSettings& settings,
                              const std::vector<bool>& usable);
    // Checks the list and the output, then starts a mix of `store` into the output `settings`
    // name; every refusal is shown. Does nothing while a mix runs.
    void start(const MixItemStore& store, const OutputSettings& settings);
    // Stops the running mix; what was written stays a valid file. Does nothing when none runs.
    void stop();
    // The Mix button: starts a mix, or stops the running one.
    void mixCommand(const MixItemStore& store, const OutputSettings& settings);
    // The graph posted a notice: drain its events without waiting.
    void onGraphNotice();
    // One second passed.
    void onTimerTick();
    // False (with a message) while a mix runs; the window stays open.
    bool closeRequested();

    bool isMixing() const { return mixing_; }
    int elapsedSeconds() const { return elapsedSeconds_; }
    // 0..1 of the output written, or a negative value when not known.
    double progress() const;
    // Frames written so far by the running mix (0 when none runs); its whole length is
    // lastSummary().frames.
    std::int64_t framesDone() const;
    // The running or last mix; its clipping is known once it completed.
    const MixSummary& lastSummary() const { return summary_; }
    // How the last mix ended; meaningful once it is no longer mixing.
    MixOutcome lastOutcome() const { return lastOutcome_; }
    const QString& outputFile() const { return outputFile_; }
    // The loudness of the last completed mix (measured false before one completed).
    const media::LoudnessFigures& lastLoudness() const { return lastLoudness_; }
    // The last completed mix's loudness in words (see loudnessText), or empty.
    const QString& lastLoudnessText() const { return lastLoudnessText_; }

    // The stems of the running or last mix (none without a stems folder).
    const StemPlan& lastStems() const { return stems_; }

private:
    // The list's tags can go into a file of `container`: its cover is read (into checkedTags_);
    // what the file cannot keep is named in a warning. False after saying why the cover cannot be
    // used.
    bool tagsCanBeWritten(const ListTags& tags, media::core::OutputContainer container);
    bool outputIsAnInput(const MixItemStore& store, const QString& outputFile);
    // Plans the stem files of a mix with a stems folder, refuses what cannot be written and asks
    // before replacing files; false after saying why. `replacingStems` whether existing ones go.
    bool checkStems(const MixItemStore& store, const OutputSettings& settings, const std::vector<bool>& usable,
                    const OutputChoice& choice, bool& replacingStems);
    // The shortage of room for the stems in words, or empty.
    QString stemsShortage(const MixItemStore& store, const std::vector<bool>& usable, const OutputChoice& choice,
                          const QString& folder) const;
    QStringList stemPaths(const QString& folder) const;
    // The output is not one of the inputs and its folder can take it (or, but for a list's
    // output, be made); false after saying why.
    bool outputCanBeWritten(const MixItemStore& store, const OutputSettings& settings);
    // The shortage of room for the mix in words, or empty when it fits; `refused` after a message
    // that ends the mix (the temporary folder is missing).
    QString shortageBeforeMix(const MixItemStore& store, const std::vector<bool>& usable, const OutputChoice& choice,
                              const QString& outputFile, bool replacing, bool& refused);
    bool roomForOutput(const MixItemStore& store, const std::vector<bool>& usable, const OutputChoice& choice,
                       const QString& outputFile, bool replacing);
    void finishMix(MixOutcome outcome);
    // What follows a failure's message: what became of the output.
    QString afterFailureText(const media::GraphEvent& failure) const;

    media::MediaLibrary& library_;
    Desktop& desktop_;
    MixRunView& view_;
    bool mixing_ = false;
    int elapsedSeconds_ = 0;
    QString outputFile_;
    OutputSettings runSettings_;           // of the running or last mix
    media::core::OutputTags checkedTags_;  // read by the last checkBeforeMix, for start()
    media::LoudnessFigures lastLoudness_;
    MixSummary summary_;
    std::vector<int> entryOfSource_;  // of the running or last mix: the list's entry of each source
    QString lastLoudnessText_;
    std::shared_ptr<media::Timeline> timeline_;
    RenderJob job_;
    MixOutcome lastOutcome_ = MixOutcome::Completed;
    SpaceShortage shortOfSpace_ = SpaceShortage::Ask;
    bool standardOutput_ = false;
    QString refusalHint_;
    StemPlan stems_;          // of the mix being checked, running or last
    QString runStemsFolder_;  // its stems folder
};

}  // namespace sonarel
