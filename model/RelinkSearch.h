// SPDX-License-Identifier: GPL-3.0-or-later
// Finding files that were moved: each missing path is looked for by its file name in a folder and
// all its subfolders (links to folders are not followed, so a loop cannot trap the search).
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace sonarel {

// For each of `missing`, the path of a file with the same name under `folder`, or an empty text
// when there is none. When several files share the name, the one whose folder names agree with
// the missing path's nearest folders wins ("take2/a.wav" prefers .../take2/a.wav); then the one
// nearest the top, then the first in name order. `keepGoing` is called now and then; when it
// returns false the search stops and what was found so far is returned.
std::vector<std::string> findMovedFiles(const std::vector<std::string>& missing, const QString& folder,
                                        const std::function<bool()>& keepGoing = {});

}  // namespace sonarel
