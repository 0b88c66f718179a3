// SPDX-License-Identifier: GPL-3.0-or-later
// The loudness of a mix as EBU R128 / ITU-R BS.1770 define it, measured on the float samples that
// are written: integrated loudness, loudness range, sample and true peak (the last by
// TruePeakMeter). The figures are libebur128's (the tests hold them to it) at a tenth of its cost:
// the K-weighted squares are summed once per 100 ms, and the 400 ms and 3 s blocks are built from
// those sums. Used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/media/Formats.h"
#include "platform/media/core/GatedLoudness.h"
#include "platform/media/core/KWeighting.h"
#include "platform/media/core/TruePeak.h"

namespace sonarel::media::core {

// Longer mixes are measured with their blocks counted in bins of 0.1 dB instead of kept, which
// would grow by 80 bytes per second of output. The figures then agree with the exact ones to
// within a few hundredths of a dB.
inline constexpr std::int64_t kLongestExactlyMeasuredSeconds = 4 * 3600;

class LoudnessMeter {
public:
    // `frames`: the expected length of what will be measured (0: unknown, short).
    LoudnessMeter(int channels, int rate, std::int64_t frames = 0);

    bool valid() const;
    void add(const float* interleaved, std::size_t frames);
    // The figures so far (measured false when the meter could not be made).
    LoudnessFigures figures() const;

private:
    void finishSlot();
    double energyOfLastSlots(std::size_t slots) const;

    int channels_;
    std::size_t slotFrames_;  // 100 ms, rounded
    KWeighting weighting_;
    TruePeakMeter truePeak_;
    GatedLoudness blocks_;
    double slotSquares_ = 0.0;    // of the slot being filled
    std::size_t slotFilled_ = 0;  // frames
    std::vector<double> slots_;   // the squares of the last 30 slots, as a ring
    std::size_t slotsDone_ = 0;
    float samplePeak_ = 0.0f;
};

}  // namespace sonarel::media::core
