// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's entry point: initialise it once, create its objects, shut it down.
//
// A MediaLibrary is an ordinary object, not a process-wide singleton: each owner (the main window,
// the command-line mixer, a test) makes its own. Objects it created stay usable while they are
// referenced; shutDown() only refuses further creation. Every call is made on the owner's thread;
// options() are read by each run as it starts (see EngineOptions).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/media/EngineContext.h"
#include "platform/media/FaultInjector.h"
#include "platform/media/Status.h"
#include "platform/media/services/FilterGraph.h"
#include "platform/media/services/RenderEngine.h"
#include "platform/media/services/Timeline.h"

namespace sonarel::media {

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

    // Whether the file `path` can be mixed at `outputRate`: opened, its first sound decoded and
    // converted. kOk, or why not; `detail` then holds FFmpeg's own words when it had any. Never
    // blocks on a FIFO or device; blocks while a regular file is opened. `sourceRate`, when given,
    // gets the file's own rate (0 when it could not be opened), which limits the speeds it plays
    // at (see core::rateRatioFits).
    Status checkSource(const std::u16string& path, int outputRate, std::string& detail, int* sourceRate = nullptr);

    // Measures the lengths of the files in `paths` that are not known yet, and learns what the
    // check above needs of them, on as many threads as the engine's workers (one per core unless
    // set), so that measuring and checking them one by one afterwards opens nothing. Blocks until
    // all are done. Returns how many threads it used.
    int measureAhead(const std::vector<std::u16string>& paths);
    // How many threads measureAhead() uses for `files` files.
    int measuringThreads(std::size_t files) const;

private:
    std::shared_ptr<EngineContext> context_;
    bool initialized_ = false;
};

}  // namespace sonarel::media
