// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/services/FilterGraph.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/media/FaultPoints.h"
#include "platform/media/core/Files.h"
#include "platform/media/core/MixJob.h"
#include "platform/media/core/Probe.h"
#include "platform/media/services/GroupOutput.h"
#include "platform/media/services/MediaLibrary.h"

namespace sonarel::media {

// ---- pins and filters ----

Pin::Pin(Filter& owner, PinDirection direction, std::string name)
    : owner_(owner), direction_(direction), name_(std::move(name))
{
}

Pin* Filter::firstPin(PinDirection direction) const
{
    for (const auto& pin : pins_)
        if (pin->direction() == direction)
            return pin.get();
    return nullptr;
}

Pin& Filter::addPin(PinDirection direction, std::string name)
{
    pins_.push_back(std::make_unique<Pin>(*this, direction, std::move(name)));
    return *pins_.back();
}

FormatConverter::FormatConverter(std::shared_ptr<EngineContext> context) : Filter(std::move(context))
{
    addPin(PinDirection::Input, "Input");
    addPin(PinDirection::Output, "Output");
}

Status FormatConverter::getFormat(MediaType& type)
{
    if (const Status s = context_->faults.check(fault::kGetFormat); failed(s))
        return s;
    type = MediaType{};
    type.majorType = MajorType::Audio;
    type.fixedSizeSamples = true;
    type.sampleSize = format_.blockAlign;
    type.hasFormat = true;
    type.format = format_;
    return kOk;
}

Status FormatConverter::setFormat(const MediaType& type)
{
    if (const Status s = context_->faults.check(fault::kSetFormat); failed(s))
        return s;
    const WaveFormat& f = type.format;
    const bool pcm = f.formatTag == kWaveFormatPcm &&
                     (f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24);
    const bool floats = f.formatTag == kWaveFormatIeeeFloat && f.bitsPerSample == 32;
    const bool valid = type.majorType == MajorType::Audio && type.hasFormat && (pcm || floats) &&
                       (f.channels == 1 || f.channels == 2) && f.samplesPerSec >= 8000 && f.samplesPerSec <= 192000 &&
                       f.blockAlign == f.channels * f.bitsPerSample / 8 &&
                       f.avgBytesPerSec == f.blockAlign * f.samplesPerSec;
    if (!valid)
        return kErrInvalidMediaType;
    format_ = f;
    format_.cbSize = 0;
    return kOk;
}

WavMux::WavMux(std::shared_ptr<EngineContext> context) : Filter(std::move(context))
{
    addPin(PinDirection::Input, "Input 01");
    addPin(PinDirection::Output, "Output");
}

Status WavMux::setInterleavingMode(int mode)
{
    return mode >= 0 && mode <= 3 ? kOk : kErrInvalidArg;
}

Status WavMux::setEncoding(const core::OutputEncoding& encoding)
{
    if (!core::containerAvailable(encoding.container))
        return kErrInvalidMediaType;
    encoding_ = encoding;
    return kOk;
}

FileWriter::FileWriter(std::shared_ptr<EngineContext> context) : Filter(std::move(context))
{
    addPin(PinDirection::Input, "in");
}

Status FileWriter::setFileName(const std::u16string& path, const MediaType*)
{
    if (const Status s = context_->faults.check(fault::kSetFileName); failed(s))
        return s;
    if (path.empty())
        return kErrNoFileName;
    fileName_ = path;
    return kOk;
}

Status FileWriter::setStemFileNames(std::vector<std::u16string> paths)
{
    if (std::any_of(paths.begin(), paths.end(), [](const std::u16string& p) { return p.empty(); }))
        return kErrNoFileName;
    stemFileNames_ = std::move(paths);
    return kOk;
}

Status FileWriter::setMode(int mode)
{
    if (mode != 0 && mode != kFileOverwrite)
        return kErrInvalidArg;
    mode_ = mode;
    return kOk;
}

// ---- the graph ----

struct FilterGraph::State {
    std::shared_ptr<EngineContext> context;
    std::vector<std::shared_ptr<Filter>> filters;

    bool probed = false;
    REFERENCE_TIME probedDuration = 0;

    std::mutex eventMutex;
    std::condition_variable eventArrived;
    std::deque<GraphEvent> events;
    std::recursive_mutex notifyMutex;  // a notify hook may itself call setNotify
    std::function<void()> notify;

    std::mutex jobMutex;  // guards the pointer only; never held while waiting for the job
    std::shared_ptr<core::MixJob> job;
    int jobRate = 0;

    void post(const GraphEvent& event)
    {
        {
            std::lock_guard lock(eventMutex);
            events.push_back(event);
        }
        eventArrived.notify_all();
        std::lock_guard lock(notifyMutex);
        if (notify)
            notify();
    }

    std::shared_ptr<core::MixJob> currentJob()
    {
        std::lock_guard lock(jobMutex);
        return job;
    }

