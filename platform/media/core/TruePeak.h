// SPDX-License-Identifier: GPL-3.0-or-later
// The true peak of ITU-R BS.1770: the highest level between the samples, found by upsampling
// four times below 96 kHz and twice below 192 kHz with a 12-tap-per-phase interpolator. Written
// here rather than taken from libebur128 because its interpolator cost more than the rest of a
// mix. The interleaved samples are filtered as they are, four (or, where the processor has AVX,
// eight) outputs at a time with the sums in registers: an output's taps lie one frame apart, so
// one loop serves any number of channels. A stretch
// of samples is interpolated only when it could raise the peak: no interpolated value exceeds the
// largest sample of its taps times the sum of the taps' magnitudes, so a stretch whose bound stays
// at or below the peak so far is passed over, and the peak found is the same.
#pragma once

#include <cstddef>
#include <vector>

namespace sonarel::media::core {

class TruePeakMeter {
public:
    TruePeakMeter(int channels, int rate);
    void add(const float* interleaved, std::size_t frames);
    double peak() const { return peak_; }  // linear, 1.0 = full scale
    // The interpolator: `factor` phases of kTaps taps each, the first tap for the newest sample.
    int factor() const { return factor_; }
    const std::vector<float>& taps() const { return coefficients_; }
    static constexpr int kTaps = 12;

private:
    int channels_;
    int factor_;
    std::vector<float> coefficients_;  // [phase][tap]
    float gainBound_ = 1.0f;           // the largest sum of |taps| of a phase, with a margin
    std::vector<float> line_;          // interleaved: the last kTaps - 1 frames, then the block
    float peak_ = 0.0f;
};

}  // namespace sonarel::media::core
