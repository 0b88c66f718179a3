// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/services/RenderEngine.h"

#include <algorithm>
#include <cmath>

#include "platform/media/FaultPoints.h"
#include "platform/media/services/GroupOutput.h"
#include "platform/media/services/MediaLibrary.h"

namespace sonarel::media {

namespace {

// Negative, NaN or infinite levels play nothing.
bool playableLevel(double volume)
{
    return volume >= 0.0 && !std::isinf(volume);
}

// The level a track's audio-mixer effects give it.
double trackVolume(const TimelineNode& track)
{
    double volume = 1.0;
    for (const auto& effect : track.effects())
        if (effect->subObject() == EffectKind::AudioMixer && effect->propertySetter())
            volume *= effect->propertySetter()->valueOf("Vol", 1.0);
    return playableLevel(volume) ? volume : 0.0;
}

// What a run of the group renders, in timeline order. A group that is one table is shared as it
// is rather than copied: a long list is then held once.
core::SourceList snapshotOf(const TimelineNode& group)
{
    const auto& tracks = group.tracks();
    if (tracks.size() == 1 && tracks.front()->sources().empty() && tracks.front()->sourceTable()) {
        const core::SourceList& table = tracks.front()->sourceTable();
        // A table's entries carry their own volume, under the same rule as a track's.
        if (std::all_of(table->begin(), table->end(), [](const auto& e) { return playableLevel(e.volume); }))
            return table;
    }
    auto entries = std::make_shared<std::vector<core::SourceEntry>>();
    for (const auto& track : tracks) {
        const double volume = trackVolume(*track);
        for (const auto& source : track->sources()) {
            core::SourceEntry e;
            e.name = core::sharedName(source->mediaName());
            e.timelineStart = source->start();
            e.timelineStop = source->stop();
            e.mediaStart = source->mediaStart();
            e.mediaStop = source->mediaStop();
            e.volume = volume;
            e.shaping = source->shaping();
            e.stem = source->stem();
            entries->push_back(std::move(e));
        }
        if (track->sourceTable())
            for (core::SourceEntry e : *track->sourceTable()) {
                e.volume = playableLevel(e.volume) ? e.volume : 0.0;
                entries->push_back(std::move(e));
            }
    }
    return entries;
}

}  // namespace

struct RenderEngine::State {
    std::shared_ptr<EngineContext> context;
    std::shared_ptr<Timeline> timeline;
    std::shared_ptr<FilterGraph> graph;
    std::vector<std::shared_ptr<GroupOutput>> outputs;
    int reconnectLevel = 0;
};

RenderEngine::RenderEngine(std::shared_ptr<EngineContext> context) : state_(std::make_unique<State>())
{
    state_->context = std::move(context);
}

RenderEngine::~RenderEngine() = default;

Status RenderEngine::setTimelineObject(std::shared_ptr<Timeline> timeline)
{
    if (const Status s = state_->context->faults.check(fault::kSetTimelineObject); failed(s))
        return s;
    if (!timeline)
        return kErrPointer;
    state_->timeline = std::move(timeline);
    return kOk;
}

Status RenderEngine::setDynamicReconnectLevel(int level)
{
    if (const Status s = state_->context->faults.check(fault::kSetDynamicReconnectLevel); failed(s))
        return s;
    if (level < 0)
        return kErrInvalidArg;
    state_->reconnectLevel = level;
    return kOk;
}

Status RenderEngine::connectFrontEnd()
{
    if (const Status s = state_->context->faults.check(fault::kConnectFrontEnd); failed(s))
        return s;
    if (!state_->timeline)
        return kErrWrongState;
    static_cast<void>(scrapIt());  // always succeeds: the old graph is simply let go
    auto graph = std::make_shared<FilterGraph>(state_->context);
    std::vector<std::shared_ptr<GroupOutput>> outputs;
    for (const auto& group : state_->timeline->groups_) {
        auto output = std::make_shared<GroupOutput>(state_->context, snapshotOf(*group));
        if (const Status s = graph->insertFilter(output, "Group " + std::to_string(outputs.size())); failed(s))
            return s;
        outputs.push_back(std::move(output));
    }
    state_->graph = std::move(graph);
    state_->outputs = std::move(outputs);
    return kOk;
}

Status RenderEngine::getTimelineObject(std::shared_ptr<Timeline>& timeline)
{
    timeline.reset();
    if (const Status s = state_->context->faults.check(fault::kGetTimelineObject); failed(s))
        return s;
    if (!state_->timeline)
        return kErrWrongState;
    timeline = state_->timeline;
    return kOk;
}

Status RenderEngine::getFilterGraph(std::shared_ptr<FilterGraph>& graph)
{
    graph.reset();
    if (const Status s = state_->context->faults.check(fault::kGetFilterGraph); failed(s))
        return s;
    if (!state_->graph)
        return kErrWrongState;
    graph = state_->graph;
    return kOk;
}

Status RenderEngine::getGroupOutputPin(int group, Pin*& pin)
{
    pin = nullptr;
    if (const Status s = state_->context->faults.check(fault::kGetGroupOutputPin); failed(s))
        return s;
    if (!state_->graph)
        return kErrWrongState;
    if (group < 0 || static_cast<std::size_t>(group) >= state_->outputs.size())
        return kErrInvalidArg;
    pin = state_->outputs[static_cast<std::size_t>(group)]->firstPin(PinDirection::Output);
    return pin ? kOk : kErrFail;
}

Status RenderEngine::scrapIt()
{
    if (state_->graph)
        static_cast<void>(state_->graph->stop());  // a stop always leaves a valid file behind
    state_->outputs.clear();
    state_->graph.reset();
    return kOk;
}

GraphBuilder::GraphBuilder(std::shared_ptr<EngineContext> context) : context_(std::move(context)) {}

Status GraphBuilder::setFiltergraph(std::shared_ptr<FilterGraph> graph)
{
    if (const Status s = context_->faults.check(fault::kSetFiltergraph); failed(s))
        return s;
    if (!graph)
        return kErrPointer;
    graph_ = std::move(graph);
    return kOk;
}

Status GraphBuilder::renderStream(Pin& source, Filter* intermediate, Filter& sink)
{
    if (const Status s = context_->faults.check(fault::kRenderStream); failed(s))
        return s;
    if (!graph_)
        return kErrWrongState;
    if (source.direction() != PinDirection::Output)
        return kErrInvalidArg;
    Pin* from = &source;
    if (intermediate) {
        Pin* in = intermediate->firstPin(PinDirection::Input);
        Pin* out = intermediate->firstPin(PinDirection::Output);
        if (!in || !out)
            return kErrInvalidArg;
        if (const Status s = graph_->link(*from, *in); failed(s))
            return s;
        from = out;
    }
    Pin* to = sink.firstPin(PinDirection::Input);
    if (!to)
        return kErrInvalidArg;
    return graph_->link(*from, *to);
}

Status GraphBuilder::findInterface(LookDirection, MajorType type, Filter& filter, std::shared_ptr<StreamConfig>& config)
{
    config.reset();
    if (const Status s = context_->faults.check(fault::kFindInterface); failed(s))
        return s;
    if (!graph_)
        return kErrWrongState;
    if (type != MajorType::Audio)
        return kErrNoInterface;
    // Walk upstream from the filter's input until the converter.
    const Filter* current = &filter;
    for (int depth = 0; depth < 16 && current; ++depth) {
        const Pin* in = current->firstPin(PinDirection::Input);
        if (!in || !in->peer())
            break;
        current = &in->peer()->owner();
        if (current->kind() == FilterKind::FormatConverter) {
            auto converter = std::dynamic_pointer_cast<FormatConverter>(graph_->findFilter(*current));
            if (!converter)
                break;
            config = std::move(converter);
            return kOk;
        }
    }
    return kErrNoInterface;
}

}  // namespace sonarel::media
