// SPDX-License-Identifier: GPL-3.0-or-later
// Tempo and pitch changes that keep the other, with the Rubber Band library: a source's sound at
// the output rate goes in; the stretched sound comes out with exactly the length asked for and
// without the library's latency, so a stretched entry starts and ends where it is placed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/media/Status.h"

namespace sonarel::media::core {

// Reads up to `frames` frames of interleaved float into `out`; `got` < `frames` only at the end.
using FramePull = std::function<Status(float* out, std::int64_t frames, std::int64_t& got)>;

// Rubber Band's two engines: Finer (R3) keeps notes in tune and speech closer to the original;
// Faster (R2) takes a third to a quarter of the time. bench/README.md has the figures.
enum class StretchEngine { Faster, Finer };

// What the library handles: beyond these it runs out of memory, divides by zero or makes next to
// nothing of the input (at speed 1000 a second of sound gives a few samples).
inline constexpr double kMinStretchTimeRatio = 1.0 / 1000;
inline constexpr double kMaxStretchTimeRatio = 1000.0;
inline constexpr double kMinStretchPitchScale = 1.0 / 8;  // three octaves down
inline constexpr double kMaxStretchPitchScale = 8.0;

struct StretchSettings {
    int channels = 2;               // 1 or 2
    int rate = 44100;               // of both the input and the output, 8000 to 192000
    double timeRatio = 1.0;         // output length : input length (1 / speed), within the limits
    double pitchScale = 1.0;        // 2^(semitones / 12), within the limits
    std::int64_t outputFrames = 0;  // exactly how many frames the stretched sound has
    StretchEngine engine = StretchEngine::Finer;
};

class TimeStretcher {
public:
    TimeStretcher();
    ~TimeStretcher();
    TimeStretcher(const TimeStretcher&) = delete;
    TimeStretcher& operator=(const TimeStretcher&) = delete;

    // Input is read through `pull` as the output needs it. Settings out of range: kErrInvalidArg.
    Status open(const StretchSettings& settings, FramePull pull);

    // Fills up to `frames` frames; `got` < `frames` only once outputFrames have been produced.
    // Past the input's end, silence pads the output to outputFrames.
    Status read(float* out, std::int64_t frames, std::int64_t& got);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace sonarel::media::core
