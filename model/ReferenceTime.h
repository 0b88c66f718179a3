// SPDX-License-Identifier: GPL-3.0-or-later
// The mix list's time: the one time type of the list and the engine (platform/media/ReferenceTime.h),
// named in the list's namespace. Durations and start times are held in it and shown in seconds.
#pragma once

#include "platform/media/ReferenceTime.h"

namespace sonarel {

using media::kReferenceUnitsPerSecond;
using media::nearestReferenceTime;
using media::REFERENCE_TIME;
using media::secondsToReferenceTime;
using media::toSeconds;

}  // namespace sonarel
