// SPDX-License-Identifier: GPL-3.0-or-later
// What a mix would do, printed instead of doing it (--dry-run): a tab-separated line per entry
// with its place on the output, then the output's length, its chapters (a line each: start and
// title), format and size.
#pragma once

#include <cstdio>
#include <vector>

#include "model/MixItem.h"
#include "render/StemFiles.h"
#include "settings/OutputSettings.h"

namespace sonarel {

// `usable` says which entries the checks let into the mix; empty when a check before the
// sources' refused, and then every entry whose file can be read counts. `wouldMix` is the checks'
// verdict. With a stems folder, a line per stem file of `stems`.
void printDryRun(std::FILE* out, const MixItemStore& store, const OutputSettings& settings,
                 const std::vector<bool>& usable, bool wouldMix, const StemPlan& stems = {});

}  // namespace sonarel
