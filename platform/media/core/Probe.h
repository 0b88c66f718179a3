// SPDX-License-Identifier: GPL-3.0-or-later
// Measuring how long a media file plays, without decoding it where the file says so itself.
#pragma once

#include <string>

#include "platform/media/FirstSound.h"
#include "platform/media/ProbeMemo.h"
#include "platform/media/ReferenceTime.h"
#include "platform/media/Status.h"

namespace sonarel::media::core {

// The decoded length of the best audio stream of `path`, in 100-ns units. Uses the length the
// container declares when it is trustworthy and the file's size could hold it; otherwise scans the
// packets, and decodes the stream when the packets claim more than the file could hold too.
// `firstSound`, when given, gets what the same open learned of the file's first sound.
Status probeDuration(const std::string& path, REFERENCE_TIME& duration, FirstSound* firstSound = nullptr);

// The length of `path`, the file `identity` names (when it could be asked), as `memo` knows it,
// or else measured and remembered there with what the check before a mix needs of the file.
Status rememberedDuration(ProbeMemo& memo, const std::string& path, const std::optional<ProbeMemo::Identity>& identity,
                          REFERENCE_TIME& duration);

}  // namespace sonarel::media::core
