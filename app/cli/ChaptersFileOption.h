// SPDX-License-Identifier: GPL-3.0-or-later
// --chapters-file FILE: the mix's chapters written beside it once the mix is done, of the kind the
// extension names. Everything that would refuse the file is said before anything is mixed.
#pragma once

#include <vector>

#include "app/cli/MixOptions.h"
#include "render/MixRunControl.h"

namespace sonarel {

// Whether the chapters file can be written for this mix: a known extension, not the output nor an
// input, not replacing an existing file without --yes, and a mix to a file. False after saying why.
bool chaptersFileCanBeWritten(const MixOptions& options, const std::vector<MixItem>& entries);

// Writes the completed mix's chapters; false after saying why not. Without chapters nothing is
// written, and a warning says so.
bool writeMixChaptersFile(const MixOptions& options, const QString& outputFile, const MixSummary& summary);

}  // namespace sonarel
