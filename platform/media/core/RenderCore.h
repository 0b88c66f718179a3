// SPDX-License-Identifier: GPL-3.0-or-later
// What the file mix and playback render alike: which sources join in which block, and the sum of
// their parts. Both take the sources in the order they begin on the output and sum each block's
// parts in timeline order, so a block played holds the very samples the file holds there. How the
// parts get filled (decoding ahead on workers, or block by block) and where the sum goes (a file
// and the loudness meter, or the sound device) is each render's own.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/media/core/DuckEnvelope.h"
#include "platform/media/core/Placement.h"
#include "platform/media/core/PlayingSource.h"

namespace sonarel::media::core {

// The most threads that decode a render's sources.
inline constexpr int kMaxRenderWorkers = 16;

// The sources of a render in the order they begin on the output (ties in timeline order), handed
// out as the blocks reach them. Used on the render's own thread.
class SourceSchedule {
public:
    using Sources = std::vector<std::unique_ptr<PlayingSource>>;

    // The sources of `entries` that still sound after `fromFrame`, placed at `rate`. `entries` must
    // outlive the schedule and every source it admits. Every source that is not a voice is ducked
    // under the voices of all `entries`, those before `fromFrame` too.
    SourceSchedule(const std::vector<SourceEntry>& entries, int rate, std::int64_t fromFrame = 0);

    // The sources not admitted yet that begin before `blockEnd`, ready to play, in the order they
    // begin; those that end by `blockStart` are passed over.
    Sources admit(std::int64_t blockStart, std::int64_t blockEnd);
    // How many sources not admitted yet begin before `before` and still sound after `after`.
    std::int64_t waiting(std::int64_t after, std::int64_t before) const;

private:
    const std::vector<SourceEntry>& entries_;
    std::vector<std::size_t> order_;
    std::vector<std::int64_t> starts_;  // per entry
    std::vector<std::int64_t> lengths_;
    std::shared_ptr<const DuckEnvelope> duck_;  // null without voices
    std::size_t next_ = 0;                      // the first in `order_` not admitted yet
};

// Fills `mix` with `frames` frames of `channels` channels: the sum of the parts that `sources`
// hold in `slot`, added in the order given, which is the timeline order.
void sumParts(std::span<const PlayingSource* const> sources, int slot, std::int64_t frames, int channels, float* mix);

// Why a render ends at `source`, whose reading failed: its file and the reason.
std::string readFailureDetail(const PlayingSource& source);

}  // namespace sonarel::media::core
