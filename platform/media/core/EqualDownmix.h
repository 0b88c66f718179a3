// SPDX-License-Identifier: GPL-3.0-or-later
// The downmix for a channel layout the resampler has no matrix for: a count no standard layout
// names (9, 17, 32 channels...), or more channels than it takes at all. Every channel gets the
// same weight, 1/N: a sound present on every channel keeps its level, and the sum can never
// exceed full scale.
#pragma once

#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

namespace sonarel::media::core {

// The mean of all channels of `frame`, in any sample format, written as interleaved float with
// `copies` identical channels into `out`. False for a sample format it does not know.
bool meanOfChannels(const AVFrame& frame, int copies, std::vector<float>& out);

}  // namespace sonarel::media::core
