// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/FaultInjector.h"

#include <algorithm>

namespace sonarel::media {

void FaultInjector::fail(std::string_view point, Status status, int skip, int times)
{
    std::lock_guard lock(mutex_);
    rules_.push_back(Rule{std::string(point), status, std::max(skip, 0), times, {}});
    active_.store(true, std::memory_order_release);
}

void FaultInjector::whenReached(std::string_view point, int skip, std::function<void()> action)
{
    std::lock_guard lock(mutex_);
    rules_.push_back(Rule{std::string(point), kOk, std::max(skip, 0), 1, std::move(action)});
    active_.store(true, std::memory_order_release);
}

void FaultInjector::clear()
{
    std::lock_guard lock(mutex_);
    rules_.clear();
    counts_.clear();
    active_.store(false, std::memory_order_release);
}

Status FaultInjector::checkArmed(std::string_view point)
{
    std::function<void()> action;
    const Status status = ruleFor(point, action);
    if (action)
        action();  // outside the lock: the action may take its time or ask the injector
    return status;
}

Status FaultInjector::ruleFor(std::string_view point, std::function<void()>& action)
{
    std::lock_guard lock(mutex_);
    auto count = std::find_if(counts_.begin(), counts_.end(), [&](const auto& c) { return c.first == point; });
    if (count == counts_.end())
        counts_.emplace_back(std::string(point), 1);
    else
        ++count->second;
    for (Rule& rule : rules_) {
        if (rule.point != point || rule.times == 0)
            continue;
        if (rule.skip > 0) {
            --rule.skip;
            continue;
        }
        if (rule.times > 0)
            --rule.times;
        action = std::move(rule.action);
        return rule.status;
    }
    return kOk;
}

int FaultInjector::calls(std::string_view point) const
{
    std::lock_guard lock(mutex_);
    for (const auto& c : counts_)
        if (c.first == point)
            return c.second;
    return 0;
}

}  // namespace sonarel::media
