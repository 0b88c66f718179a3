// SPDX-License-Identifier: GPL-3.0-or-later
// The render engine turns a timeline into a filter graph with one output pin per group, and the
// graph builder joins that pin through the converter into the multiplexer.
#pragma once

#include <memory>

#include "platform/media/Status.h"
#include "platform/media/services/FilterGraph.h"
#include "platform/media/services/Timeline.h"

namespace sonarel::media {

class RenderEngine {
public:
    explicit RenderEngine(std::shared_ptr<EngineContext> context);
    ~RenderEngine();

    Status setTimelineObject(std::shared_ptr<Timeline> timeline);
    Status setDynamicReconnectLevel(int level);
    // Takes a snapshot of the timeline and builds the graph with one output pin per group.
    Status connectFrontEnd();
    Status getTimelineObject(std::shared_ptr<Timeline>& timeline);
    Status getFilterGraph(std::shared_ptr<FilterGraph>& graph);
    Status getGroupOutputPin(int group, Pin*& pin);
    // Discards the graph (stopping it if it runs).
    Status scrapIt();

private:
    struct State;
    std::unique_ptr<State> state_;
};

enum class LookDirection { UpstreamOnly };

class GraphBuilder {
public:
    explicit GraphBuilder(std::shared_ptr<EngineContext> context);
    Status setFiltergraph(std::shared_ptr<FilterGraph> graph);
    // Connects `source` through `intermediate` (when given) into `sink`.
    Status renderStream(Pin& source, Filter* intermediate, Filter& sink);
    // The stream configuration found upstream of `filter` (the converter feeding the multiplexer).
    Status findInterface(LookDirection direction, MajorType type, Filter& filter,
                         std::shared_ptr<StreamConfig>& config);

private:
    std::shared_ptr<EngineContext> context_;
    std::shared_ptr<FilterGraph> graph_;
};

}  // namespace sonarel::media
