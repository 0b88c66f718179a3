// SPDX-License-Identifier: GPL-3.0-or-later
// A look-ahead limiter that holds the true peak of what it passes at or below a ceiling. Each
// frame's level is found as the loudness meter finds the true peak (its interpolator, four times
// oversampled below 96 kHz); the gain falls in a straight line over the look-ahead to what the
// loudest frame ahead allows, and rises back with a smooth release. Frames whose level stays
// below the ceiling, and the sound around them, pass untouched.
//
// The output lags the input by latency() frames: process() hands out what is ready and finish()
// the rest, so the output has exactly the input's frames, in place.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

namespace sonarel::media::core {

class TruePeakLimiter {
public:
    // The look-ahead, over which the gain falls to a peak.
    static constexpr double kLookAheadSeconds = 0.0015;
    // The release: the gain recovers by 1/e of the way back in this time.
    static constexpr double kReleaseSeconds = 0.08;

    TruePeakLimiter(int channels, int rate, double ceilingDbtp);

    // Takes `frames` interleaved frames and appends to `out` the frames that are ready; with
    // `gains`, appends the gain each of them was given, for a LimiterFollower.
    void process(const float* in, std::size_t frames, std::vector<float>& out, std::vector<double>* gains = nullptr);
    // Appends the frames still held (and their gains).
    void finish(std::vector<float>& out, std::vector<double>* gains = nullptr);

    std::int64_t latency() const { return latency_; }
    // Stretches of lowered frames (peaks closer together than 10 ms count as one), and the most
    // any frame was lowered, in dB.
    std::int64_t peaksLowered() const { return peaks_; }
    double mostReductionDb() const;

private:
    void push(const float* frame);
    double framePeak();
    void addPeak(double peak, std::vector<float>& out);
    void addAllowed(double allowed, std::vector<float>& out);
    void emit(double gain, std::vector<float>& out);

    int channels_;
    double ceiling_;           // linear
    std::vector<float> taps_;  // [phase][tap], the meter's
    int phases_ = 4;
    int tapsPerPhase_ = 12;
    float gainBound_ = 1.0f;   // no interpolated value exceeds the largest sample times this
    std::int64_t window_ = 1;  // look-ahead frames
    std::int64_t latency_ = 0;
    double release_ = 0.0;        // per frame: the share of the way back kept
    std::vector<float> history_;  // the last tapsPerPhase_ frames, a ring held twice over, end to end
    std::int64_t received_ = 0;   // frames taken
    std::deque<double> recent_;   // the last frames' levels, up to tapsPerPhase_
    std::deque<std::pair<std::int64_t, double>> lowest_;  // sliding minimum of the allowed gain
    std::int64_t allowedCount_ = 0;                       // frames whose allowed gain is known
    double held_ = 1.0;                                   // the gain with its release, before the ramp
    std::vector<double> ramp_;                            // the last window_ held gains, a ring
    double rampSum_ = 0.0;
    std::deque<float> delayed_;  // input frames not yet handed out
    std::int64_t emitted_ = 0;
    double lowestGain_ = 1.0;
    std::int64_t peaks_ = 0;
    std::int64_t lastLowered_ = -1;
    std::int64_t mergeFrames_ = 0;
    std::vector<double>* gains_ = nullptr;  // of the call under way
};

// Gives other frames the gains a limiter gave its own, frame by frame and delayed the same, as
// the limiter scales its own: the stems of a limited mix then add up to it.
class LimiterFollower {
public:
    explicit LimiterFollower(int channels) : channels_(static_cast<std::size_t>(std::max(channels, 1))) {}

    // Takes `frames` interleaved frames (the limiter's input frames of the same call), then appends
    // to `out` one frame for each of `gains`, oldest first.
    void follow(const float* in, std::size_t frames, const std::vector<double>& gains, std::vector<float>& out);

private:
    std::size_t channels_;
    std::deque<float> delayed_;
};

}  // namespace sonarel::media::core
