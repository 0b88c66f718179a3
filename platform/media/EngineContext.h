// SPDX-License-Identifier: GPL-3.0-or-later
// What every object of one media library shares: its options and its injection point. The
// editing-services objects are made with it, and the core uses it during a run.
#pragma once

#include <cstdint>

#include "platform/media/FaultInjector.h"
#include "platform/media/ProbeMemo.h"

namespace sonarel::media {

// Set on the owner's thread between runs. Each run's job copies them when FilterGraph::run() makes
// it, so that a change reaches the next run, never one under way.
struct EngineOptions {
    int workerThreads = 0;  // 0: one per core
    // Data size from which the WAV header is switched to RF64; tests lower it.
    std::uint64_t rf64Threshold = 0xFFFFFFFFull - 1024;
};

// Shared by every object of one library: options, the injection point and what was learned of files.
// `options` belongs to the owner's thread; `faults` and `probes` may be used from any thread.
class EngineContext {
public:
    EngineOptions options;
    FaultInjector faults;
    ProbeMemo probes;
};

}  // namespace sonarel::media
