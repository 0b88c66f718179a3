// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/RelinkSearch.h"

#include <QDirIterator>
#include <algorithm>
#include <map>
#include <set>

#include "platform/PathHelpers.h"
#include "platform/PathLimits.h"

namespace sonarel {

namespace {

std::vector<std::string_view> folderNames(std::string_view path)
{
    std::vector<std::string_view> names;
    std::size_t end = path.rfind(kPathSeparator);
    while (end != std::string_view::npos && end > 0) {
        const std::size_t start = path.rfind(kPathSeparator, end - 1);
        const std::size_t from = start == std::string_view::npos ? 0 : start + 1;
        names.push_back(path.substr(from, end - from));  // nearest first
        if (start == std::string_view::npos)
            break;
        end = start;
    }
    return names;
}

// How many of the nearest folder names two paths share.
int sharedFolders(std::string_view a, std::string_view b)
{
    const std::vector<std::string_view> left = folderNames(a);
    const std::vector<std::string_view> right = folderNames(b);
    int shared = 0;
    while (static_cast<std::size_t>(shared) < left.size() && static_cast<std::size_t>(shared) < right.size() &&
           left[static_cast<std::size_t>(shared)] == right[static_cast<std::size_t>(shared)])
        ++shared;
    return shared;
}

bool betterCandidate(const std::string& missing, const std::string& candidate, const std::string& best)
{
    const int shared = sharedFolders(missing, candidate);
    const int bestShared = sharedFolders(missing, best);
    if (shared != bestShared)
        return shared > bestShared;
    const auto depth = [](const std::string& path) { return std::count(path.begin(), path.end(), kPathSeparator); };
    if (depth(candidate) != depth(best))
        return depth(candidate) < depth(best);
    return candidate < best;
}

}  // namespace

std::vector<std::string> findMovedFiles(const std::vector<std::string>& missing, const QString& folder,
                                        const std::function<bool()>& keepGoing)
{
    std::set<std::string> wanted;
    for (const std::string& path : missing)
        wanted.insert(fileNameOfPath(path));
    std::map<std::string, std::vector<std::string>> candidates;  // by file name
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    int visited = 0;
    while (files.hasNext()) {
        const QString path = files.next();
        if (++visited % 256 == 0 && keepGoing && !keepGoing())
            break;
        const std::string name = files.fileName().toStdString();
        if (wanted.count(name) != 0)
            candidates[name].push_back(path.toStdString());
    }
    std::vector<std::string> found(missing.size());
    for (std::size_t i = 0; i < missing.size(); ++i) {
        const auto it = candidates.find(fileNameOfPath(missing[i]));
        if (it == candidates.end())
            continue;
        for (const std::string& candidate : it->second) {
            if (found[i].empty() || betterCandidate(missing[i], candidate, found[i]))
                found[i] = candidate;
        }
    }
    return found;
}

}  // namespace sonarel
