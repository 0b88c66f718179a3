// SPDX-License-Identifier: GPL-3.0-or-later
// The K-weighting of ITU-R BS.1770: a high shelf and a high pass, run as one fourth-order section
// with the coefficients libebur128 derives for the rate, in double. Two channels run side by side
// in one 16-byte vector; the filter's state stays in registers for a whole call, which is where
// most of the time of a straightforward loop goes.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace sonarel::media::core {

class KWeighting {
public:
    KWeighting(int channels, int rate);

    // Filters `frames` interleaved frames and returns the sum of the squares of the output over
    // every channel, each channel weighted as BS.1770 weighs its position.
    double addSquares(const float* interleaved, std::size_t frames);

private:
    double addSquaresStereo(const float* interleaved, std::size_t frames);
    double addSquaresEach(const float* interleaved, std::size_t frames);

    int channels_;
    std::array<double, 5> b_{};
    std::array<double, 5> a_{};
    std::vector<double> weights_;               // per channel; 0 leaves a channel out
    std::vector<std::array<double, 4>> state_;  // per channel: the last four inner values
};

}  // namespace sonarel::media::core
