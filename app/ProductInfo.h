// SPDX-License-Identifier: GPL-3.0-or-later
// What Sonarel says about itself and where its web pages are: the one place for these values.
// The version comes from the build (PROJECT_VERSION in the top CMakeLists.txt), which
// sonarel-mix --version prints too.
#pragma once

#include <QString>

namespace sonarel {

inline constexpr const char* kHomepageAddress = "https://www.quillmoor.com/sonarel/";  // the product page
inline constexpr const char* kMakerAddress = "https://www.quillmoor.com/";             // the maker's web site
inline constexpr const char* kContactAddress = "https://www.quillmoor.com/contact/";   // the maker's contact page
inline constexpr const char* kNoticeText = "Copyright \u00a9 2026 Quillmoor";
// What both programs print after their version, as GNU programs do.
inline constexpr const char* kLicenceNotice =
    "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

// "Sonarel Version" and the build's version.
inline QString productVersionText()
{
    return QStringLiteral("Sonarel Version " SONAREL_VERSION);
}

}  // namespace sonarel
