// SPDX-License-Identifier: GPL-3.0-or-later
// The loudness of a mix as EBU R128 / ITU-R BS.1770 define it, measured by libebur128 on the
// float samples that are written: integrated loudness, loudness range, sample and true peak (the
// last by TruePeakMeter). Used by one thread at a time: the mix hands it from the lane that measures
// beside the mixing (DecodeAhead::alongside) to its own thread once the lane is finished.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/media/Formats.h"
#include "platform/media/core/TruePeak.h"

namespace sonarel::media::core {

// Longer mixes are measured in libebur128's histogram mode: its gating blocks are counted in bins
// of 0.1 dB instead of being kept, which would grow by about 350 bytes per second of output (30 MB
// over a day). The figures then agree with the exact ones to within a few hundredths of a dB.
inline constexpr std::int64_t kLongestExactlyMeasuredSeconds = 4 * 3600;

class LoudnessMeter {
public:
    // `frames`: the expected length of what will be measured (0: unknown, short).
    LoudnessMeter(int channels, int rate, std::int64_t frames = 0);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    bool valid() const;
    void add(const float* interleaved, std::size_t frames);
    // The figures so far (measured false when the meter could not be made).
    LoudnessFigures figures() const;

private:
    struct State;  // libebur128's, which its header declares as a typedef
    std::unique_ptr<State> state_;
    int channels_;
    TruePeakMeter truePeak_;
};

}  // namespace sonarel::media::core
