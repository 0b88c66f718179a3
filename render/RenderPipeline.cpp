// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/RenderPipeline.h"

#include "platform/Desktop.h"
#include "platform/FileChecks.h"
#include "platform/MessageText.h"

namespace sonarel {

namespace {
QString text(const char* message)
{
    return QString::fromUtf8(message);
}

// What a failed step means for the output, %1 the output and %2 the cause.
constexpr const char* kNotStarted = "The mix into %1 could not be started: %2";
constexpr const char* kFormatNotSet =
    "The chosen format could not be set for %1, so it is written in the "
    "converter's own: %2";
}  // namespace

struct RenderPipeline::Assembly {
    std::shared_ptr<media::GraphBuilder> builder;
    std::shared_ptr<media::Timeline> timeline;
    std::shared_ptr<media::FilterGraph> graph;
    std::shared_ptr<media::WavMux> mux;
    std::shared_ptr<media::FileWriter> writer;
    std::shared_ptr<media::FormatConverter> converter;
};

bool outputFileExists(const QString& path)
{
    // A file this user may not read is still replaced by the mix, so it is asked about too.
    return nameIsTaken(path);
}

void applyPcmFormat(media::WaveFormat& format, const PcmFormat& pcm)
{
    format.channels = pcm.channels;
    format.samplesPerSec = pcm.samplesPerSec;
    format.avgBytesPerSec = pcm.avgBytesPerSec;
    format.blockAlign = pcm.blockAlign;
    format.bitsPerSample = pcm.bitsPerSample;
    if (pcm.floatSamples)
        format.formatTag = media::kWaveFormatIeeeFloat;
}

RenderPipeline::RenderPipeline(media::MediaLibrary& library, Desktop& desktop) : library_(library), desktop_(desktop) {}

void RenderPipeline::failedStep(const char* stepText, media::Status status, bool withPlatformText,
                                const QString& caption, const char* outcome)
{
    failedStep(text(stepText), status, withPlatformText, caption, outcome);
}

void RenderPipeline::failedStep(const QString& stepText, media::Status status, bool withPlatformText,
                                const QString& caption, const char* outcome)
{
    const QString platformText = QString::fromStdString(media::errorText(status));
    // A status of plain failure says nothing a reader could act on; the step at least is named.
    const QString why = status == media::kErrFail ? QStringLiteral("the media engine failed while setting up the mix.")
                                                  : platformText;
    StepFailure failure;
    failure.stepText = stepText;
    failure.caption = caption;
    failure.icon = caption.isEmpty() ? MessageIcon::Exclamation : MessageIcon::Error;
    failure.platformText = withPlatformText ? platformText : QString();
    failure.cause = text(outcome ? outcome : kNotStarted).arg(nameInMessage(outputFile_), why);
    desktop_.showStepFailure(failure);
}

bool RenderPipeline::renderToFile(const std::shared_ptr<media::Timeline>& timeline, const QString& outputFile,
                                  const PcmFormat& format, std::function<void()> notify, RenderJob& job,
                                  const media::core::OutputEncoding& encoding, const QStringList& stemFiles)
{
    job.reset();
    outputFile_ = outputFile;
    std::shared_ptr<media::RenderEngine> engine;
    if (!startEngine(timeline, engine))
        return false;
    switchPreviewOff(*timeline);
    if (!assembleAndRun(*engine, outputFile, format, encoding, std::move(notify), job, stemFiles)) {
        static_cast<void>(engine->scrapIt());  // discarding an unused graph cannot fail in a way that matters
        job.reset();
        return false;
    }
    job.renderEngine = std::move(engine);
    return true;
}

bool RenderPipeline::startEngine(const std::shared_ptr<media::Timeline>& timeline,
                                 std::shared_ptr<media::RenderEngine>& engine)
{
    if (const media::Status status = library_.createRenderEngine(engine); media::failed(status)) {
        failedStep("Could not create pRenderEngine", status, false, text("Error"));
        return false;
    }
    if (const media::Status status = engine->setTimelineObject(timeline); media::failed(status)) {
        failedStep("Could not SetTimelineObject", status);
        return false;
    }
    // Not examined: the reconnection level only matters for sources that change while playing.
    static_cast<void>(engine->setDynamicReconnectLevel(1));
    if (const media::Status status = engine->connectFrontEnd(); media::failed(status)) {
        failedStep("Could not ConnectFrontEnd", status);
        return false;
    }
    return true;
}

// Preview mode drops samples to keep pace with a clock; a file render wants every sample. A group
// that cannot be switched still renders every sample here, so failures are not examined.
void RenderPipeline::switchPreviewOff(media::Timeline& timeline)
{
    int groups = 0;
    static_cast<void>(timeline.getGroupCount(groups));  // on failure `groups` stays 0
    for (int g = 0; g < groups; ++g) {
        std::shared_ptr<media::TimelineNode> group;
        if (media::succeeded(timeline.getGroup(g, group)))
            static_cast<void>(group->setPreviewMode(false));
    }
}

// Render engine -> "Wave Format" -> "Wave Mux" -> "Writer", then run. Each step that fails ends
// the assembly and shows its own message, except the silent ones the header names; only the output
// format may fail and go on.
bool RenderPipeline::assembleAndRun(media::RenderEngine& engine, const QString& outputFile, const PcmFormat& format,
                                    const media::core::OutputEncoding& encoding, std::function<void()> notify,
                                    RenderJob& job, const QStringList& stemFiles)
{
    Assembly assembly;
    if (!takeEngineGraph(engine, assembly) || !addMultiplexer(assembly, encoding) ||
        !addFileWriter(assembly, outputFile, stemFiles) || !addConverter(assembly) ||
        !renderGroupThroughConverter(engine, assembly))
        return false;
    setOutputFormat(assembly, format);
    return connectMultiplexerToWriter(assembly) && startGraph(assembly, std::move(notify), job);
}

bool RenderPipeline::takeEngineGraph(media::RenderEngine& engine, Assembly& a)
{
    if (const media::Status status = library_.createGraphBuilder(a.builder); media::failed(status)) {
        failedStep("Could not create ICaptureGraphBuilder2", status);
        return false;
    }
    // Silent (see the header): the engine was given the timeline and has just built the graph.
    if (media::failed(engine.getTimelineObject(a.timeline)) || media::failed(engine.getFilterGraph(a.graph)))
        return false;
    int groups = 0;
    static_cast<void>(a.timeline->getGroupCount(groups));  // a failure leaves 0, which is refused below
    if (groups == 0) {
        failedStep("Could not GetGroupCount( &Groups )", media::kErrFail);
        return false;
    }
    if (const media::Status status = a.builder->setFiltergraph(a.graph); media::failed(status)) {
        failedStep("Error pBuilder->SetFiltergraph( pGraph )", status);
        return false;
    }
    return true;
}

bool RenderPipeline::addMultiplexer(Assembly& a, const media::core::OutputEncoding& encoding)
{
    if (const media::Status status = library_.createWavMux(a.mux); media::failed(status)) {
        failedStep("The program does not detect its file writer. Please install the program again!", status, false,
                   text("Error"));
        return false;
    }
    if (const media::Status status = a.graph->addFilter(a.mux, "Wave Mux"); media::failed(status)) {
        failedStep("pGraph->AddFilter( pMux, Wave Mux )", status);
        return false;
    }
    if (const media::Status status = a.mux->setEncoding(encoding); media::failed(status)) {
        failedStep(QStringLiteral("Sonarel cannot write %1 files here.")
                       .arg(QLatin1String(media::core::containerInfo(encoding.container).title)),
                   status, true);
        return false;
    }
    return true;
}

bool RenderPipeline::addFileWriter(Assembly& a, const QString& outputFile, const QStringList& stemFiles)
{
    if (const media::Status status = library_.createFileWriter(a.writer); media::failed(status)) {
        failedStep("failed to create wav writer!", status);
        return false;
    }
    if (const media::Status status = a.writer->setFileName(outputFile.toStdU16String(), nullptr);
        media::failed(status)) {
        failedStep("hr = pWriter->SetFileName( Filename, NULL );", status);
        return false;
    }
    std::vector<std::u16string> stems;
    for (const QString& stem : stemFiles)
        stems.push_back(stem.toStdU16String());
    if (const media::Status status = a.writer->setStemFileNames(std::move(stems)); media::failed(status)) {
        failedStep("The stem files could not be set.", status);
        return false;
    }
    if (const media::Status status = a.graph->addFilter(a.writer, "Writer"); media::failed(status)) {
        failedStep("hr = pGraph->AddFilter( pWriterBase, Writer );", status);
        return false;
    }
    // Not examined: full interleaving is what a single audio stream gets anyway, and the Mix
    // command has already deleted an existing output file.
    static_cast<void>(a.mux->setInterleavingMode(media::kInterleaveFull));
    static_cast<void>(a.writer->setMode(media::kFileOverwrite));
    return true;
}

bool RenderPipeline::addConverter(Assembly& a)
{
    if (const media::Status status = library_.createFormatConverter(a.converter); media::failed(status)) {
        failedStep("The program does not detect its file ACM WRAPPER. Please install the latest DirectX!", status,
                   false, text("Error"));
        return false;
    }
    if (const media::Status status = a.graph->addFilter(a.converter, "Wave Format"); media::failed(status)) {
        failedStep("pGraph->AddFilter( pACM, Wave Format)", status);
        return false;
    }
    return true;
}

bool RenderPipeline::renderGroupThroughConverter(media::RenderEngine& engine, Assembly& a)
{
    media::Pin* groupPin = nullptr;
    if (const media::Status status = engine.getGroupOutputPin(0, groupPin); media::failed(status) || !groupPin) {
        failedStep("Could not GetGroupOutputPin( g, &pPin )", media::failed(status) ? status : media::kErrPointer);
        return false;
    }
    if (const media::Status status = a.builder->renderStream(*groupPin, a.converter.get(), *a.mux);
        media::failed(status)) {
        failedStep("failed pBuilder->RenderStream( NULL, NULL, pPin, NULL, pMux )", status, true);
        return false;
    }
    return true;
}

// A format that cannot be set is reported, and the file is then written in the converter's own.
void RenderPipeline::setOutputFormat(Assembly& a, const PcmFormat& format)
{
    std::shared_ptr<media::StreamConfig> config;
    if (media::failed(a.builder->findInterface(media::LookDirection::UpstreamOnly, media::MajorType::Audio, *a.mux,
                                               config)) ||
        config == nullptr) {
        failedStep("can not FindInterface", media::kErrNoInterface, false, {}, kFormatNotSet);
        return;
    }
    media::MediaType type;
    if (media::failed(config->getFormat(type)))  // silent (see the header)
        return;
    applyPcmFormat(type.format, format);
    if (const media::Status status = config->setFormat(type); media::failed(status))
        failedStep("can not pASC->SetFormat(pmt)", status, true, {}, kFormatNotSet);
}

bool RenderPipeline::connectMultiplexerToWriter(Assembly& a)
{
    media::Pin* muxOut = a.mux->firstPin(media::PinDirection::Output);
    media::Pin* writerIn = a.writer->firstPin(media::PinDirection::Input);
    if (muxOut == nullptr || writerIn == nullptr)  // silent (see the header): both are made with their pins
        return false;
    // Not examined: a connection that failed shows when the graph is run, which says why.
    static_cast<void>(a.graph->connect(*muxOut, *writerIn));
    return true;
}

bool RenderPipeline::startGraph(Assembly& a, std::function<void()> notify, RenderJob& job)
{
    if (const media::Status status = a.graph->queryMediaControl(job.control); media::failed(status)) {
        failedStep("Could not get pControl", status);
        return false;
    }
    if (const media::Status status = a.graph->queryMediaEvents(job.events); media::failed(status)) {
        failedStep("Could not get pEvent", status);
        return false;
    }
    if (const media::Status status = job.events->setNotify(std::move(notify)); media::failed(status)) {
        failedStep("can not SetNotifyWindow!!!", status);
        return false;
    }
    // Progress is an extra: a graph without seeking still mixes.
    static_cast<void>(a.graph->queryMediaSeeking(job.seeking));
    if (const media::Status status = job.control->run(); media::failed(status)) {
        static_cast<void>(job.events->setNotify({}));  // cancelling a notification always succeeds
        failedStep("can not pControl->Run()!!!", status, true);
        return false;
    }
    return true;
}

}  // namespace sonarel
