// SPDX-License-Identifier: GPL-3.0-or-later
// The injection point that lets a test make any factory or call of the engine fail.
//
// Each factory and call of the engine asks `check(point)` before it does its work and returns the
// status it gets when that is a failure. Points are named "<Class>.<Call>", for instance
// "Create.RenderEngine", "RenderEngine.ConnectFrontEnd", "Timeline.CreateEmptyNode.Track" or
// "FilterGraph.Run"; the full list is in FaultPoints.h. Thread-safe.
//
// Some points are asked per packet read or block written, so an injector with nothing armed costs
// one atomic load per check: calls are counted, and the lock taken, only from the first fail()
// until clear().
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/media/Status.h"

namespace sonarel::media {

class FaultInjector {
public:
    // Makes `point` fail with `status` after it has passed `skip` times, for `times` calls
    // (times < 0: for ever).
    void fail(std::string_view point, Status status = kErrFail, int skip = 0, int times = 1);
    // Runs `action` once, on the calling thread, when `point` is reached after it has passed `skip`
    // times; the call then goes on as usual. Lets a test change the world at a known moment of a
    // run (cut a file short while it is read), the run held meanwhile.
    void whenReached(std::string_view point, int skip, std::function<void()> action);
    void clear();

    // kOk, or the failure armed for this call of `point`.
    Status check(std::string_view point) { return active_.load(std::memory_order_acquire) ? checkArmed(point) : kOk; }

    // How often `point` was asked since the first fail() after the last clear(): lets tests see
    // that a call happened.
    int calls(std::string_view point) const;

private:
    Status checkArmed(std::string_view point);
    Status ruleFor(std::string_view point, std::function<void()>& action);

    struct Rule {
        std::string point;
        Status status;
        int skip;
        int times;
        std::function<void()> action;  // instead of failing
    };
    mutable std::mutex mutex_;
    std::vector<Rule> rules_;
    std::vector<std::pair<std::string, int>> counts_;
    std::atomic<bool> active_{false};
};

}  // namespace sonarel::media
