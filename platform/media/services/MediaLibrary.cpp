// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/services/MediaLibrary.h"

#include <algorithm>
#include <atomic>
#include <set>
#include <system_error>
#include <thread>

#include "platform/media/FaultPoints.h"
#include "platform/media/core/Files.h"
#include "platform/media/core/FirstSoundCheck.h"
#include "platform/media/core/MediaInput.h"
#include "platform/media/core/Probe.h"
#include "platform/media/core/SourceStream.h"

namespace sonarel::media {

namespace {

template <typename T>
Status create(bool initialized, EngineContext& faultsOf, std::string_view point,
              const std::shared_ptr<EngineContext>& context, std::shared_ptr<T>& out)
{
    out.reset();
    if (!initialized)
        return kErrEngineUnavailable;
    if (const Status s = faultsOf.faults.check(point); failed(s))
        return s;
    out = std::make_shared<T>(context);
    return kOk;
}

}  // namespace

MediaLibrary::MediaLibrary() : context_(std::make_shared<EngineContext>()) {}

MediaLibrary::~MediaLibrary() = default;

Status MediaLibrary::initialize()
{
    if (const Status s = context_->faults.check(fault::kLibraryInitialize); failed(s))
        return s;
    core::quietFfmpegLog();
    initialized_ = true;
    return kOk;
}

void MediaLibrary::shutDown()
{
    initialized_ = false;
}

Status MediaLibrary::createTimeline(std::shared_ptr<Timeline>& out)
{
    return create(initialized_, *context_, fault::kCreateTimeline, context_, out);
}
Status MediaLibrary::createPropertySetter(std::shared_ptr<PropertySetter>& out)
{
    return create(initialized_, *context_, fault::kCreatePropertySetter, context_, out);
}
Status MediaLibrary::createRenderEngine(std::shared_ptr<RenderEngine>& out)
{
    return create(initialized_, *context_, fault::kCreateRenderEngine, context_, out);
}
Status MediaLibrary::createGraphBuilder(std::shared_ptr<GraphBuilder>& out)
{
    return create(initialized_, *context_, fault::kCreateGraphBuilder, context_, out);
}
Status MediaLibrary::createWavMux(std::shared_ptr<WavMux>& out)
{
    return create(initialized_, *context_, fault::kCreateWavMux, context_, out);
}
Status MediaLibrary::createFileWriter(std::shared_ptr<FileWriter>& out)
{
    return create(initialized_, *context_, fault::kCreateFileWriter, context_, out);
}
Status MediaLibrary::createFormatConverter(std::shared_ptr<FormatConverter>& out)
{
    return create(initialized_, *context_, fault::kCreateFormatConverter, context_, out);
}
Status MediaLibrary::createFilterGraph(std::shared_ptr<FilterGraph>& out)
{
    return create(initialized_, *context_, fault::kCreateFilterGraph, context_, out);
}

Status MediaLibrary::checkSource(const std::u16string& path, int outputRate, std::string& detail, int* sourceRate)
{
    detail.clear();
    if (!initialized_)
        return kErrEngineUnavailable;
    // A file placed many times is checked once for each rate.
    const std::string file = core::toUtf8(path);
    const auto identity = ProbeMemo::identify(file);
    core::Failure failure;
    int rate = 0;
    if (const auto known = identity ? context_->probes.check(*identity, outputRate) : std::nullopt) {
        failure = core::Failure{known->status, known->avError};
        rate = known->sourceRate;
    } else {
        // Measuring the length learned what the check needs of the file, unless it changed since.
        const auto first = identity ? context_->probes.firstSound(*identity) : std::nullopt;
        if (const auto fromFirst = first ? core::checkFromFirstSound(*first, outputRate) : std::nullopt) {
            failure = *fromFirst;
            rate = first->sourceRate;
        } else {
            failure = core::checkConversion(file, outputRate, rate);
        }
        if (identity && failure.status != kErrOutOfMemory)
            context_->probes.rememberCheck(*identity, outputRate, {failure.status, failure.avError, rate});
    }
    if (sourceRate)
        *sourceRate = rate;
    detail = failure.ffmpegSuffix();
    return failure.status;
}

int MediaLibrary::measuringThreads(std::size_t files) const
{
    int threads = context_->options.workerThreads;
    if (threads <= 0)
        threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(threads), std::max<std::size_t>(files, 1)));
}

int MediaLibrary::measureAhead(const std::vector<std::u16string>& paths)
{
    if (!initialized_)
        return 0;
    struct File {
        std::string path;
        ProbeMemo::Identity identity;
    };
    std::vector<File> files;
    std::set<ProbeMemo::Identity> seen;
    for (const std::u16string& path : paths) {
        std::string file = core::toUtf8(path);
        const auto identity = ProbeMemo::identify(file);
        if (identity && !context_->probes.duration(*identity) && seen.insert(*identity).second)
            files.push_back({std::move(file), *identity});
    }
    if (files.empty())
        return 0;
    std::atomic<std::size_t> next{0};
    ProbeMemo& memo = context_->probes;
    const auto measure = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
            REFERENCE_TIME duration = 0;
            static_cast<void>(core::rememberedDuration(memo, files[i].path, files[i].identity, duration));
        }
    };
    std::vector<std::thread> helpers;
    const int threads = measuringThreads(files.size());
    try {
        for (int t = 1; t < threads; ++t)
            helpers.emplace_back(measure);
    } catch (const std::system_error&) {
        // Fewer threads measure the same files.
    }
    measure();
    for (std::thread& helper : helpers)
        helper.join();
    return static_cast<int>(helpers.size()) + 1;
}

}  // namespace sonarel::media
