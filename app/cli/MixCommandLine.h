// SPDX-License-Identifier: GPL-3.0-or-later
// sonarel-mix: mixes entries given on the command line or in a CSV file into one audio file, on the
// same model and render code as the window.
#pragma once

#include <QStringList>

namespace sonarel {

enum ExitStatus { kExitSuccess = 0, kExitMixFailed = 1, kExitUsage = 2 };

// `arguments` without the program name. Returns the process exit status.
int runMixCommandLine(const QStringList& arguments);

}  // namespace sonarel
