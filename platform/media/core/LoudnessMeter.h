// SPDX-License-Identifier: GPL-3.0-or-later
// The loudness of a mix as EBU R128 / ITU-R BS.1770 define it, measured by libebur128 on the
// float samples that are written: integrated loudness, loudness range, sample and true peak (the
// last by TruePeakMeter).
#pragma once

#include <cstddef>
#include <memory>

#include "platform/media/Formats.h"
#include "platform/media/core/TruePeak.h"

namespace sonarel::media::core {

class LoudnessMeter {
public:
    LoudnessMeter(int channels, int rate);
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
