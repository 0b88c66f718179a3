// The application object: names the profile, makes the engine and the main window, runs the
// window modally and returns when it closes. No command line is read.
#pragma once

namespace sonarel {

// Needs a QApplication. Returns the process exit status.
int runSonarel();

}  // namespace sonarel
