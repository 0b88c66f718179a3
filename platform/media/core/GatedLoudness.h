// SPDX-License-Identifier: GPL-3.0-or-later
// Integrated loudness and loudness range from the energies of the gating blocks (400 ms, every
// 100 ms) and the short-term blocks (3 s, every second), gated as BS.1770 and EBU Tech 3342 say,
// with libebur128's rules for the gates and percentiles. Blocks below the absolute gate are not
// kept. Long mixes count the blocks in 0.1 dB bins instead of keeping each.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace sonarel::media::core {

class GatedLoudness {
public:
    explicit GatedLoudness(bool binned);

    void addGatingBlock(double energy);
    void addShortTermBlock(double energy);

    double integratedLufs() const;  // -HUGE_VAL when no block passes the gates
    double rangeLu() const;

    static double energyToLoudness(double energy);

private:
    using Bins = std::array<std::size_t, 1000>;
    struct BinnedSum {
        double energy = 0.0;
        std::size_t blocks = 0;
    };
    static void count(Bins& bins, double energy);
    // The energy of the blocks counted in bins from `first` on, and how many they are.
    static BinnedSum sumFrom(const Bins& counts, std::size_t first);
    double integratedFromBins() const;
    double rangeFromBins() const;

    bool binned_;
    std::vector<double> gating_;
    std::vector<double> shortTerm_;
    Bins gatingBins_{};
    Bins shortTermBins_{};
};

}  // namespace sonarel::media::core
