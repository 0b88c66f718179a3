// SPDX-License-Identifier: GPL-3.0-or-later
// How a source gets to a point inside its file. Reading from the start and leaving out what comes
// before the point is always right, and costs as long as the part left out; for the formats whose
// seeking is exact (the decoder's output after a seek is the same, sample for sample, as after
// decoding from the start), a seek to shortly before the point and a short decode get the same
// samples at once.
#pragma once

#include <cstdint>
#include <string_view>

namespace sonarel::media::core {

// Whether decoding `codec` (FFmpeg's codec name) from `demuxer` after a seek, with some preroll,
// gives the same samples as decoding from the start: PCM in WAV, AIFF and CAF, FLAC, MP3, Vorbis,
// WavPack and ALAC.
// AAC is not: the decoder's noise substitution draws from a generator that runs from the start.
bool seeksExactly(std::string_view demuxer, std::string_view codec);

struct StartPlan {
    std::int64_t seekSample = -1;  // the input sample to seek to before decoding; -1: no seek
    std::int64_t feedFrom = 0;     // the first input sample handed to the resampler
    std::int64_t dropOutput = 0;   // output frames then left out
};

// Where to start for a stream that leaves out `skipFrames` output frames, when `inUnits` input
// samples make `outUnits` output frames (the resampler's reduced ratio) and the input runs at
// `inRate`. The resampler starts on an input sample where the two grids meet, and far enough
// before the point that its filter has filled, so the frames from the point on are those of a
// stream read from the start; the seek lands half a second earlier still, for the decoder to
// settle (MP3's bit reservoir, the overlap of transform codecs).
StartPlan planStart(std::int64_t skipFrames, std::int64_t inUnits, std::int64_t outUnits, int inRate, bool exact);

}  // namespace sonarel::media::core
