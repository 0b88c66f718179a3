// SPDX-License-Identifier: GPL-3.0-or-later
// The samples of a decoded frame on their way into a source's stream: cleared of what is not a
// number, trimmed at their start after a seek, and turned into interleaved float where no
// resampler is needed. Decoding and the resampler are SourceStream's.
#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
}

namespace sonarel::media::core {

// Clears NaN and infinite samples of a decoded frame, before the resampler could spread them over
// their neighbours and before they reach the sum of the mix. Only float formats can hold them; a
// frame is copied only when it holds some. Returns how many were cleared, or -1 when out of memory.
std::int64_t silenceNonFinite(AVFrame& frame);

// Whether samples of `format` are turned into float here rather than by the resampler: with equal
// rates and the output's own layout there is nothing to resample, and a resampler costs about
// 86 KB per source, which adds up when a thousand sources sound at once. The arithmetic is the
// resampler's own, so the samples are the same to the bit.
bool convertsByHand(int format);

// `frames` samples of `format` (see convertsByHand) as interleaved float, scaled as the resampler
// scales them.
void convertToFloat(const std::uint8_t* const* planes, int format, int channels, int frames, float* out);

// Removes the first `count` samples of a decoded frame (0 < count < nb_samples).
bool dropLeadingSamples(AVFrame& frame, int count);

}  // namespace sonarel::media::core
