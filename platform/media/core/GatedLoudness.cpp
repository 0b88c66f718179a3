// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/GatedLoudness.h"

#include <algorithm>
#include <cmath>

namespace sonarel::media::core {

namespace {

// The bins' edges and centres in energy: edge i at -70 + i/10 LUFS, centre i halfway up.
struct BinTable {
    std::array<double, 1001> edges{};
    std::array<double, 1000> centres{};
    BinTable()
    {
        for (std::size_t i = 0; i < edges.size(); ++i)
            edges[i] = std::pow(10.0, (static_cast<double>(i) / 10.0 - 70.0 + 0.691) / 10.0);
        for (std::size_t i = 0; i < centres.size(); ++i)
            centres[i] = std::pow(10.0, (static_cast<double>(i) / 10.0 - 69.95 + 0.691) / 10.0);
    }
};

const BinTable& bins()
{
    static const BinTable table;
    return table;
}

const double kAbsoluteGate = std::pow(10.0, (-70.0 + 0.691) / 10.0);
const double kRelativeGate = std::pow(10.0, -10.0 / 10.0);  // 10 LU below the ungated mean
const double kRangeGate = std::pow(10.0, -20.0 / 10.0);     // 20 LU below, for the range

// The bin an energy at or above the absolute gate falls in.
std::size_t binOf(double energy)
{
    const auto& edges = bins().edges;
    std::size_t low = 0, high = 1000;
    do {
        const std::size_t middle = (low + high) / 2;
        if (energy >= edges[middle])
            low = middle;
        else
            high = middle;
    } while (high - low != 1);
    return low;
}

// The first bin whose centre is at or above a gate.
std::size_t firstBinAbove(double gate)
{
    if (gate < bins().edges[0])
        return 0;
    const std::size_t bin = binOf(gate);
    return gate > bins().centres[bin] ? bin + 1 : bin;
}

}  // namespace

GatedLoudness::GatedLoudness(bool binned) : binned_(binned) {}

double GatedLoudness::energyToLoudness(double energy)
{
    return 10 * (std::log(energy) / std::log(10.0)) - 0.691;
}

void GatedLoudness::count(Bins& bins, double energy)
{
    ++bins[binOf(energy)];
}

void GatedLoudness::addGatingBlock(double energy)
{
    if (energy < kAbsoluteGate)
        return;
    if (binned_)
        count(gatingBins_, energy);
    else
        gating_.push_back(energy);
}

void GatedLoudness::addShortTermBlock(double energy)
{
    if (energy < kAbsoluteGate)
        return;
    if (binned_)
        count(shortTermBins_, energy);
    else
        shortTerm_.push_back(energy);
}

double GatedLoudness::integratedLufs() const
{
    if (binned_)
        return integratedFromBins();
    if (gating_.empty())
        return -HUGE_VAL;
    double mean = 0.0;
    for (const double energy : gating_)
        mean += energy;
    const double gate = mean / static_cast<double>(gating_.size()) * kRelativeGate;
    double gated = 0.0;
    std::size_t counted = 0;
    for (const double energy : gating_) {
        if (energy >= gate) {
            gated += energy;
            ++counted;
        }
    }
    return counted ? energyToLoudness(gated / static_cast<double>(counted)) : -HUGE_VAL;
}

GatedLoudness::BinnedSum GatedLoudness::sumFrom(const Bins& counts, std::size_t first)
{
    const auto& centres = bins().centres;
    BinnedSum sum;
    for (std::size_t i = first; i < counts.size(); ++i) {
        sum.energy += static_cast<double>(counts[i]) * centres[i];
        sum.blocks += counts[i];
    }
    return sum;
}

double GatedLoudness::integratedFromBins() const
{
    const BinnedSum all = sumFrom(gatingBins_, 0);
    if (!all.blocks)
        return -HUGE_VAL;
    const BinnedSum gated = sumFrom(gatingBins_,
                                    firstBinAbove(all.energy / static_cast<double>(all.blocks) * kRelativeGate));
    return gated.blocks ? energyToLoudness(gated.energy / static_cast<double>(gated.blocks)) : -HUGE_VAL;
}

double GatedLoudness::rangeLu() const
{
    if (binned_)
        return rangeFromBins();
    if (shortTerm_.empty())
        return 0.0;
    std::vector<double> sorted = shortTerm_;
    std::sort(sorted.begin(), sorted.end());
    double mean = 0.0;
    for (const double energy : sorted)
        mean += energy;
    const double gate = mean / static_cast<double>(sorted.size()) * kRangeGate;
    const auto first = std::lower_bound(sorted.begin(), sorted.end(), gate);
    const auto size = static_cast<std::size_t>(sorted.end() - first);
    if (size == 0)
        return 0.0;
    const double high = first[static_cast<std::ptrdiff_t>(static_cast<double>(size - 1) * 0.95 + 0.5)];
    const double low = first[static_cast<std::ptrdiff_t>(static_cast<double>(size - 1) * 0.1 + 0.5)];
    return energyToLoudness(high) - energyToLoudness(low);
}

double GatedLoudness::rangeFromBins() const
{
    const auto& centres = bins().centres;
    const BinnedSum all = sumFrom(shortTermBins_, 0);
    if (!all.blocks)
        return 0.0;
    const std::size_t first = firstBinAbove(all.energy / static_cast<double>(all.blocks) * kRangeGate);
    const std::size_t size = sumFrom(shortTermBins_, first).blocks;
    if (!size)
        return 0.0;
    const auto lowRank = static_cast<std::size_t>(static_cast<double>(size - 1) * 0.1 + 0.5);
    const auto highRank = static_cast<std::size_t>(static_cast<double>(size - 1) * 0.95 + 0.5);
    std::size_t seen = 0, i = first;
    while (seen <= lowRank)
        seen += shortTermBins_[i++];
    const double low = centres[i - 1];
    while (seen <= highRank)
        seen += shortTermBins_[i++];
    const double high = centres[i - 1];
    return energyToLoudness(high) - energyToLoudness(low);
}

}  // namespace sonarel::media::core
