// SPDX-License-Identifier: GPL-3.0-or-later
// sonarel-mix --play: the mix played to the default sound output instead of written, with the
// same progress line as a mix.
#pragma once

#include <functional>

#include "model/MixItem.h"
#include "settings/OutputSettings.h"

namespace sonarel {

// Plays the list from `from` to its end, or until `interrupted` turns true (checked ten times a
// second); the exit status: 0 played to the end, 1 no sound output, a source failed or stopped.
int playList(const MixItemStore& store, const OutputSettings& settings, REFERENCE_TIME from, bool quiet,
             const std::function<bool()>& interrupted);

}  // namespace sonarel
