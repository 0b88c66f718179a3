// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/RenderPipeline.h"

#include "platform/Desktop.h"
#include "platform/FileChecks.h"

namespace sonarel {

namespace {
QString text(const char* message)
{
    return QString::fromUtf8(message);
}
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
    // A link counts even when it leads nowhere: the mix replaces the link, never creates its target.
    return fileCanBeRead(path) || isSymbolicLink(path);
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

void RenderPipeline::showWithErrorText(const QString& message, media::Status status)
{
    desktop_.showAppMessage(message);
    desktop_.showAppMessage(QString::fromStdString(media::errorText(status)));
}

bool RenderPipeline::renderToFile(const std::shared_ptr<media::Timeline>& timeline, const QString& outputFile,
                                  const PcmFormat& format, std::function<void()> notify, RenderJob& job,
                                  const media::core::OutputEncoding& encoding)
{
    job.reset();
    std::shared_ptr<media::RenderEngine> engine;
    if (!startEngine(timeline, engine))
        return false;
    switchPreviewOff(*timeline);
    if (!assembleAndRun(*engine, outputFile, format, encoding, std::move(notify), job)) {
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
    if (media::failed(library_.createRenderEngine(engine))) {
        desktop_.showMessage(text("Could not create pRenderEngine"), text("Error"), MessageIcon::Error);
        return false;
    }
    if (media::failed(engine->setTimelineObject(timeline))) {
        desktop_.showAppMessage(text("Could not SetTimelineObject"));
        return false;
    }
    // Not examined: the reconnection level only matters for sources that change while playing.
    static_cast<void>(engine->setDynamicReconnectLevel(1));
    if (media::failed(engine->connectFrontEnd())) {
        desktop_.showAppMessage(text("Could not ConnectFrontEnd"));
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
                                    RenderJob& job)
{
    Assembly assembly;
    if (!takeEngineGraph(engine, assembly) || !addMultiplexer(assembly, encoding) ||
        !addFileWriter(assembly, outputFile) || !addConverter(assembly) ||
        !renderGroupThroughConverter(engine, assembly))
        return false;
    setOutputFormat(assembly, format);
    return connectMultiplexerToWriter(assembly) && startGraph(assembly, std::move(notify), job);
}

bool RenderPipeline::takeEngineGraph(media::RenderEngine& engine, Assembly& a)
{
    if (media::failed(library_.createGraphBuilder(a.builder))) {
        desktop_.showAppMessage(text("Could not create ICaptureGraphBuilder2"));
        return false;
    }
    // Silent (see the header): the engine was given the timeline and has just built the graph.
    if (media::failed(engine.getTimelineObject(a.timeline)) || media::failed(engine.getFilterGraph(a.graph)))
        return false;
    int groups = 0;
    static_cast<void>(a.timeline->getGroupCount(groups));  // a failure leaves 0, which is refused below
    if (groups == 0) {
        desktop_.showAppMessage(text("Could not GetGroupCount( &Groups )"));
        return false;
    }
    if (media::failed(a.builder->setFiltergraph(a.graph))) {
        desktop_.showAppMessage(text("Error pBuilder->SetFiltergraph( pGraph )"));
        return false;
    }
    return true;
}

bool RenderPipeline::addMultiplexer(Assembly& a, const media::core::OutputEncoding& encoding)
{
    if (media::failed(library_.createWavMux(a.mux))) {
        desktop_.showMessage(text("The program does not detect its file writer. Please install the program again!"),
                             text("Error"), MessageIcon::Error);
        return false;
    }
    if (media::failed(a.graph->addFilter(a.mux, "Wave Mux"))) {
        desktop_.showAppMessage(text("pGraph->AddFilter( pMux, Wave Mux )"));
        return false;
    }
    if (const media::Status status = a.mux->setEncoding(encoding); media::failed(status)) {
        showWithErrorText(QStringLiteral("Sonarel cannot write %1 files here.")
                              .arg(QLatin1String(media::core::containerInfo(encoding.container).title)),
                          status);
        return false;
    }
    return true;
}

bool RenderPipeline::addFileWriter(Assembly& a, const QString& outputFile)
{
    if (media::failed(library_.createFileWriter(a.writer))) {
        desktop_.showAppMessage(text("failed to create wav writer!"));
        return false;
    }
    if (media::failed(a.writer->setFileName(outputFile.toStdU16String(), nullptr))) {
        desktop_.showAppMessage(text("hr = pWriter->SetFileName( Filename, NULL );"));
        return false;
    }
    if (media::failed(a.graph->addFilter(a.writer, "Writer"))) {
        desktop_.showAppMessage(text("hr = pGraph->AddFilter( pWriterBase, Writer );"));
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
    if (media::failed(library_.createFormatConverter(a.converter))) {
        desktop_.showMessage(
            text("The program does not detect its file ACM WRAPPER. Please install the latest DirectX!"), text("Error"),
            MessageIcon::Error);
        return false;
    }
    if (media::failed(a.graph->addFilter(a.converter, "Wave Format"))) {
        desktop_.showAppMessage(text("pGraph->AddFilter( pACM, Wave Format)"));
        return false;
    }
    return true;
}

bool RenderPipeline::renderGroupThroughConverter(media::RenderEngine& engine, Assembly& a)
{
    media::Pin* groupPin = nullptr;
    if (media::failed(engine.getGroupOutputPin(0, groupPin)) || groupPin == nullptr) {
        desktop_.showAppMessage(text("Could not GetGroupOutputPin( g, &pPin )"));
        return false;
    }
    if (const media::Status status = a.builder->renderStream(*groupPin, a.converter.get(), *a.mux);
        media::failed(status)) {
        showWithErrorText(text("failed pBuilder->RenderStream( NULL, NULL, pPin, NULL, pMux )"), status);
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
        desktop_.showAppMessage(text("can not FindInterface"));
        return;
    }
    media::MediaType type;
    if (media::failed(config->getFormat(type)))  // silent (see the header)
        return;
    applyPcmFormat(type.format, format);
    if (const media::Status status = config->setFormat(type); media::failed(status))
        showWithErrorText(text("can not pASC->SetFormat(pmt)"), status);
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
    if (media::failed(a.graph->queryMediaControl(job.control))) {
        desktop_.showAppMessage(text("Could not get pControl"));
        return false;
    }
    if (media::failed(a.graph->queryMediaEvents(job.events))) {
        desktop_.showAppMessage(text("Could not get pEvent"));
        return false;
    }
    if (media::failed(job.events->setNotify(std::move(notify)))) {
        desktop_.showAppMessage(text("can not SetNotifyWindow!!!"));
        return false;
    }
    // Progress is an extra: a graph without seeking still mixes.
    static_cast<void>(a.graph->queryMediaSeeking(job.seeking));
    if (const media::Status status = job.control->run(); media::failed(status)) {
        static_cast<void>(job.events->setNotify({}));  // cancelling a notification always succeeds
        showWithErrorText(text("can not pControl->Run()!!!"), status);
        return false;
    }
    return true;
}

}  // namespace sonarel
