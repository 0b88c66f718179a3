// SPDX-License-Identifier: GPL-3.0-or-later
// One entry of the mix list and the fixed-capacity store that holds them.
//
// `MixItem` is the one entry type: the store holds it, list files and the command line read and
// write it, the undo history keeps copies of it, and render/EngineEntry turns it into the
// engine's. What a person sets for an entry is its `EntryProperties`; a new per-entry property is
// added there and as a row of model/EntryPropertyTable.h, whose loops give it a column, a key,
// messages, undo and a row in the audio settings dialog.
//
// The store is plain data owned by the main window (or the command-line mixer). The window's store
// holds kMixItemCapacity entries, its slots made once at construction, and is changed through
// model/MixListModel, which tells the window's views; the command-line mixer's takes any number
// (kUnboundedCapacity) and grows as entries come. Row i of the list view always shows entry i.
#pragma once

#include <QString>
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/Ducking.h"
#include "model/EntryLimits.h"
#include "model/ReferenceTime.h"
#include "platform/NativePath.h"
#include "platform/PathLimits.h"

namespace sonarel {

inline constexpr int kMixItemCapacity = 1000;
// A store without a limit of its own: what fits in memory.
inline constexpr int kUnboundedCapacity = -1;

// An out point that means "to the end of the file".
inline constexpr REFERENCE_TIME kToSourceEnd = -1;

// How a fade's gain rises from 0 to 1 over its length T: linear is exactly t / T; equal power is
// sin(t / T * pi / 2), which keeps the loudness even where two fading entries cross.
enum class FadeCurve { Linear, EqualPower };

// A point of an entry's level line: at `time` of the file's own time (as the in and out points),
// its level is `level` times the volume. Between two points the level is linear in time; before
// the first and after the last it stays at theirs. Kept in time order, each after the one before.
struct VolumePoint {
    REFERENCE_TIME time = 0;
    double level = 1.0;
    friend bool operator==(const VolumePoint&, const VolumePoint&) = default;
};
using VolumePoints = std::vector<VolumePoint>;
inline constexpr std::size_t kMostVolumePoints = 10'000;
inline constexpr double kHighestPointLevel = 100.0;

// The level the points give at `time` of the file (1 without points).
double pointsLevelAt(const VolumePoints& points, REFERENCE_TIME time);

// What a person sets for one entry: in the dialog, a list file or on the command line. Every
// default leaves the entry as a plain placement of the whole file.
struct EntryProperties {
    REFERENCE_TIME startTime = 0;  // where the entry begins on the output time line
    double volume = 1.0;           // linear gain, 1.0 = unchanged
    double speed = 1.0;            // playback rate; occupies (out - in) / speed of output time
    // The part of the source that plays, in source time: from inPoint to outPoint.
    REFERENCE_TIME inPoint = 0;
    REFERENCE_TIME outPoint = kToSourceEnd;
    // Fade lengths in output time; 0 is no fade.
    REFERENCE_TIME fadeIn = 0;
    REFERENCE_TIME fadeOut = 0;
    FadeCurve fadeCurve = FadeCurve::Linear;
    // Off: the speed moves the pitch with it (varispeed). On: the speed changes the tempo only,
    // and pitchSemitones shifts the pitch without changing the length.
    bool keepPitch = false;
    double pitchSemitones = 0.0;
    // A muted entry stays in the list but is not mixed and does not count toward the mix's length.
    bool muted = false;
    // The level line over the file's own time; none: the volume alone.
    VolumePoints volumePoints{};
    // While this entry plays, every entry that is not one lowers by the list's ducking depth
    // (model/Ducking.h): a voice over music.
    bool duck = false;
    // The title of the chapter that starts where this entry starts; empty: none.
    std::string chapter{};
    // The group whose stem this entry goes to; empty: none.
    std::string group{};

    friend bool operator==(const EntryProperties&, const EntryProperties&) = default;
};

// Whether two entries' properties are the same to the bit, as the undo history tells a change:
// unlike ==, a NaN equals itself (so it never reads as a change) and -0 differs from 0.
bool sameProperties(const EntryProperties& a, const EntryProperties& b);

// Whether any property beyond start, volume and speed differs from its default: only then does a
// list file need more than its four classic columns.
bool usesShaping(const EntryProperties& properties);

struct MixItem : EntryProperties {
    std::string filePath;         // the file system's bytes (UTF-8 or not); absolute once in the list
    REFERENCE_TIME duration = 0;  // measured length; 0 or -1 when it could not be measured

    // As text that leads back to the same bytes (platform/NativePath.h); readablePath() for display.
    QString filePathText() const { return pathFromBytes(filePath); }
    EntryProperties& properties() { return *this; }
    const EntryProperties& properties() const { return *this; }
};

// The part of the source that plays, in source time: in .. out, where an out point at or past the
// measured length (or kToSourceEnd) is the length, as measured (an unmeasured length stays as it is).
REFERENCE_TIME playedStart(const MixItem& item);
REFERENCE_TIME playedStop(const MixItem& item);
// Where the entry ends on the output time line: start + (played stop - played start) / speed,
// worked out in floating point and truncated toward zero, kept inside the 64-bit range. The
// engine's time line and placing entries in sequence both take it from here.
REFERENCE_TIME outputEnd(const MixItem& item);
// Whether the entry's length on the output is known: its file's length was measured and its
// speed can be divided by.
bool outputLengthKnown(const MixItem& item);

// Whether the start or the end of the played part cuts into the file (rather than being its own
// start or end): a cut edge gets a short ramp so that it does not click.
bool cutsAtStart(const MixItem& item);
bool cutsAtEnd(const MixItem& item);

// Whether a path can be kept in the list: it fits the platform's path buffer with its terminator
// and holds no NUL (which would silently cut it wherever it is handed on as a C string).
bool fitsPathBuffer(std::string_view path);

enum class AppendResult { Appended, ListFull, PathTooLong };

class MixItemStore {
public:
    explicit MixItemStore(int capacity = kMixItemCapacity);

    int audioCount() const { return static_cast<int>(items_.size()); }
    // The most entries it holds, or kUnboundedCapacity.
    int capacity() const { return capacity_; }
    bool isFull() const;

    // The one way an entry enters the list: `item`, appended after the last entry. Refuses,
    // writing nothing, when the list is full or the path does not fit.
    AppendResult append(MixItem item);
    // A newly added file: start 0, volume 1.0 and speed 1.0.
    AppendResult append(std::string_view path, REFERENCE_TIME duration);

    // Valid indices are 0 .. audioCount() - 1; anything else is a programming error.
    MixItem& at(int index);
    const MixItem& at(int index) const;

    // Removes entry `index`, moving every following entry down one place.
    void removeAt(int index);
    // Empties the list of entries; its ducking stays (see setDucking).
    void clear() { items_.clear(); }
    // Room for `count` entries in all, made at once (a long list read from a file would otherwise
    // pass through copies of twice its size).
    void reserve(std::size_t count) { items_.reserve(count); }

    // The list's ducking: how far, and how fast, the entries that are not `duck` ones go down
    // while one plays.
    const DuckSettings& ducking() const { return ducking_; }
    void setDucking(const DuckSettings& ducking) { ducking_ = ducking; }

private:
    std::vector<MixItem> items_;
    int capacity_;
    DuckSettings ducking_;
};

// The store's entries, copied out in order: what a list file is written from and what undo keeps.
std::vector<MixItem> entriesOf(const MixItemStore& store);

}  // namespace sonarel
