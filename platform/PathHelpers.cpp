// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PathHelpers.h"

#include "platform/PathLimits.h"

namespace sonarel {

namespace {
std::string_view::size_type lastSeparator(std::string_view path)
{
#if defined(_WIN32)
    return path.find_last_of("\\/");
#else
    return path.rfind(kPathSeparator);
#endif
}
}  // namespace

std::string FolderOfPath(std::string_view path)
{
    const auto at = lastSeparator(path);
    return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at + 1));
}

std::string TailFromLastBackslash(std::string_view path)
{
    const auto at = lastSeparator(path);
    return at == std::string_view::npos ? std::string() : std::string(path.substr(at));
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    while (!name.empty() && name.front() == kPathSeparator)
        name.remove_prefix(1);
    std::string joined(folder);
    if (!joined.empty() && joined.back() != kPathSeparator)
        joined += kPathSeparator;
    joined += name;
    return joined;
}

std::string fileNameOfPath(std::string_view path)
{
    const auto at = lastSeparator(path);
    return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

}  // namespace sonarel
