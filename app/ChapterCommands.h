// SPDX-License-Identifier: GPL-3.0-or-later
// File > Export Chapters...: the chapters the next mix would carry, written as a file beside it.
#pragma once

#include "model/MixItem.h"
#include "settings/OutputSettings.h"

namespace sonarel {

class Desktop;

// Asks where to write the chapters of a mix of `store` into the output `settings` name, and writes
// them there of the kind the extension names (.cue, .txt, .vtt, .json); says what is left out and
// why, and why nothing can be written when no entry starts a chapter.
void exportChaptersCommand(const MixItemStore& store, const OutputSettings& settings, Desktop& desktop);

}  // namespace sonarel
