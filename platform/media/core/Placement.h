// SPDX-License-Identifier: GPL-3.0-or-later
// Where the sources of a group play on the output, in frames of the output rate.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/ReferenceTime.h"
#include "platform/media/SourceShaping.h"

namespace sonarel::media::core {

// A file name that many entries can share: a long list that places a few files many times holds
// each name once.
using SharedName = std::shared_ptr<const std::u16string>;
SharedName sharedName(std::u16string name);

// What the render engine copies from a timeline source.
struct SourceEntry {
    SharedName name;
    REFERENCE_TIME timelineStart = 0;
    REFERENCE_TIME timelineStop = 0;
    REFERENCE_TIME mediaStart = 0;
    REFERENCE_TIME mediaStop = 0;
    double volume = 1.0;
    SourceShaping shaping;
    // The stem its sound also goes to (an index into the mix's stem files); -1: none.
    int stem = -1;

    // The file's name; empty when none was given.
    const std::u16string& fileName() const;
};

// The sources of one render, in timeline order: shared, because a render of a long list would
// otherwise hold them twice (the engine's output and the job that mixes them). Never changed once
// made, so the job's thread reads them while the owner's holds them too.
using SourceList = std::shared_ptr<const std::vector<SourceEntry>>;

// round(t * rate / 10^7), or false when t is out of the range the engine handles.
bool frameAt(REFERENCE_TIME t, int rate, std::int64_t& frame);

// Where a source plays on the output: its first frame and how many it contributes; false when it
// plays nothing.
bool placement(const SourceEntry& entry, int rate, std::int64_t& start, std::int64_t& frames);

// The frame after the last one a source plays on the output; 0 when it plays nothing.
std::int64_t endFrame(const SourceEntry& entry, int rate);

// The output length in frames of a group: up to the end of its last source.
std::int64_t outputFrames(const std::vector<SourceEntry>& entries, int rate);

}  // namespace sonarel::media::core
