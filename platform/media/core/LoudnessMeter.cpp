// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/LoudnessMeter.h"

#include <algorithm>
#include <cmath>

#include "platform/media/core/LargestMagnitude.h"

namespace sonarel::media::core {

namespace {

constexpr std::size_t kGatingSlots = 4;      // 400 ms
constexpr std::size_t kShortTermSlots = 30;  // 3 s
constexpr std::size_t kShortTermStep = 10;   // a short-term block every second

double decibels(double level)
{
    return level > 0.0 ? 20.0 * std::log10(level) : -HUGE_VAL;
}

bool supported(int channels, int rate)
{
    return channels > 0 && channels <= 64 && rate >= 16 && rate <= 2822400;
}

}  // namespace

LoudnessMeter::LoudnessMeter(int channels, int rate, std::int64_t frames)
    : channels_(supported(channels, rate) ? channels : 0),
      slotFrames_(static_cast<std::size_t>((std::max(rate, 0) + 5) / 10)),
      weighting_(std::max(channels_, 1), std::max(rate, 16)),
      truePeak_(std::max(channels_, 1), std::max(rate, 16)),
      blocks_(rate > 0 && frames / rate > kLongestExactlyMeasuredSeconds),
      slots_(kShortTermSlots, 0.0)
{
}

bool LoudnessMeter::valid() const
{
    return channels_ > 0;
}

void LoudnessMeter::add(const float* interleaved, std::size_t frames)
{
    if (!valid() || frames == 0)
        return;
    const auto channels = static_cast<std::size_t>(channels_);
    samplePeak_ = std::max(samplePeak_, largestMagnitude(interleaved, frames * channels));
    truePeak_.add(interleaved, frames);
    while (frames > 0) {
        const std::size_t part = std::min(frames, slotFrames_ - slotFilled_);
        slotSquares_ += weighting_.addSquares(interleaved, part);
        slotFilled_ += part;
        interleaved += part * channels;
        frames -= part;
        if (slotFilled_ == slotFrames_)
            finishSlot();
    }
}

void LoudnessMeter::finishSlot()
{
    slots_[slotsDone_ % kShortTermSlots] = slotSquares_;
    ++slotsDone_;
    slotSquares_ = 0.0;
    slotFilled_ = 0;
    if (slotsDone_ >= kGatingSlots)
        blocks_.addGatingBlock(energyOfLastSlots(kGatingSlots));
    if (slotsDone_ >= kShortTermSlots && slotsDone_ % kShortTermStep == 0)
        blocks_.addShortTermBlock(energyOfLastSlots(kShortTermSlots));
}

double LoudnessMeter::energyOfLastSlots(std::size_t slots) const
{
    double squares = 0.0;
    for (std::size_t back = 1; back <= slots; ++back)
        squares += slots_[(slotsDone_ - back) % kShortTermSlots];
    return squares / static_cast<double>(slots * slotFrames_);
}

LoudnessFigures LoudnessMeter::figures() const
{
    LoudnessFigures figures;
    if (!valid())
        return figures;
    // The true peak is never below a sample.
    const double samplePeak = samplePeak_;
    const double truePeak = std::max(samplePeak, truePeak_.peak());
    figures.measured = true;
    figures.integratedLufs = blocks_.integratedLufs();
    const double range = blocks_.rangeLu();
    figures.rangeLu = std::isfinite(range) ? range : 0.0;
    figures.samplePeakDbfs = decibels(samplePeak);
    figures.truePeakDbtp = decibels(truePeak);
    return figures;
}

}  // namespace sonarel::media::core
