// The render engine's output filter for one group: the snapshot of the group's sources that a run
// renders.
#pragma once

#include <vector>

#include "platform/media/FilterGraph.h"
#include "platform/media/internal/RenderJob.h"

namespace sonarel::media::internal {

class GroupOutput : public Filter {
public:
    GroupOutput(std::shared_ptr<EngineContext> context, std::vector<SourceEntry> entries)
        : Filter(std::move(context)), entries_(std::move(entries)) {
        addPin(PinDirection::Output, "Output");
    }
    FilterKind kind() const override { return FilterKind::GroupOutput; }
    const std::vector<SourceEntry>& entries() const { return entries_; }

private:
    std::vector<SourceEntry> entries_;
};

}  // namespace sonarel::media::internal
