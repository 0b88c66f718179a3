// SPDX-License-Identifier: GPL-3.0-or-later
// The gain a source's volume points give each of its output frames. The points lie on the file's
// own time, so output frame k reads them at mediaStart + k * speed / rate: with varispeed and with
// keep pitch alike, the level stays on the sound it shapes. Linear between two points, the first
// point's level before it and the last one's after it. A source without points has none to apply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/media/SourceShaping.h"

namespace sonarel::media::core {

class PointsGain {
public:
    PointsGain() = default;  // no points
    // For a source whose output frame 0 plays `mediaStart` of its file and which plays `speed`
    // seconds of the file per second of the output at `rate`. `points` must outlive it.
    PointsGain(const std::vector<GainPoint>& points, REFERENCE_TIME mediaStart, double speed, int rate);

    bool active() const { return points_ != nullptr && !points_->empty(); }

    // Multiplies gains[i] by the gain of frame first + i, for i below count: within each stretch
    // between two points the level is a straight line in k, one multiply-add a frame.
    void multiply(std::int64_t first, std::int64_t count, float* gains);

private:
    double timeOf(std::int64_t k) const
    {
        return mediaStart_ + static_cast<double>(k) * unitsPerFrameTimesRate_ / rate_;
    }
    // The segment (points segment_ and segment_ + 1) that time t lies in, or the ends.
    void seek(double t);

    const std::vector<GainPoint>* points_ = nullptr;
    double mediaStart_ = 0.0;
    double unitsPerFrameTimesRate_ = 0.0;  // speed * 10^7: source units per frame, times the rate
    double rate_ = 1.0;
    std::size_t segment_ = 0;  // the point at or before the last time asked for
};

}  // namespace sonarel::media::core
