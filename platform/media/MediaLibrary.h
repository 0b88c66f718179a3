// The engine's entry point: initialise it once, create its objects, shut it down.
//
// A MediaLibrary is an ordinary object, not a process-wide singleton: each owner (the main window,
// the command-line mixer, a test) makes its own. Objects it created stay usable while they are
// referenced; shutDown() only refuses further creation.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/media/FaultInjector.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/RenderEngine.h"
#include "platform/media/Status.h"
#include "platform/media/Timeline.h"

namespace sonarel::media {

struct EngineOptions {
    int workerThreads = 0;  // 0: one per core
    // Data size from which the WAV header is switched to RF64; tests lower it.
    std::uint64_t rf64Threshold = 0xFFFFFFFFull - 1024;
};

// Shared by every object of one library: options and the injection point.
class EngineContext {
public:
    EngineOptions options;
    FaultInjector faults;
};

class MediaLibrary {
public:
    MediaLibrary();
    ~MediaLibrary();
    MediaLibrary(const MediaLibrary&) = delete;
    MediaLibrary& operator=(const MediaLibrary&) = delete;

    Status initialize();  // may fail through the injection point "Library.Initialize"
    void shutDown();
    bool isInitialized() const { return initialized_; }

    EngineOptions& options() { return context_->options; }
    FaultInjector& faults() { return context_->faults; }

    Status createTimeline(std::shared_ptr<Timeline>& out);
    Status createPropertySetter(std::shared_ptr<PropertySetter>& out);
    Status createRenderEngine(std::shared_ptr<RenderEngine>& out);
    Status createGraphBuilder(std::shared_ptr<GraphBuilder>& out);
    Status createWavMux(std::shared_ptr<WavMux>& out);
    Status createFileWriter(std::shared_ptr<FileWriter>& out);
    Status createFormatConverter(std::shared_ptr<FormatConverter>& out);
    Status createFilterGraph(std::shared_ptr<FilterGraph>& out);

private:
    std::shared_ptr<EngineContext> context_;
    bool initialized_ = false;
};

}  // namespace sonarel::media
