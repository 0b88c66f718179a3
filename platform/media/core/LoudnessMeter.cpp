// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>

namespace sonarel::media::core {

namespace {
double decibels(double level)
{
    return level > 0.0 ? 20.0 * std::log10(level) : -HUGE_VAL;
}
}  // namespace

struct LoudnessMeter::State {
    ebur128_state* meter = nullptr;
};

LoudnessMeter::LoudnessMeter(int channels, int rate, std::int64_t frames)
    : state_(std::make_unique<State>()), channels_(channels), truePeak_(channels, rate)
{
    int mode = EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_SAMPLE_PEAK;
    if (rate > 0 && frames / rate > kLongestExactlyMeasuredSeconds)
        mode |= EBUR128_MODE_HISTOGRAM;
    state_->meter = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate), mode);
}

LoudnessMeter::~LoudnessMeter()
{
    if (state_->meter)
        ebur128_destroy(&state_->meter);
}

bool LoudnessMeter::valid() const
{
    return state_->meter != nullptr;
}

void LoudnessMeter::add(const float* interleaved, std::size_t frames)
{
    if (state_->meter && frames > 0) {
        ebur128_add_frames_float(state_->meter, interleaved, frames);
        truePeak_.add(interleaved, frames);
    }
}

LoudnessFigures LoudnessMeter::figures() const
{
    LoudnessFigures figures;
    ebur128_state* meter = state_->meter;
    if (!meter)
        return figures;
    double integrated = -HUGE_VAL;
    double range = 0.0;
    if (ebur128_loudness_global(meter, &integrated) != EBUR128_SUCCESS)
        integrated = -HUGE_VAL;
    if (ebur128_loudness_range(meter, &range) != EBUR128_SUCCESS || !std::isfinite(range))
        range = 0.0;
    double samplePeak = 0.0;
    for (int c = 0; c < channels_; ++c) {
        double peak = 0.0;
        if (ebur128_sample_peak(meter, static_cast<unsigned>(c), &peak) == EBUR128_SUCCESS)
            samplePeak = std::max(samplePeak, peak);
    }
    // The true peak is never below a sample.
    const double truePeak = std::max(samplePeak, truePeak_.peak());
    figures.measured = true;
    figures.integratedLufs = std::isfinite(integrated) ? integrated : -HUGE_VAL;
    figures.rangeLu = range;
    figures.samplePeakDbfs = decibels(samplePeak);
    figures.truePeakDbtp = decibels(truePeak);
    return figures;
}

}  // namespace sonarel::media::core
