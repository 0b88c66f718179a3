// Help, About and the home page.
#pragma once

#include <QString>

namespace sonarel {

class Desktop;

inline constexpr const char* kProductVersionText = "Sonarel Version 3.1.2";
inline constexpr const char* kHomepageAddress = "https://www.quillmoor.com/sonarel/";

// The help's introduction page beside the program.
QString helpIntroductionPath();

void helpCommand(Desktop& desktop);
void aboutCommand(Desktop& desktop);
void homepageCommand(Desktop& desktop);

}  // namespace sonarel
