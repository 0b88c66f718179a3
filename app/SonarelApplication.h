// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: names the profile, makes the engine and the main window, runs the
// window modally and returns when it closes.
#pragma once

#include <QStringList>

namespace sonarel {

// Needs a QApplication. `files` (from the command line) are added as soon as the window shows,
// as if chosen with Add. Returns the process exit status.
int runSonarel(const QStringList& files = {});

}  // namespace sonarel
