// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/KWeighting.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <cmath>

namespace sonarel::media::core {

namespace {

// Denormal results flushed to zero, as libebur128 runs its filter: the state of a filter fed
// silence decays into denormals, which cost a hundred times a normal operation.
class FlushToZero {
public:
    FlushToZero() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | _MM_FLUSH_ZERO_ON); }
    ~FlushToZero() { _mm_setcsr(saved_); }
    FlushToZero(const FlushToZero&) = delete;
    FlushToZero& operator=(const FlushToZero&) = delete;

private:
    unsigned saved_;
};

// BS.1770's weights by position for the channel orders libebur128 assumes: left, right and
// centre count once, the surround pair 1.41 times, the low-frequency channel not at all.
std::vector<double> channelWeights(int channels)
{
    if (channels == 4)
        return {1.0, 1.0, 1.41, 1.41};
    if (channels == 5)
        return {1.0, 1.0, 1.0, 1.41, 1.41};
    std::vector<double> weights(static_cast<std::size_t>(channels), 0.0);
    constexpr double kByPosition[] = {1.0, 1.0, 1.0, 0.0, 1.41, 1.41};
    for (std::size_t c = 0; c < weights.size() && c < std::size(kByPosition); ++c)
        weights[c] = kByPosition[c];
    return weights;
}

}  // namespace

KWeighting::KWeighting(int channels, int rate)
    : channels_(channels),
      weights_(channelWeights(channels)),
      state_(static_cast<std::size_t>(channels), std::array<double, 4>{})
{
    // The shelf (about +4 dB above 1.7 kHz), then the high pass at 38 Hz, as BS.1770 specifies
    // them at 48 kHz and libebur128 maps them to any rate.
    double f0 = 1681.974450955533;
    const double gain = 3.999843853973347;
    double q = 0.7071752369554196;
    double k = std::tan(M_PI * f0 / rate);
    const double vh = std::pow(10.0, gain / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1.0 + k / q + k * k;
    const double pb[3] = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0};
    const double pa[3] = {1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    f0 = 38.13547087602444;
    q = 0.5003270373238773;
    k = std::tan(M_PI * f0 / rate);
    const double rb[3] = {1.0, -2.0, 1.0};
    const double ra[3] = {1.0, 2.0 * (k * k - 1.0) / (1.0 + k / q + k * k),
                          (1.0 - k / q + k * k) / (1.0 + k / q + k * k)};
    b_ = {pb[0] * rb[0], pb[0] * rb[1] + pb[1] * rb[0], pb[0] * rb[2] + pb[1] * rb[1] + pb[2] * rb[0],
          pb[1] * rb[2] + pb[2] * rb[1], pb[2] * rb[2]};
    a_ = {pa[0] * ra[0], pa[0] * ra[1] + pa[1] * ra[0], pa[0] * ra[2] + pa[1] * ra[1] + pa[2] * ra[0],
          pa[1] * ra[2] + pa[2] * ra[1], pa[2] * ra[2]};
}

double KWeighting::addSquares(const float* interleaved, std::size_t frames)
{
    if (frames == 0)
        return 0.0;
    const FlushToZero flush;
    return channels_ == 2 ? addSquaresStereo(interleaved, frames) : addSquaresEach(interleaved, frames);
}

// The part of the recursion that does not depend on the last output (the terms of the older
// values) is formed first, so each frame waits on one multiply and one subtraction only.
double KWeighting::addSquaresStereo(const float* interleaved, std::size_t frames)
{
    const __m128d a1 = _mm_set1_pd(a_[1]), a2 = _mm_set1_pd(a_[2]), a3 = _mm_set1_pd(a_[3]), a4 = _mm_set1_pd(a_[4]);
    const __m128d b0 = _mm_set1_pd(b_[0]), b1 = _mm_set1_pd(b_[1]), b2 = _mm_set1_pd(b_[2]), b3 = _mm_set1_pd(b_[3]),
                  b4 = _mm_set1_pd(b_[4]);
    __m128d v1 = _mm_set_pd(state_[1][0], state_[0][0]);
    __m128d v2 = _mm_set_pd(state_[1][1], state_[0][1]);
    __m128d v3 = _mm_set_pd(state_[1][2], state_[0][2]);
    __m128d v4 = _mm_set_pd(state_[1][3], state_[0][3]);
    __m128d squares = _mm_setzero_pd();
    for (std::size_t n = 0; n < frames; ++n) {
        // Both samples of the frame, unaligned: the block may start at any frame.
        const __m128d x = _mm_cvtps_pd(
            _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(interleaved + 2 * n))));
        const __m128d older = _mm_sub_pd(_mm_sub_pd(_mm_sub_pd(x, _mm_mul_pd(a2, v2)), _mm_mul_pd(a3, v3)),
                                         _mm_mul_pd(a4, v4));
        const __m128d v0 = _mm_sub_pd(older, _mm_mul_pd(a1, v1));
        const __m128d y = _mm_add_pd(_mm_add_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(b0, v0), _mm_mul_pd(b1, v1)),
                                                           _mm_mul_pd(b2, v2)),
                                                _mm_mul_pd(b3, v3)),
                                     _mm_mul_pd(b4, v4));
        squares = _mm_add_pd(squares, _mm_mul_pd(y, y));
        v4 = v3;
        v3 = v2;
        v2 = v1;
        v1 = v0;
    }
    double lanes[2][4];
    _mm_storeu_pd(&lanes[0][0], _mm_unpacklo_pd(v1, v2));
    _mm_storeu_pd(&lanes[0][2], _mm_unpacklo_pd(v3, v4));
    _mm_storeu_pd(&lanes[1][0], _mm_unpackhi_pd(v1, v2));
    _mm_storeu_pd(&lanes[1][2], _mm_unpackhi_pd(v3, v4));
    for (std::size_t c = 0; c < 2; ++c)
        for (std::size_t i = 0; i < 4; ++i)
            state_[c][i] = lanes[c][i];
    double sums[2];
    _mm_storeu_pd(sums, squares);
    return weights_[0] * sums[0] + weights_[1] * sums[1];
}

double KWeighting::addSquaresEach(const float* interleaved, std::size_t frames)
{
    const auto channels = static_cast<std::size_t>(channels_);
    double total = 0.0;
    for (std::size_t c = 0; c < channels; ++c) {
        if (weights_[c] == 0.0)
            continue;
        double v1 = state_[c][0], v2 = state_[c][1], v3 = state_[c][2], v4 = state_[c][3];
        double squares = 0.0;
        for (std::size_t n = 0; n < frames; ++n) {
            const double x = interleaved[n * channels + c];
            const double v0 = ((x - a_[2] * v2) - a_[3] * v3) - a_[4] * v4 - a_[1] * v1;
            const double y = b_[0] * v0 + b_[1] * v1 + b_[2] * v2 + b_[3] * v3 + b_[4] * v4;
            squares += y * y;
            v4 = v3;
            v3 = v2;
            v2 = v1;
            v1 = v0;
        }
        state_[c] = {v1, v2, v3, v4};
        total += weights_[c] * squares;
    }
    return total;
}

}  // namespace sonarel::media::core
