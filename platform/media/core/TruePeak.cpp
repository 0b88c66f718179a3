// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/TruePeak.h"

#include <algorithm>
#include <cmath>

namespace sonarel::media::core {

// A Hann-windowed sinc cut at the input's Nyquist frequency, split into phases; each phase is
// scaled to a gain of 1 at 0 Hz so that a constant level reads as itself.
TruePeakMeter::TruePeakMeter(int channels, int rate)
    : channels_(channels),
      factor_(rate < 96000    ? 4
              : rate < 192000 ? 2
                              : 1),
      history_(static_cast<std::size_t>(channels), std::vector<float>(kTaps - 1, 0.0f))
{
    const int length = kTaps * factor_;
    const double centre = (length - 1) / 2.0;
    coefficients_.assign(static_cast<std::size_t>(length), 0.0f);
    for (int phase = 0; phase < factor_; ++phase) {
        double sum = 0.0;
        std::vector<double> taps(kTaps);
        for (int k = 0; k < kTaps; ++k) {
            const double j = phase + k * factor_;
            const double x = (j - centre) / factor_;
            const double sinc = x == 0.0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
            const double window = 0.5 - 0.5 * std::cos(2.0 * M_PI * (j + 0.5) / length);
            taps[static_cast<std::size_t>(k)] = sinc * window;
            sum += taps[static_cast<std::size_t>(k)];
        }
        double magnitude = 0.0;
        for (int k = 0; k < kTaps; ++k) {
            coefficients_[static_cast<std::size_t>(phase * kTaps + k)] = static_cast<float>(
                taps[static_cast<std::size_t>(k)] / sum);
            magnitude += std::abs(taps[static_cast<std::size_t>(k)] / sum);
        }
        // The margin covers the rounding of the float sums (12 terms: far below 1e-4).
        gainBound_ = std::max(gainBound_, static_cast<float>(magnitude * 1.0001));
    }
}

void TruePeakMeter::add(const float* interleaved, std::size_t frames)
{
    if (frames == 0)
        return;
    const auto channels = static_cast<std::size_t>(channels_);
    constexpr std::size_t kHistory = kTaps - 1;
    constexpr std::size_t kStretch = 128;  // frames judged at once: short enough to pass over often
    line_.resize(kHistory + frames);
    sum_.resize(std::min(frames, kStretch));
    float peak = peak_;
    for (std::size_t c = 0; c < channels; ++c) {
        std::copy(history_[c].begin(), history_[c].end(), line_.begin());
        for (std::size_t n = 0; n < frames; ++n)
            line_[kHistory + n] = interleaved[n * channels + c];
        for (std::size_t first = 0; first < frames; first += kStretch) {
            const std::size_t count = std::min(kStretch, frames - first);
            float largest = 0.0f;  // of every sample the stretch's taps reach
            for (std::size_t n = first; n < first + kHistory + count; ++n) {
                const float level = line_[n] < 0.0f ? -line_[n] : line_[n];
                largest = level > largest ? level : largest;
            }
            if (largest * gainBound_ <= peak)
                continue;
            for (int phase = 0; phase < factor_; ++phase) {
                const float* h = coefficients_.data() + phase * kTaps;
                std::fill(sum_.begin(), sum_.begin() + static_cast<std::ptrdiff_t>(count), 0.0f);
                for (int k = 0; k < kTaps; ++k) {
                    const float coefficient = h[k];
                    const float* from = line_.data() + kHistory + first - static_cast<std::size_t>(k);
                    float* to = sum_.data();
                    for (std::size_t n = 0; n < count; ++n)
                        to[n] += coefficient * from[n];
                }
                for (std::size_t n = 0; n < count; ++n) {
                    const float level = sum_[n] < 0.0f ? -sum_[n] : sum_[n];
                    peak = level > peak ? level : peak;
                }
            }
        }
        std::copy(line_.end() - kHistory, line_.end(), history_[c].begin());
    }
    peak_ = peak;
}

}  // namespace sonarel::media::core
