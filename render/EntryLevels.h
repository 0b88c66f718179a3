// SPDX-License-Identifier: GPL-3.0-or-later
// Setting entries' levels and trims from their sound: "Match Loudness" sets each entry's volume so
// that its played part (trim, speed and pitch as the mix plays them; no fades) measures a target
// integrated loudness; "Trim Silence" moves each entry's in and out points to its first and last
// sound above a threshold, keeping a short margin of the quiet part. The scan runs on a thread of
// its own (LevelScan), so the window stays responsive and a stop is heeded within a block; the
// command line waits for it. Nothing here changes a list: the caller applies the results.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "model/MixItem.h"
#include "platform/media/core/EntryScan.h"

namespace sonarel {

inline constexpr double kDefaultMatchLufs = -20.0;
inline constexpr double kLowestMatchLufs = -70.0;
inline constexpr double kHighestMatchLufs = 0.0;
inline constexpr double kDefaultSilenceDbfs = -50.0;
inline constexpr double kLowestSilenceDbfs = -120.0;
// The quiet part kept before and after the sound.
inline constexpr REFERENCE_TIME kSilenceMargin = kReferenceUnitsPerSecond / 10;
// The shortest played part whose integrated loudness can be measured: one gating block.
inline constexpr REFERENCE_TIME kShortestMeasuredPart = 4 * kReferenceUnitsPerSecond / 10;

enum class LevelTask { MatchLoudness, TrimSilence };

// What the scan found for one entry.
enum class LevelResult {
    Changed,     // `properties` hold the new volume or trim
    Unchanged,   // already as it should be
    TooShort,    // its played part is shorter than kShortestMeasuredPart
    Silent,      // nothing to measure, or nothing above the threshold
    Unreadable,  // its file could not be read (`detail` says why)
    Clamped,     // matched as far as the loudest volume allows (`properties` hold it)
};

struct LevelScanResult {
    LevelResult result = LevelResult::Unchanged;
    EntryProperties properties;  // the entry's, changed where the result says so
    double measuredLufs = 0.0;   // Match Loudness: the played part's loudness at its volume of 1
    std::string detail;
};

struct LevelScanRequest {
    LevelTask task = LevelTask::MatchLoudness;
    double target = kDefaultMatchLufs;  // LUFS, or the silence threshold in dBFS
    int rate = 44100;                   // the mix's: the part is measured as the mix renders it
    int channels = 2;
};

// The volume that takes a part measured at `measuredLufs` (at volume 1) to `targetLufs`, and
// whether it fits the dialog's highest volume (it is then that volume).
double matchedVolume(double measuredLufs, double targetLufs, bool& clamped);

// The entry's trim moved to `sound` (found within its played part) with kSilenceMargin around it;
// a trim already further in stays.
EntryProperties trimmedToSound(const MixItem& item, const media::core::SoundSpan& sound);

// One entry's scan, on the calling thread.
LevelScanResult scanEntry(const MixItem& item, const LevelScanRequest& request, const std::atomic<bool>* stop);

// The scan of several entries on a thread of its own. start() and stop() on the owner's thread;
// done() and finished() on any; results() once finished() (or after stop(), which waits).
class LevelScan {
public:
    LevelScan(std::vector<MixItem> entries, LevelScanRequest request);
    ~LevelScan();
    LevelScan(const LevelScan&) = delete;
    LevelScan& operator=(const LevelScan&) = delete;

    // False when the thread could not be started.
    bool start();
    // Abandons the scan and waits for its thread; stopped() is then true.
    void stop();
    bool finished() const { return finished_.load(); }
    bool stopped() const { return stop_.load(); }
    int done() const { return done_.load(); }
    int total() const { return static_cast<int>(entries_.size()); }
    // Per entry, in the order given; complete only when it finished without a stop.
    const std::vector<LevelScanResult>& results() const { return results_; }

private:
    void run();

    std::vector<MixItem> entries_;
    LevelScanRequest request_;
    std::vector<LevelScanResult> results_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> done_{0};
    std::thread thread_;
};

// One message naming the entries that were left as they were (too short, silent, unreadable) and
// those that reached the loudest volume, grouped by cause; empty when there are none.
QString entriesLeftText(const std::vector<MixItem>& entries, const std::vector<LevelScanResult>& results,
                        LevelTask task);

}  // namespace sonarel
