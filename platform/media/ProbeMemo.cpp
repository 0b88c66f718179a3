// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/ProbeMemo.h"

#include <sys/stat.h>

#include <algorithm>

namespace sonarel::media {

namespace {
std::int64_t nanoseconds(const timespec& t)
{
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}
}  // namespace

std::optional<ProbeMemo::Identity> ProbeMemo::identify(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return Identity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                    static_cast<std::int64_t>(info.st_size), nanoseconds(info.st_mtim), nanoseconds(info.st_ctim)};
}

std::optional<std::pair<Status, REFERENCE_TIME>> ProbeMemo::duration(const Identity& file) const
{
    std::lock_guard lock(mutex_);
    const auto known = files_.find(file);
    return known == files_.end() ? std::nullopt : known->second.duration;
}

void ProbeMemo::rememberDuration(const Identity& file, Status status, REFERENCE_TIME duration)
{
    std::lock_guard lock(mutex_);
    files_[file].duration = std::make_pair(status, duration);
}

std::optional<ProbeMemo::Check> ProbeMemo::check(const Identity& file, int rate) const
{
    std::lock_guard lock(mutex_);
    const auto known = files_.find(file);
    if (known == files_.end())
        return std::nullopt;
    const auto& checks = known->second.checks;
    const auto at = std::find_if(checks.begin(), checks.end(), [&](const auto& c) { return c.first == rate; });
    return at == checks.end() ? std::nullopt : std::optional<Check>(at->second);
}

void ProbeMemo::rememberCheck(const Identity& file, int rate, Check outcome)
{
    std::lock_guard lock(mutex_);
    files_[file].checks.emplace_back(rate, outcome);
}

std::optional<FirstSound> ProbeMemo::firstSound(const Identity& file) const
{
    std::lock_guard lock(mutex_);
    const auto known = files_.find(file);
    return known == files_.end() ? std::nullopt : known->second.firstSound;
}

void ProbeMemo::rememberFirstSound(const Identity& file, FirstSound learned)
{
    std::lock_guard lock(mutex_);
    files_[file].firstSound = std::move(learned);
}

}  // namespace sonarel::media
