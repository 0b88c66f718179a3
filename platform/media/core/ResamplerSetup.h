// SPDX-License-Identifier: GPL-3.0-or-later
// How a source's samples are handed to FFmpeg's resampler: its exact rates and its options. A
// source stream and the check before a mix (which answers from what the length probe learned,
// without opening the file again) both set a resampler up here, so the check cannot judge a file
// otherwise than it will play.
#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "platform/media/Status.h"
#include "platform/media/core/FfmpegHandles.h"

namespace sonarel::media::core {

// `inUnits` input samples make `outUnits` output frames: `in` : `out` reduced, where `exact` is
// that ratio as the caller works it out. False when the ratio is out of the resampler's reach, or
// no fraction it can take comes near it (a ratio is refused rather than played as another).
bool resamplerUnits(std::int64_t in, std::int64_t out, double exact, int& inUnits, int& outUnits);

// A resampler from `layout` and `format` at `inUnits` to float `outLayout` at `outUnits`, with the
// options every source's has. On failure, FFmpeg's code is left in `avError` and the status says
// what failed (kErrOutOfMemory, or kErrUnsupportedFormat when it refuses the formats).
Status openResampler(AVChannelLayout& layout, int format, int inUnits, AVChannelLayout& outLayout, int outUnits,
                     SwrPtr& made, int& avError);

}  // namespace sonarel::media::core
