// SPDX-License-Identifier: GPL-3.0-or-later
// Filters, pins and the filter graph that runs them.
//
// A render is assembled as: the render engine's group output pin -> format converter ("Wave
// Format") -> WAV multiplexer ("Wave Mux") -> file writer ("Writer"). Assembly happens on the
// caller's thread; `run()` starts worker threads and returns at once. From then on the graph
// reports only through its event queue and the notify hook, which is called on a worker thread
// and must do no more than post a notice to the caller's thread.
//
// Objects are shared: the caller holds shared_ptrs, and a graph keeps its filters alive.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/Formats.h"
#include "platform/media/Status.h"
#include "platform/media/core/OutputEncoding.h"

namespace sonarel::media {

class EngineContext;
class Filter;
class FilterGraph;

enum class PinDirection { Input, Output };

class Pin {
public:
    Pin(Filter& owner, PinDirection direction, std::string name);
    PinDirection direction() const { return direction_; }
    Filter& owner() const { return owner_; }
    const std::string& name() const { return name_; }
    Pin* peer() const { return peer_; }
    bool isConnected() const { return peer_ != nullptr; }

private:
    friend class FilterGraph;
    Filter& owner_;
    PinDirection direction_;
    std::string name_;
    Pin* peer_ = nullptr;
};

enum class FilterKind { GroupOutput, FormatConverter, WavMux, FileWriter, FileSource };

class Filter {
public:
    virtual ~Filter() = default;
    virtual FilterKind kind() const = 0;
    const std::vector<std::unique_ptr<Pin>>& pins() const { return pins_; }
    // The first pin of `direction` in the filter's own order, or nullptr.
    Pin* firstPin(PinDirection direction) const;
    const std::string& nameInGraph() const { return nameInGraph_; }

protected:
    explicit Filter(std::shared_ptr<EngineContext> context) : context_(std::move(context)) {}
    Pin& addPin(PinDirection direction, std::string name);
    std::shared_ptr<EngineContext> context_;

private:
    friend class FilterGraph;
    std::vector<std::unique_ptr<Pin>> pins_;
    std::string nameInGraph_;
};

// The converter's output side: the PCM format it will produce.
class StreamConfig {
public:
    virtual ~StreamConfig() = default;
    virtual Status getFormat(MediaType& type) = 0;
    // PCM 8/16/24 bit or 32-bit float, 1/2 channels, 8000..192000 Hz
    virtual Status setFormat(const MediaType& type) = 0;
};

// Float mix in, integer PCM out: rounds and saturates; 8-bit is unsigned; stereo to mono is the mean.
class FormatConverter : public Filter, public StreamConfig {
public:
    explicit FormatConverter(std::shared_ptr<EngineContext> context);
    FilterKind kind() const override { return FilterKind::FormatConverter; }
    Status getFormat(MediaType& type) override;
    Status setFormat(const MediaType& type) override;
    const WaveFormat& format() const { return format_; }

private:
    WaveFormat format_;
};

inline constexpr int kInterleaveFull = 2;

// PCM in, RIFF WAVE out (RF64 once the data passes 4 GiB); or, given another encoding, the mix
// through that encoder into its container.
class WavMux : public Filter {
public:
    explicit WavMux(std::shared_ptr<EngineContext> context);
    FilterKind kind() const override { return FilterKind::WavMux; }
    Status setInterleavingMode(int mode);
    // kErrInvalidMediaType when this build cannot write the container.
    Status setEncoding(const core::OutputEncoding& encoding);
    const core::OutputEncoding& encoding() const { return encoding_; }

private:
    core::OutputEncoding encoding_;
};

inline constexpr int kFileOverwrite = 1;

class FileWriter : public Filter {
public:
    explicit FileWriter(std::shared_ptr<EngineContext> context);
    FilterKind kind() const override { return FilterKind::FileWriter; }
    Status setFileName(const std::u16string& path, const MediaType* type);
    Status setMode(int mode);  // kFileOverwrite
    const std::u16string& fileName() const { return fileName_; }
    // Files written beside the output, in its format and of its length: stem k holds the sources
    // whose stem is k, so that the stems add up to the output. None by default.
    Status setStemFileNames(std::vector<std::u16string> paths);
    const std::vector<std::u16string>& stemFileNames() const { return stemFileNames_; }

private:
    std::u16string fileName_;
    std::vector<std::u16string> stemFileNames_;
    int mode_ = 0;
};

class MediaControl {
public:
    virtual ~MediaControl() = default;
    virtual Status run() = 0;   // starts the workers and returns
    virtual Status stop() = 0;  // returns promptly; the output is a valid file of what was written
};

class MediaEvents {
public:
    virtual ~MediaEvents() = default;
    // kOk with the next event; kErrTimeout when none arrived within `timeoutMs` (0: do not wait).
    virtual Status getEvent(GraphEvent& event, int timeoutMs) = 0;
    virtual Status freeEventParams(GraphEvent& event) = 0;
    // Called on a worker thread each time an event is queued; an empty function cancels.
    virtual Status setNotify(std::function<void()> notify) = 0;
};

class MediaSeeking {
public:
    virtual ~MediaSeeking() = default;
    virtual Status getStopPosition(REFERENCE_TIME& stop) = 0;
    // How far the output has been written, readable at any time from any thread.
    virtual Status getCurrentPosition(REFERENCE_TIME& position) = 0;
};

class FilterGraph : public MediaControl,
                    public MediaEvents,
                    public MediaSeeking,
                    public std::enable_shared_from_this<FilterGraph> {
public:
    explicit FilterGraph(std::shared_ptr<EngineContext> context);
    ~FilterGraph() override;  // stops a running graph

    Status addFilter(std::shared_ptr<Filter> filter, const std::string& name);
    Status connect(Pin& output, Pin& input);
    // Probing: builds a playback graph for a file (a regular local file, best audio stream).
    Status renderFile(const std::u16string& path);

    Status queryMediaControl(std::shared_ptr<MediaControl>& control);
    Status queryMediaEvents(std::shared_ptr<MediaEvents>& events);
    Status queryMediaSeeking(std::shared_ptr<MediaSeeking>& seeking);

    Status run() override;
    Status stop() override;
    Status getEvent(GraphEvent& event, int timeoutMs) override;
    Status freeEventParams(GraphEvent& event) override;
    Status setNotify(std::function<void()> notify) override;
    Status getStopPosition(REFERENCE_TIME& stop) override;
    Status getCurrentPosition(REFERENCE_TIME& position) override;

private:
    // The render engine adds its group outputs, and the graph builder joins filters, without
    // passing the injection points of the caller's own AddFilter and Connect calls.
    friend class RenderEngine;
    friend class GraphBuilder;
    Status insertFilter(std::shared_ptr<Filter> filter, const std::string& name);
    Status link(Pin& output, Pin& input);
    std::shared_ptr<Filter> findFilter(const Filter& filter) const;

    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace sonarel::media
