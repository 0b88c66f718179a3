// SPDX-License-Identifier: GPL-3.0-or-later
// The stem files of a mix: one per group among the mixed entries, in the order the groups first
// appear in the list, and "ungrouped" last for the mixed entries without a group. A group's file
// is named after it, made safe as a file name where it is not one, and told apart by " (2)",
// " (3)"... from a name taken before it (without regard to case, as some file systems do).
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace sonarel {

struct StemFile {
    QString group;         // empty: the entries without a group
    QString fileName;      // in the stems folder, with the mix's extension
    bool renamed = false;  // the file is not named exactly as the group (or "ungrouped")
};

struct StemPlan {
    std::vector<StemFile> files;
    std::vector<int> stemOfEntry;  // per list entry: the index of its file, -1 when not mixed
};

// The name the entries without a group are written as.
inline constexpr const char* kUngroupedStem = "ungrouped";

// `groups`: each list entry's group (empty: none); `mixed`: the entries the mix takes (every one
// when empty); `extension` with its dot; `taken`: file names in the folder that no stem may take
// (the mix's own, when it lies there).
StemPlan planStems(const std::vector<QString>& groups, const std::vector<bool>& mixed, const QString& extension,
                   const QStringList& taken = {});

// A group's name as a file's name (without extension): characters that file systems refuse or
// treat apart (separators, wildcards, controls) become "_", a name of dots or a device's name is
// kept from being one, spaces and dots at the ends go, and a long name is cut to fit.
QString safeFileStem(const QString& group);

// One line for each stem whose file is not named as its group: 'The group "a/b" is in a_b.wav.'
// Empty when every file has its group's name.
QString renamedStemsText(const StemPlan& plan);

}  // namespace sonarel
