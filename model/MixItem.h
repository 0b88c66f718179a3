// One entry of the mix list and the fixed-capacity store that holds them.
//
// The store is plain data owned by the main window (or the command-line mixer): one allocation at
// construction, none per entry. Row i of the list view always shows entry i.
#pragma once

#include <QString>
#include <array>
#include <memory>
#include <string_view>

#include "model/ReferenceTime.h"
#include "platform/PathLimits.h"

namespace sonarel {

inline constexpr int kMixItemCapacity = 1000;

class MixItem {
public:
    REFERENCE_TIME duration = 0;   // measured length; 0 or -1 when it could not be measured
    REFERENCE_TIME startTime = 0;  // where the entry begins on the output time line
    double volume = 1.0;           // linear gain, 1.0 = unchanged
    double speed = 1.0;            // playback rate; occupies duration / speed of output time

    std::string_view filePath() const { return {path_.data()}; }
    QString filePathText() const { return QString::fromUtf8(path_.data()); }
    // False (and the old path kept) when `path` does not fit the path buffer with its terminator.
    bool setFilePath(std::string_view path);

private:
    std::array<char, kPathBufferSize> path_{};
};

enum class AppendResult { Appended, ListFull, PathTooLong };

class MixItemStore {
public:
    MixItemStore();

    int audioCount() const { return audioCount_; }
    bool isFull() const { return audioCount_ >= kMixItemCapacity; }

    // Appends with start 0, volume 1.0 and speed 1.0. Refuses, writing nothing, when the list is
    // full or the path does not fit.
    AppendResult append(std::string_view path, REFERENCE_TIME duration);

    // Valid indices are 0 .. audioCount() - 1; anything else is a programming error.
    MixItem& at(int index);
    const MixItem& at(int index) const;

    // Removes entry `index`, moving every following entry down one place.
    void removeAt(int index);
    void clear() { audioCount_ = 0; }

private:
    std::unique_ptr<std::array<MixItem, kMixItemCapacity>> items_;
    int audioCount_ = 0;
};

}  // namespace sonarel
