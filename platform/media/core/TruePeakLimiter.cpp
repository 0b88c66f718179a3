// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/TruePeakLimiter.h"

#include <algorithm>
#include <cmath>

#include "platform/media/core/TruePeak.h"

namespace sonarel::media::core {

namespace {
// Below this gain a frame counts as lowered (0.009 dB): the release comes back to exactly 1 only
// after a long while, and what it still takes then is not heard.
constexpr double kLoweredBelow = 0.999;
// Closer than 1e-6 to 1, the released gain is 1 again.
constexpr double kUnity = 1.0 - 1e-6;
}  // namespace

TruePeakLimiter::TruePeakLimiter(int channels, int rate, double ceilingDbtp)
    : channels_(std::max(channels, 1)), ceiling_(std::pow(10.0, ceilingDbtp / 20.0))
{
    const TruePeakMeter meter(channels_, rate);
    phases_ = meter.factor();
    tapsPerPhase_ = TruePeakMeter::kTaps;
    taps_ = meter.taps();
    for (int phase = 0; phase < phases_; ++phase) {
        float sum = 0.0f;
        for (int k = 0; k < tapsPerPhase_; ++k)
            sum += std::abs(taps_[static_cast<std::size_t>(phase * tapsPerPhase_ + k)]);
        gainBound_ = std::max(gainBound_, sum * 1.001f);
    }
    window_ = std::max<std::int64_t>(std::llround(kLookAheadSeconds * rate), 1);
    latency_ = window_ - 1 + (tapsPerPhase_ - 1);
    release_ = std::exp(-1.0 / (kReleaseSeconds * std::max(rate, 1)));
    mergeFrames_ = std::max<std::int64_t>(rate / 100, 1);
    history_.assign(static_cast<std::size_t>(2 * tapsPerPhase_ * channels_), 0.0f);
    ramp_.assign(static_cast<std::size_t>(window_), 1.0);
    rampSum_ = static_cast<double>(window_);
    // Before the first frame all is silence: its allowed gains lead the ramp into the first
    // frames, so that a peak at the very start is lowered in full too.
    allowedCount_ = -(window_ - 1);
    std::vector<float> none;
    for (std::int64_t i = 0; i < window_ - 1; ++i)
        addAllowed(1.0, none);
}

double TruePeakLimiter::mostReductionDb() const
{
    return lowestGain_ < 1.0 ? -20.0 * std::log10(lowestGain_) : 0.0;
}

// The frame's level: its largest sample and, where that could reach the ceiling, the largest
// value the meter's interpolator makes with it as the newest sample.
double TruePeakLimiter::framePeak()
{
    const auto channels = static_cast<std::size_t>(channels_);
    const auto length = static_cast<std::size_t>(tapsPerPhase_);
    const std::size_t newest = static_cast<std::size_t>((received_ - 1) % tapsPerPhase_);
    float largest = 0.0f;
    float own = 0.0f;
    for (std::size_t i = 0; i < length * channels; ++i)
        largest = std::max(largest, std::abs(history_[i]));
    for (std::size_t c = 0; c < channels; ++c)
        own = std::max(own, std::abs(history_[newest * channels + c]));
    if (static_cast<double>(largest) * gainBound_ <= ceiling_)
        return own;
    double peak = own;
    for (int phase = 0; phase < phases_; ++phase) {
        const float* taps = taps_.data() + static_cast<std::size_t>(phase * tapsPerPhase_);
        for (std::size_t c = 0; c < channels; ++c) {
            // The ring's second copy: the newest frame and the taps - 1 before it without a wrap.
            const float* frame = history_.data() + (newest + length) * channels + c;
            float sum = 0.0f;
            for (std::size_t k = 0; k < length; ++k)
                sum += taps[k] * *(frame - k * channels);
            peak = std::max(peak, static_cast<double>(std::abs(sum)));
        }
    }
    return peak;
}

void TruePeakLimiter::push(const float* frame)
{
    const auto channels = static_cast<std::size_t>(channels_);
    const std::size_t slot = static_cast<std::size_t>(received_ % tapsPerPhase_);
    std::copy(frame, frame + channels, history_.begin() + static_cast<std::ptrdiff_t>(slot * channels));
    std::copy(frame, frame + channels,
              history_.begin() +
                  static_cast<std::ptrdiff_t>((slot + static_cast<std::size_t>(tapsPerPhase_)) * channels));
    delayed_.insert(delayed_.end(), frame, frame + channels);
    ++received_;
}

void TruePeakLimiter::process(const float* in, std::size_t frames, std::vector<float>& out, std::vector<double>* gains)
{
    gains_ = gains;
    const auto channels = static_cast<std::size_t>(channels_);
    for (std::size_t i = 0; i < frames; ++i) {
        push(in + i * channels);
        addPeak(framePeak(), out);
    }
    gains_ = nullptr;
}

void TruePeakLimiter::finish(std::vector<float>& out, std::vector<double>* gains)
{
    gains_ = gains;
    // Beyond the last frame nothing is loud and every gain is allowed.
    for (int i = 0; i + 1 < tapsPerPhase_; ++i)
        addPeak(0.0, out);
    while (emitted_ < received_)
        addAllowed(1.0, out);
    gains_ = nullptr;
}

// A frame's allowed gain comes from the loudest level among the interpolated values it takes
// part in: those of the next taps - 1 frames too.
void TruePeakLimiter::addPeak(double peak, std::vector<float>& out)
{
    recent_.push_back(peak);
    if (static_cast<int>(recent_.size()) < tapsPerPhase_)
        return;
    const double loudest = *std::max_element(recent_.begin(), recent_.end());
    recent_.pop_front();
    if (allowedCount_ < received_)
        addAllowed(loudest > ceiling_ ? ceiling_ / loudest : 1.0, out);
}

// The gain for frame k reaches the lowest gain allowed within the look-ahead after it, falling to
// it in a straight line (the mean of the last window_ held gains) and released slowly.
void TruePeakLimiter::addAllowed(double allowed, std::vector<float>& out)
{
    const std::int64_t index = allowedCount_++;
    while (!lowest_.empty() && lowest_.back().second >= allowed)
        lowest_.pop_back();
    lowest_.emplace_back(index, allowed);
    const std::int64_t k = index - (window_ - 1);
    while (lowest_.front().first < k)
        lowest_.pop_front();
    if (k < -(window_ - 1))
        return;
    held_ = std::min(lowest_.front().second, 1.0 - (1.0 - held_) * release_);
    if (held_ > kUnity)
        held_ = 1.0;
    const std::size_t slot = static_cast<std::size_t>((k % window_ + window_) % window_);
    rampSum_ += held_ - ramp_[slot];
    ramp_[slot] = held_;
    if (k < 0)
        return;  // before the first frame
    const double gain = rampSum_ / static_cast<double>(window_);
    emit(gain > 1.0 - 1e-9 ? 1.0 : gain, out);  // a sum of ones drifts by rounding; a frame left alone keeps its bits
}

void TruePeakLimiter::emit(double gain, std::vector<float>& out)
{
    if (emitted_ >= received_)
        return;
    const auto channels = static_cast<std::size_t>(channels_);
    if (gain < kLoweredBelow) {
        if (lastLowered_ < 0 || emitted_ - lastLowered_ > mergeFrames_)
            ++peaks_;
        lastLowered_ = emitted_;
    }
    lowestGain_ = std::min(lowestGain_, gain);
    if (gains_)
        gains_->push_back(gain);
    for (std::size_t c = 0; c < channels; ++c) {
        out.push_back(gain < 1.0 ? static_cast<float>(delayed_.front() * gain) : delayed_.front());
        delayed_.pop_front();
    }
    ++emitted_;
}

void LimiterFollower::follow(const float* in, std::size_t frames, const std::vector<double>& gains,
                             std::vector<float>& out)
{
    delayed_.insert(delayed_.end(), in, in + frames * channels_);
    for (const double gain : gains)
        for (std::size_t c = 0; c < channels_ && !delayed_.empty(); ++c) {
            // The limiter's own expression, so that a stem's frame is scaled to the same bits.
            out.push_back(gain < 1.0 ? static_cast<float>(delayed_.front() * gain) : delayed_.front());
            delayed_.pop_front();
        }
}

}  // namespace sonarel::media::core
