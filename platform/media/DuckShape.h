// SPDX-License-Identifier: GPL-3.0-or-later
// Ducking as the engine takes it: a source marked as a voice lowers every source that is not one
// while it plays, by `depthDb`, ramping linearly in amplitude over `attack` before the voice and
// `release` after it. Every voice of a render carries the same values: the list's.
#pragma once

#include "platform/media/ReferenceTime.h"

namespace sonarel::media {

struct DuckShape {
    bool others = false;  // this source is a voice: the others duck under it
    double depthDb = -12.0;
    REFERENCE_TIME attack = 3'000'000;   // 0.3 s
    REFERENCE_TIME release = 5'000'000;  // 0.5 s

    friend bool operator==(const DuckShape&, const DuckShape&) = default;
};

}  // namespace sonarel::media
