// SPDX-License-Identifier: GPL-3.0-or-later
// How a source is shaped between its decoder and the mix: its fades, the short ramps on edges cut
// into its sound, its volume points, and whether its speed keeps the pitch. The part of the file
// that plays is the source's media start and stop; its level is its track's volume. Ducking under
// a voice is the one gain that depends on the other sources.
#pragma once

#include <vector>

#include "platform/media/DuckShape.h"
#include "platform/media/ReferenceTime.h"

namespace sonarel::media {

enum class FadeShape { Linear, EqualPower };

// A point of a source's level line: `level` times its volume at `time` of its file's own time.
struct GainPoint {
    REFERENCE_TIME time = 0;
    double level = 1.0;
    friend bool operator==(const GainPoint&, const GainPoint&) = default;
};

struct SourceShaping {
    // Fade lengths on the output (0: none). When the two together are longer than the source's
    // span on the output, both shrink in proportion.
    REFERENCE_TIME fadeIn = 0;
    REFERENCE_TIME fadeOut = 0;
    FadeShape fadeShape = FadeShape::Linear;
    // Ramps (linear, on the output) at a start or an end that cuts into the file's sound; 0 at an
    // edge that is the file's own, or where a fade already covers the edge.
    REFERENCE_TIME cutRampIn = 0;
    REFERENCE_TIME cutRampOut = 0;
    // Off: the media plays faster or slower with its pitch (varispeed). On: the tempo changes and
    // the pitch stays, shifted by pitchSemitones.
    bool keepPitch = false;
    double pitchSemitones = 0.0;
    // The level line over the file's own time, in time order (core/PointsGain.h); none: flat.
    std::vector<GainPoint> points;
    // Whether the others duck under this source, and how (core/DuckEnvelope).
    DuckShape duck;

    friend bool operator==(const SourceShaping&, const SourceShaping&) = default;
};

}  // namespace sonarel::media
