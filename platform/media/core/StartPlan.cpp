// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/StartPlan.h"

#include <algorithm>
#include <array>
#include <utility>

namespace sonarel::media::core {

namespace {

// Pairs whose seeking was checked sample by sample against decoding from the start.
// Not in the list: AAC (see below), Opus (its seeks can land after the target), and anything in
// Matroska (timestamps in milliseconds do not name a sample).
constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kExactPairs = {{
    {"flac", "flac"},
    {"mp3", "mp3"},
    {"ogg", "vorbis"},
    {"ogg", "flac"},
    {"wv", "wavpack"},
    {"mov,mp4,m4a,3gp,3g2,mj2", "alac"},
}};

// Seconds of input decoded before the resampler's starting point.
constexpr int kPrerollDivisor = 2;  // half a second

}  // namespace

bool seeksExactly(std::string_view demuxer, std::string_view codec)
{
    const bool pcm = codec.starts_with("pcm_");
    if (pcm && (demuxer == "wav" || demuxer == "aiff" || demuxer == "caf"))
        return true;
    return std::find(kExactPairs.begin(), kExactPairs.end(), std::pair{demuxer, codec}) != kExactPairs.end();
}

StartPlan planStart(std::int64_t skipFrames, std::int64_t inUnits, std::int64_t outUnits, int inRate, bool exact)
{
    StartPlan plan;
    plan.dropOutput = std::max<std::int64_t>(skipFrames, 0);
    if (!exact || skipFrames <= 0 || inUnits <= 0 || outUnits <= 0 || inRate <= 0)
        return plan;
    // The input sample under the first wanted output frame, in two parts so that no product leaves
    // 64 bits (frames below 2^44, units at most 2^19).
    const std::int64_t wanted = skipFrames / outUnits * inUnits + skipFrames % outUnits * inUnits / outUnits;
    // The resampler's filter spans about 32 input samples, widened by the ratio when it reduces.
    const std::int64_t reach = 64 * ((inUnits + outUnits - 1) / outUnits + 1);
    const std::int64_t grids = (wanted - reach) / inUnits;  // whole periods where the grids meet
    const std::int64_t preroll = inRate / kPrerollDivisor;
    if (wanted - reach <= 0 || grids * inUnits - preroll <= 0)
        return plan;  // near the start: decoding from there costs less than a second
    plan.feedFrom = grids * inUnits;
    plan.seekSample = plan.feedFrom - preroll;
    plan.dropOutput = skipFrames - grids * outUnits;
    return plan;
}

}  // namespace sonarel::media::core
