// SPDX-License-Identifier: GPL-3.0-or-later
// The render engine's output filter for one group: the snapshot of the group's sources that a run
// renders.
#pragma once

#include <vector>

#include "platform/media/core/Placement.h"
#include "platform/media/services/FilterGraph.h"

namespace sonarel::media {

class GroupOutput : public Filter {
public:
    GroupOutput(std::shared_ptr<EngineContext> context, core::SourceList entries)
        : Filter(std::move(context)), entries_(std::move(entries))
    {
        addPin(PinDirection::Output, "Output");
    }
    FilterKind kind() const override { return FilterKind::GroupOutput; }
    const std::vector<core::SourceEntry>& entries() const { return *entries_; }
    const core::SourceList& sharedEntries() const { return entries_; }

private:
    core::SourceList entries_;  // never null
};

}  // namespace sonarel::media