    bool contains(const Filter& filter) const
    {
        return std::any_of(filters.begin(), filters.end(), [&](const auto& f) { return f.get() == &filter; });
    }

    // The chain group output -> [converter] -> multiplexer -> writer that a run renders.
    struct Chain {
        const GroupOutput* group = nullptr;
        WaveFormat format;
        core::OutputEncoding encoding;
        const FileWriter* writer = nullptr;
    };
    Status resolve(Chain& chain) const
    {
        Status status = kErrNotConnected;
        for (const auto& f : filters) {
            if (f->kind() != FilterKind::GroupOutput)
                continue;
            Pin* out = f->firstPin(PinDirection::Output);
            if (!out || !out->peer())
                continue;
            Chain candidate;
            candidate.group = static_cast<const GroupOutput*>(f.get());
            Filter* next = &out->peer()->owner();
            if (next->kind() == FilterKind::FormatConverter) {
                candidate.format = static_cast<const FormatConverter*>(next)->format();
                Pin* converted = next->firstPin(PinDirection::Output);
                if (!converted || !converted->peer())
                    continue;
                next = &converted->peer()->owner();
            }
            if (next->kind() != FilterKind::WavMux)
                continue;
            candidate.encoding = static_cast<const WavMux*>(next)->encoding();
            Pin* muxed = next->firstPin(PinDirection::Output);
            if (!muxed || !muxed->peer() || muxed->peer()->owner().kind() != FilterKind::FileWriter)
                continue;
            candidate.writer = static_cast<const FileWriter*>(&muxed->peer()->owner());
            if (candidate.writer->fileName().empty()) {
                status = kErrNoFileName;
                continue;
            }
            chain = candidate;
            return kOk;
        }
        return status;
    }
};

FilterGraph::FilterGraph(std::shared_ptr<EngineContext> context) : state_(std::make_unique<State>())
{
    state_->context = std::move(context);
}

FilterGraph::~FilterGraph()
{
    if (auto job = state_->currentJob())
        job->stop();
    std::lock_guard lock(state_->jobMutex);
    state_->job.reset();
}

Status FilterGraph::insertFilter(std::shared_ptr<Filter> filter, const std::string& name)
{
    if (!filter)
        return kErrPointer;
    if (state_->contains(*filter))
        return kErrAlreadyConnected;
    if (auto job = state_->currentJob(); job && job->running())
        return kErrWrongState;
    filter->nameInGraph_ = name.empty() ? "Filter " + std::to_string(state_->filters.size() + 1) : name;
    state_->filters.push_back(std::move(filter));
    return kOk;
}

Status FilterGraph::addFilter(std::shared_ptr<Filter> filter, const std::string& name)
{
    if (const Status s = state_->context->faults.check(fault::kAddFilter); failed(s))
        return s;
    return insertFilter(std::move(filter), name);
}

std::shared_ptr<Filter> FilterGraph::findFilter(const Filter& filter) const
{
    for (const auto& f : state_->filters)
        if (f.get() == &filter)
            return f;
    return nullptr;
}

Status FilterGraph::link(Pin& output, Pin& input)
{
    if (output.direction() != PinDirection::Output || input.direction() != PinDirection::Input)
        return kErrInvalidArg;
    if (!state_->contains(output.owner()) || !state_->contains(input.owner()))
        return kErrNotConnected;
    if (output.isConnected() || input.isConnected())
        return kErrAlreadyConnected;
    if (auto job = state_->currentJob(); job && job->running())
        return kErrWrongState;
    const FilterKind from = output.owner().kind();
    const FilterKind to = input.owner().kind();
    const bool accepted = (from == FilterKind::GroupOutput &&
                           (to == FilterKind::FormatConverter || to == FilterKind::WavMux)) ||
                          (from == FilterKind::FormatConverter && to == FilterKind::WavMux) ||
                          (from == FilterKind::WavMux && to == FilterKind::FileWriter);
    if (!accepted)
        return kErrInvalidMediaType;
    output.peer_ = &input;
    input.peer_ = &output;
    return kOk;
}

Status FilterGraph::connect(Pin& output, Pin& input)
{
    if (const Status s = state_->context->faults.check(fault::kConnect); failed(s))
        return s;
    return link(output, input);
}

Status FilterGraph::renderFile(const std::u16string& path)
{
    if (const Status s = state_->context->faults.check(fault::kRenderFile); failed(s))
        return s;
    if (state_->probed)
        return kErrWrongState;
    // A file placed many times is measured once (the same bytes have the same length).
    const std::string file = core::toUtf8(path);
    const auto identity = ProbeMemo::identify(file);
    REFERENCE_TIME duration = 0;
    const Status status = core::rememberedDuration(state_->context->probes, file, identity, duration);
    if (failed(status))
        return status;
    state_->probed = true;
    state_->probedDuration = duration;
    return kOk;
}

Status FilterGraph::queryMediaControl(std::shared_ptr<MediaControl>& control)
{
    control.reset();
    if (const Status s = state_->context->faults.check(fault::kQueryMediaControl); failed(s))
        return s;
    control = shared_from_this();
    return kOk;
}

Status FilterGraph::queryMediaEvents(std::shared_ptr<MediaEvents>& events)
{
    events.reset();
    if (const Status s = state_->context->faults.check(fault::kQueryMediaEvents); failed(s))
        return s;
    events = shared_from_this();
    return kOk;
}

Status FilterGraph::queryMediaSeeking(std::shared_ptr<MediaSeeking>& seeking)
{
    seeking.reset();
    if (const Status s = state_->context->faults.check(fault::kQueryMediaSeeking); failed(s))
        return s;
    seeking = shared_from_this();
    return kOk;
}

Status FilterGraph::run()
{
    if (const Status s = state_->context->faults.check(fault::kRun); failed(s))
        return s;
    if (auto job = state_->currentJob(); job && job->running())
        return kOk;  // already running
    State::Chain chain;
    if (const Status s = state_->resolve(chain); failed(s))
        return s;
    State* state = state_.get();
    auto job = std::make_shared<core::MixJob>(
        state_->context, chain.group->sharedEntries(), chain.format, chain.writer->fileName(),
        [state](const GraphEvent& event) { state->post(event); }, chain.encoding, chain.writer->stemFileNames());
    if (const Status s = job->start(); failed(s))
        return s;
    std::shared_ptr<core::MixJob> previous;
    {
        std::lock_guard lock(state_->jobMutex);
        previous = std::move(state_->job);
        state_->job = std::move(job);
        state_->jobRate = static_cast<int>(chain.format.samplesPerSec);
    }
    return kOk;
}

Status FilterGraph::stop()
{
    if (auto job = state_->currentJob())
        job->stop();
    return kOk;
}

Status FilterGraph::getEvent(GraphEvent& event, int timeoutMs)
{
    std::unique_lock lock(state_->eventMutex);
    const auto ready = [this] { return !state_->events.empty(); };
    if (timeoutMs < 0) {
        state_->eventArrived.wait(lock, ready);
    } else if (!ready()) {
        if (timeoutMs == 0)
            return kErrTimeout;  // a poll: no wait at all
        // A deadline on the system clock: the steady clock's timed wait is one that the thread
        // sanitizer of this tool chain does not see re-take the lock.
        const auto deadline = std::chrono::system_clock::now() + std::chrono::milliseconds(timeoutMs);
        if (!state_->eventArrived.wait_until(lock, deadline, ready))
            return kErrTimeout;
    }
    event = std::move(state_->events.front());
    state_->events.pop_front();
    return kOk;
}

Status FilterGraph::freeEventParams(GraphEvent& event)
{
    event.detail.clear();
    event.detail.shrink_to_fit();
    event.silencedSources.clear();
    event.silencedSources.shrink_to_fit();
    event.endedEarlySources.clear();
    event.endedEarlySources.shrink_to_fit();
    return kOk;
}

Status FilterGraph::setNotify(std::function<void()> notify)
{
    if (const Status s = state_->context->faults.check(fault::kSetNotify); failed(s))
        return s;
    std::lock_guard lock(state_->notifyMutex);
    state_->notify = std::move(notify);
    return kOk;
}

Status FilterGraph::getStopPosition(REFERENCE_TIME& stop)
{
    stop = 0;
    if (const Status s = state_->context->faults.check(fault::kGetStopPosition); failed(s))
        return s;
    if (state_->probed) {
        stop = state_->probedDuration;
        return kOk;
    }
    State::Chain chain;
    if (failed(state_->resolve(chain))) {
        // Not assembled yet: the group's length at the default rate.
        for (const auto& f : state_->filters)
            if (f->kind() == FilterKind::GroupOutput) {
                chain.group = static_cast<const GroupOutput*>(f.get());
                break;
            }
        if (!chain.group)
            return kErrNotConnected;
    }
    const int rate = static_cast<int>(chain.format.samplesPerSec);
    const std::int64_t frames = core::outputFrames(chain.group->entries(), rate);
    stop = (frames * kReferenceUnitsPerSecond + rate / 2) / rate;
    return kOk;
}

Status FilterGraph::getCurrentPosition(REFERENCE_TIME& position)
{
    position = 0;
    std::shared_ptr<core::MixJob> job;
    int rate = 0;
    {
        std::lock_guard lock(state_->jobMutex);
        job = state_->job;
        rate = state_->jobRate;
    }
    if (job && rate > 0)
        position = (job->framesWritten() * kReferenceUnitsPerSecond + rate / 2) / rate;
    return kOk;
}

}  // namespace sonarel::media
