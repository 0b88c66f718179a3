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

bool outputFileExists(const QString& path)
{
    return fileCanBeRead(path);
}

void applyPcmFormat(media::WaveFormat& format, const PcmFormat& pcm)
{
    format.channels = pcm.channels;
    format.samplesPerSec = pcm.samplesPerSec;
    format.avgBytesPerSec = pcm.avgBytesPerSec;
    format.blockAlign = pcm.blockAlign;
    format.bitsPerSample = pcm.bitsPerSample;
}

RenderPipeline::RenderPipeline(media::MediaLibrary& library, Desktop& desktop)
    : library_(library), desktop_(desktop)
{
}

void RenderPipeline::showWithErrorText(const QString& message, media::Status status)
{
    desktop_.showAppMessage(message);
    desktop_.showAppMessage(QString::fromStdString(media::errorText(status)));
}

bool RenderPipeline::renderToFile(const std::shared_ptr<media::Timeline>& timeline, const QString& outputFile,
                                  const PcmFormat& format, std::function<void()> notify, RenderJob& job)
{
    job.reset();
    std::shared_ptr<media::RenderEngine> engine;
    if (media::failed(library_.createRenderEngine(engine))) {
        desktop_.showMessage(text("Could not create pRenderEngine"), text("Error"), MessageIcon::Error);
        return false;
    }
    if (media::failed(engine->setTimelineObject(timeline))) {
        desktop_.showAppMessage(text("Could not SetTimelineObject"));
        return false;
    }
    engine->setDynamicReconnectLevel(1);
    if (media::failed(engine->connectFrontEnd())) {
        desktop_.showAppMessage(text("Could not ConnectFrontEnd"));
        return false;
    }
    // Preview mode drops samples to keep pace with a clock; a file render wants every sample.
    int groups = 0;
    timeline->getGroupCount(groups);
    for (int g = 0; g < groups; ++g) {
        std::shared_ptr<media::TimelineNode> group;
        if (media::succeeded(timeline->getGroup(g, group)))
            group->setPreviewMode(false);
    }
    if (!assembleAndRun(*engine, outputFile, format, std::move(notify), job)) {
        engine->scrapIt();
        job.reset();
        return false;
    }
    job.renderEngine = std::move(engine);
    return true;
}

bool RenderPipeline::assembleAndRun(media::RenderEngine& engine, const QString& outputFile,
                                    const PcmFormat& format, std::function<void()> notify, RenderJob& job)
{
    std::shared_ptr<media::GraphBuilder> builder;
    if (media::failed(library_.createGraphBuilder(builder))) {
        desktop_.showAppMessage(text("Could not create ICaptureGraphBuilder2"));
        return false;
    }
    std::shared_ptr<media::Timeline> timeline;
    std::shared_ptr<media::FilterGraph> graph;
    if (media::failed(engine.getTimelineObject(timeline)) || media::failed(engine.getFilterGraph(graph)))
        return false;
    int groups = 0;
    timeline->getGroupCount(groups);
    if (groups == 0) {
        desktop_.showAppMessage(text("Could not GetGroupCount( &Groups )"));
        return false;
    }
    if (media::failed(builder->setFiltergraph(graph))) {
        desktop_.showAppMessage(text("Error pBuilder->SetFiltergraph( pGraph )"));
        return false;
    }
    std::shared_ptr<media::WavMux> mux;
    if (media::failed(library_.createWavMux(mux))) {
        desktop_.showMessage(text("The program does not detect its file writer. Please install the program again!"),
                             text("Error"), MessageIcon::Error);
        return false;
    }
    if (media::failed(graph->addFilter(mux, "Wave Mux"))) {
        desktop_.showAppMessage(text("pGraph->AddFilter( pMux, Wave Mux )"));
        return false;
    }
    std::shared_ptr<media::FileWriter> writer;
    if (media::failed(library_.createFileWriter(writer))) {
        desktop_.showAppMessage(text("failed to create wav writer!"));
        return false;
    }
    if (media::failed(writer->setFileName(outputFile.toStdU16String(), nullptr))) {
        desktop_.showAppMessage(text("hr = pWriter->SetFileName( Filename, NULL );"));
        return false;
    }
    if (media::failed(graph->addFilter(writer, "Writer"))) {
        desktop_.showAppMessage(text("hr = pGraph->AddFilter( pWriterBase, Writer );"));
        return false;
    }
    mux->setInterleavingMode(media::kInterleaveFull);
    writer->setMode(media::kFileOverwrite);
    std::shared_ptr<media::FormatConverter> converter;
    if (media::failed(library_.createFormatConverter(converter))) {
        desktop_.showMessage(text("The program does not detect its file ACM WRAPPER. Please install the latest DirectX!"),
                             text("Error"), MessageIcon::Error);
        return false;
    }
    if (media::failed(graph->addFilter(converter, "Wave Format"))) {
        desktop_.showAppMessage(text("pGraph->AddFilter( pACM, Wave Format)"));
        return false;
    }

    media::Pin* groupPin = nullptr;
    if (media::failed(engine.getGroupOutputPin(0, groupPin)) || groupPin == nullptr) {
        desktop_.showAppMessage(text("Could not GetGroupOutputPin( g, &pPin )"));
        return false;
    }
    if (const media::Status status = builder->renderStream(*groupPin, converter.get(), *mux); media::failed(status)) {
        showWithErrorText(text("failed pBuilder->RenderStream( NULL, NULL, pPin, NULL, pMux )"), status);
        return false;
    }
    std::shared_ptr<media::StreamConfig> config;
    if (media::failed(builder->findInterface(media::LookDirection::UpstreamOnly, media::MajorType::Audio, *mux,
                                             config)) ||
        config == nullptr) {
        desktop_.showAppMessage(text("can not FindInterface"));
    } else {
        media::MediaType type;
        if (media::succeeded(config->getFormat(type))) {
            applyPcmFormat(type.format, format);
            if (const media::Status status = config->setFormat(type); media::failed(status))
                showWithErrorText(text("can not pASC->SetFormat(pmt)"), status);
        }
    }

    media::Pin* muxOut = mux->firstPin(media::PinDirection::Output);
    media::Pin* writerIn = writer->firstPin(media::PinDirection::Input);
    if (muxOut == nullptr || writerIn == nullptr)
        return false;
    graph->connect(*muxOut, *writerIn);

    if (media::failed(graph->queryMediaControl(job.control))) {
        desktop_.showAppMessage(text("Could not get pControl"));
        return false;
    }
    if (media::failed(graph->queryMediaEvents(job.events))) {
        desktop_.showAppMessage(text("Could not get pEvent"));
        return false;
    }
    if (media::failed(job.events->setNotify(std::move(notify)))) {
        desktop_.showAppMessage(text("can not SetNotifyWindow!!!"));
        return false;
    }
    // Progress is an extra: a graph without seeking still mixes.
    graph->queryMediaSeeking(job.seeking);
    if (const media::Status status = job.control->run(); media::failed(status)) {
        job.events->setNotify({});
        showWithErrorText(text("can not pControl->Run()!!!"), status);
        return false;
    }
    return true;
}

}  // namespace sonarel
