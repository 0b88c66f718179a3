// SPDX-License-Identifier: GPL-3.0-or-later
// What every object of one media library shares: its options and its injection point. The core
// reads it during a run; the editing-services objects are made with it.
#pragma once

#include <cstdint>

#include "platform/media/FaultInjector.h"
#include "platform/media/ProbeMemo.h"

namespace sonarel::media {

struct EngineOptions {
    int workerThreads = 0;  // 0: one per core
    // Data size from which the WAV header is switched to RF64; tests lower it.
    std::uint64_t rf64Threshold = 0xFFFFFFFFull - 1024;
};

// Shared by every object of one library: options, the injection point and what was learned of files.
class EngineContext {
public:
    EngineOptions options;
    FaultInjector faults;
    ProbeMemo probes;
};

}  // namespace sonarel::media
