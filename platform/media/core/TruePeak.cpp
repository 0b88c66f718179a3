// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/TruePeak.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/media/core/LargestMagnitude.h"

namespace sonarel::media::core {

namespace {

constexpr std::size_t kHistory = 11;  // taps - 1

using PhasePeak = float (*)(const float* line, std::size_t first, std::size_t end, std::size_t channels,
                            const float* taps);

// The outputs at samples [first, end) of `line` for one phase's taps: each output's sum runs over
// the taps in order, as the scalar loop for the last few does, so that every width gives the same
// bits. Returns their largest magnitude.
float scalarPeak(const float* line, std::size_t first, std::size_t end, std::size_t channels, const float* taps)
{
    float peak = 0.0f;
    for (std::size_t i = first; i < end; ++i) {
        float sum = taps[0] * line[i];
        for (std::size_t k = 1; k <= kHistory; ++k)
            sum += taps[k] * line[i - k * channels];
        peak = std::max(peak, std::abs(sum));
    }
    return peak;
}

float phasePeak4(const float* line, std::size_t first, std::size_t end, std::size_t channels, const float* taps)
{
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    __m128 largest = _mm_setzero_ps();
    std::size_t i = first;
    for (; i + 4 <= end; i += 4) {
        __m128 sum = _mm_mul_ps(_mm_set1_ps(taps[0]), _mm_loadu_ps(line + i));
        for (std::size_t k = 1; k <= kHistory; ++k)
            sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(taps[k]), _mm_loadu_ps(line + i - k * channels)));
        largest = _mm_max_ps(largest, _mm_and_ps(sum, magnitude));
    }
    float lanes[4];
    _mm_storeu_ps(lanes, largest);
    const float peak = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
    return std::max(peak, scalarPeak(line, i, end, channels, taps));
}

__attribute__((target("avx"))) float phasePeak8(const float* line, std::size_t first, std::size_t end,
                                                std::size_t channels, const float* taps)
{
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
    __m256 largest = _mm256_setzero_ps();
    std::size_t i = first;
    for (; i + 8 <= end; i += 8) {
        __m256 sum = _mm256_mul_ps(_mm256_set1_ps(taps[0]), _mm256_loadu_ps(line + i));
        for (std::size_t k = 1; k <= kHistory; ++k)
            sum = _mm256_add_ps(sum, _mm256_mul_ps(_mm256_set1_ps(taps[k]), _mm256_loadu_ps(line + i - k * channels)));
        largest = _mm256_max_ps(largest, _mm256_and_ps(sum, magnitude));
    }
    float lanes[8];
    _mm256_storeu_ps(lanes, largest);
    float peak = 0.0f;
    for (const float lane : lanes)
        peak = std::max(peak, lane);
    return std::max(peak, phasePeak4(line, i, end, channels, taps));
}

// The eight-wide loop where the processor has AVX and gives the four-wide loop's results on a
// test signal; a compiler or processor that fused or reordered the sums would not.
PhasePeak chosenPhasePeak()
{
    if (!__builtin_cpu_supports("avx"))
        return phasePeak4;
    std::array<float, 512> line{};
    std::uint32_t seed = 12345;
    for (float& sample : line) {
        seed = seed * 1664525u + 1013904223u;
        sample = static_cast<float>(seed >> 8) / static_cast<float>(1u << 24) - 0.5f;
    }
    std::array<float, kHistory + 1> taps{};
    for (std::size_t k = 0; k < taps.size(); ++k)
        taps[k] = line[k] * 0.7f;
    for (std::size_t channels = 1; channels <= 2; ++channels)
        for (std::size_t first = kHistory * channels; first + 8 <= line.size(); first += 8) {
            const float four = phasePeak4(line.data(), first, first + 8, channels, taps.data());
            const float eight = phasePeak8(line.data(), first, first + 8, channels, taps.data());
            if (std::memcmp(&four, &eight, sizeof four) != 0)
                return phasePeak4;
        }
    return phasePeak8;
}

const PhasePeak kPhasePeak = chosenPhasePeak();

}  // namespace

// A Hann-windowed sinc cut at the input's Nyquist frequency, split into phases; each phase is
// scaled to a gain of 1 at 0 Hz so that a constant level reads as itself.
TruePeakMeter::TruePeakMeter(int channels, int rate)
    : channels_(channels),
      factor_(rate < 96000    ? 4
              : rate < 192000 ? 2
                              : 1)
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
    line_.assign(kHistory * static_cast<std::size_t>(std::max(channels, 0)), 0.0f);
}

void TruePeakMeter::add(const float* interleaved, std::size_t frames)
{
    if (frames == 0 || channels_ <= 0)
        return;
    static_assert(kTaps == kHistory + 1);
    const auto channels = static_cast<std::size_t>(channels_);
    const std::size_t history = kHistory * channels;
    line_.resize(history + frames * channels);
    std::copy(interleaved, interleaved + frames * channels, line_.begin() + static_cast<std::ptrdiff_t>(history));
    const float* line = line_.data();
    const std::size_t end = line_.size();
    constexpr std::size_t kStretch = 128;  // frames judged at once: short enough to pass over often
    const std::size_t stretch = kStretch * channels;
    float peak = peak_;
    for (std::size_t first = history; first < end; first += stretch) {
        const std::size_t last = std::min(end, first + stretch);
        const float largest = largestMagnitude(line + first - history, last - first + history);  // all the taps reach
        if (largest * gainBound_ <= peak)
            continue;
        for (int phase = 0; phase < factor_; ++phase)
            peak = std::max(peak, kPhasePeak(line, first, last, channels, coefficients_.data() + phase * kTaps));
    }
    std::copy(line_.end() - static_cast<std::ptrdiff_t>(history), line_.end(), line_.begin());
    peak_ = peak;
}

}  // namespace sonarel::media::core
