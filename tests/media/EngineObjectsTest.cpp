// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's objects outside a run: the injection point behind every factory and call, the
// check of source files, misuse of nodes, and the texts shown for failures.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include <sys/stat.h>

#include "platform/media/FaultPoints.h"
#include "tests/media/MediaTestSupport.h"

namespace sonarel::media::test {
namespace {

TEST(EngineObjectsTest, FactoriesRefuseBeforeInitialisationAndAfterShutDown)
{
    MediaLibrary lib;
    std::shared_ptr<Timeline> timeline;
    EXPECT_EQ(lib.createTimeline(timeline), kErrEngineUnavailable);
    lib.faults().fail(fault::kLibraryInitialize, kErrOutOfMemory);
    EXPECT_EQ(lib.initialize(), kErrOutOfMemory);
    EXPECT_FALSE(lib.isInitialized());
    ASSERT_EQ(lib.initialize(), kOk);
    EXPECT_EQ(lib.createTimeline(timeline), kOk);
    lib.shutDown();
    std::shared_ptr<FilterGraph> graph;
    EXPECT_EQ(lib.createFilterGraph(graph), kErrEngineUnavailable);
    EXPECT_TRUE(timeline) << "objects stay usable after shut-down";
}

TEST(EngineObjectsTest, EveryFactoryAndCallReturnsTheArmedFailure)
{
    MediaLibrary lib;
    ASSERT_EQ(lib.initialize(), kOk);
    std::shared_ptr<Timeline> tl;
    ASSERT_EQ(lib.createTimeline(tl), kOk);
    std::shared_ptr<TimelineNode> group, track, source, effect, effectable;
    ASSERT_EQ(tl->createEmptyNode(NodeType::Group, group), kOk);
    ASSERT_EQ(tl->createEmptyNode(NodeType::Track, track), kOk);
    ASSERT_EQ(tl->createEmptyNode(NodeType::Source, source), kOk);
    ASSERT_EQ(tl->createEmptyNode(NodeType::Effect, effect), kOk);
    std::shared_ptr<PropertySetter> setter;
    ASSERT_EQ(lib.createPropertySetter(setter), kOk);
    std::shared_ptr<RenderEngine> engine;
    ASSERT_EQ(lib.createRenderEngine(engine), kOk);
    std::shared_ptr<GraphBuilder> builder;
    ASSERT_EQ(lib.createGraphBuilder(builder), kOk);
    std::shared_ptr<FormatConverter> converter;
    ASSERT_EQ(lib.createFormatConverter(converter), kOk);
    std::shared_ptr<FileWriter> writer;
    ASSERT_EQ(lib.createFileWriter(writer), kOk);
    std::shared_ptr<FilterGraph> graph;
    ASSERT_EQ(lib.createFilterGraph(graph), kOk);
    MediaType type;
    std::shared_ptr<MediaControl> control;
    std::shared_ptr<StreamConfig> config;

    const std::vector<std::pair<std::string_view, std::function<Status()>>> calls = {
        {fault::kCreateTimeline,
         [&] {
             std::shared_ptr<Timeline> t;
             return lib.createTimeline(t);
         }},
        {fault::kCreatePropertySetter,
         [&] {
             std::shared_ptr<PropertySetter> p;
             return lib.createPropertySetter(p);
         }},
        {fault::kCreateRenderEngine,
         [&] {
             std::shared_ptr<RenderEngine> r;
             return lib.createRenderEngine(r);
         }},
        {fault::kCreateGraphBuilder,
         [&] {
             std::shared_ptr<GraphBuilder> b;
             return lib.createGraphBuilder(b);
         }},
        {fault::kCreateWavMux,
         [&] {
             std::shared_ptr<WavMux> m;
             return lib.createWavMux(m);
         }},
        {fault::kCreateFileWriter,
         [&] {
             std::shared_ptr<FileWriter> w;
             return lib.createFileWriter(w);
         }},
        {fault::kCreateFormatConverter,
         [&] {
             std::shared_ptr<FormatConverter> c;
             return lib.createFormatConverter(c);
         }},
        {fault::kCreateFilterGraph,
         [&] {
             std::shared_ptr<FilterGraph> g;
             return lib.createFilterGraph(g);
         }},
        {fault::kCreateGroupNode,
         [&] {
             std::shared_ptr<TimelineNode> n;
             return tl->createEmptyNode(NodeType::Group, n);
         }},
        {fault::kCreateTrackNode,
         [&] {
             std::shared_ptr<TimelineNode> n;
             return tl->createEmptyNode(NodeType::Track, n);
         }},
        {fault::kCreateSourceNode,
         [&] {
             std::shared_ptr<TimelineNode> n;
             return tl->createEmptyNode(NodeType::Source, n);
         }},
        {fault::kCreateEffectNode,
         [&] {
             std::shared_ptr<TimelineNode> n;
             return tl->createEmptyNode(NodeType::Effect, n);
         }},
        {fault::kSetMediaType,
         [&] {
             return group->setMediaType({MajorType::Audio, true, 1});
         }},
        {fault::kAddGroup, [&] { return tl->addGroup(group); }},
        {fault::kVTrackInsBefore, [&] { return group->vtrackInsBefore(track, -1); }},
        {fault::kSourceSetStartStop, [&] { return source->setStartStop(0, 10); }},
        {fault::kSetMediaTimes, [&] { return source->setMediaTimes(0, 10); }},
        {fault::kSetMediaName, [&] { return source->setMediaName(u16(mediaPath("sine100.wav"))); }},
        {fault::kSrcAdd, [&] { return track->srcAdd(source); }},
        {fault::kSetSubObject, [&] { return effect->setSubObject(EffectKind::AudioMixer); }},
        {fault::kEffectSetStartStop, [&] { return effect->setStartStop(0, 10); }},
        {fault::kQueryEffectable, [&] { return track->queryEffectable(effectable); }},
        {fault::kEffectInsBefore, [&] { return track->effectInsBefore(effect, -1); }},
        {fault::kAddProp,
         [&] {
             return setter->addProp({"Vol", 0, {{0.5, 0, kInterpolateJump}}});
         }},
        {fault::kSetPropertySetter, [&] { return effect->setPropertySetter(setter); }},
        {fault::kGetGroupCount,
         [&] {
             int n = 0;
             return tl->getGroupCount(n);
         }},
        {fault::kGetGroup,
         [&] {
             std::shared_ptr<TimelineNode> g;
             return tl->getGroup(0, g);
         }},
        {fault::kValidateSourceNames,
         [&] {
             std::vector<MissingSource> m;
             return tl->validateSourceNames(m);
         }},
        {fault::kSetTimelineObject, [&] { return engine->setTimelineObject(tl); }},
        {fault::kSetDynamicReconnectLevel, [&] { return engine->setDynamicReconnectLevel(1); }},
        {fault::kConnectFrontEnd, [&] { return engine->connectFrontEnd(); }},
        {fault::kSetPreviewMode, [&] { return group->setPreviewMode(false); }},
        {fault::kGetTimelineObject,
         [&] {
             std::shared_ptr<Timeline> t;
             return engine->getTimelineObject(t);
         }},
        {fault::kGetFilterGraph, [&] { return engine->getFilterGraph(graph); }},
        {fault::kSetFiltergraph, [&] { return builder->setFiltergraph(graph); }},
        {fault::kSetFileName, [&] { return writer->setFileName(u16("/tmp/x.wav"), nullptr); }},
        {fault::kAddFilter, [&] { return graph->addFilter(converter, "Wave Format"); }},
        {fault::kGetGroupOutputPin,
         [&] {
             Pin* p = nullptr;
             return engine->getGroupOutputPin(0, p);
         }},
        {fault::kGetFormat, [&] { return converter->getFormat(type); }},
        {fault::kSetFormat, [&] { return converter->setFormat(type); }},
        {fault::kQueryMediaControl, [&] { return graph->queryMediaControl(control); }},
        {fault::kQueryMediaEvents,
         [&] {
             std::shared_ptr<MediaEvents> e;
             return graph->queryMediaEvents(e);
         }},
        {fault::kQueryMediaSeeking,
         [&] {
             std::shared_ptr<MediaSeeking> s;
             return graph->queryMediaSeeking(s);
         }},
        {fault::kSetNotify, [&] { return graph->setNotify([] {}); }},
        {fault::kRenderFile,
         [&] {
             std::shared_ptr<FilterGraph> g;
             EXPECT_EQ(lib.createFilterGraph(g), kOk);
             return g->renderFile(u16(mediaPath("sine100.wav")));
         }},
    };
    // Armed one at a time in the order of use: each call fails once with the armed status, then
    // succeeds, so the objects are built as they go.
    for (const auto& [point, call] : calls) {
        SCOPED_TRACE(std::string(point));
        lib.faults().fail(point, kErrAccessDenied);
        EXPECT_EQ(call(), kErrAccessDenied);
        EXPECT_TRUE(succeeded(call()));
    }
    // The calls that only make sense on an assembled graph.
    Pin* pin = nullptr;
    ASSERT_EQ(engine->getGroupOutputPin(0, pin), kOk);
    std::shared_ptr<WavMux> mux;
    ASSERT_EQ(lib.createWavMux(mux), kOk);
    ASSERT_EQ(graph->addFilter(mux, "Wave Mux"), kOk);
    ASSERT_EQ(graph->addFilter(writer, "Writer"), kOk);
    lib.faults().fail(fault::kRenderStream, kErrNotConnected);
    EXPECT_EQ(builder->renderStream(*pin, converter.get(), *mux), kErrNotConnected);
    ASSERT_EQ(builder->renderStream(*pin, converter.get(), *mux), kOk);
    lib.faults().fail(fault::kFindInterface);
    EXPECT_EQ(builder->findInterface(LookDirection::UpstreamOnly, MajorType::Audio, *mux, config), kErrFail);
    ASSERT_EQ(builder->findInterface(LookDirection::UpstreamOnly, MajorType::Audio, *mux, config), kOk);
    EXPECT_EQ(config.get(), static_cast<StreamConfig*>(converter.get()));
    lib.faults().fail(fault::kConnect);
    EXPECT_EQ(graph->connect(*mux->firstPin(PinDirection::Output), *writer->firstPin(PinDirection::Input)), kErrFail);
    ASSERT_EQ(graph->connect(*mux->firstPin(PinDirection::Output), *writer->firstPin(PinDirection::Input)), kOk);
    ASSERT_EQ(writer->setFileName(u16((scratchDir() / "x.wav").string()), nullptr), kOk);
    lib.faults().fail(fault::kRun, kErrOutOfMemory);
    EXPECT_EQ(graph->run(), kErrOutOfMemory);
    GraphEvent event;
    EXPECT_EQ(graph->getEvent(event, 0), kErrTimeout) << "a refused run starts nothing";
    lib.faults().fail(fault::kGetStopPosition);
    REFERENCE_TIME stop = 0;
    EXPECT_EQ(graph->getStopPosition(stop), kErrFail);
    EXPECT_EQ(graph->getStopPosition(stop), kOk);
    EXPECT_EQ(stop, 0);  // one source from 0 to 10 units: less than a frame
    // skip and times: the third and fourth calls fail.
    lib.faults().fail(fault::kGetFormat, kErrFail, 2, 2);
    std::vector<Status> seen;
    for (int i = 0; i < 5; ++i)
        seen.push_back(converter->getFormat(type));
    EXPECT_EQ(seen, (std::vector<Status>{kOk, kOk, kErrFail, kErrFail, kOk}));
}

TEST(EngineObjectsTest, NodesAndFiltersRefuseMisuse)
{
    MediaLibrary lib;
    ASSERT_EQ(lib.initialize(), kOk);
    std::shared_ptr<Timeline> tl;
    ASSERT_EQ(lib.createTimeline(tl), kOk);
    std::shared_ptr<TimelineNode> group, track, source;
    ASSERT_EQ(tl->createEmptyNode(NodeType::Group, group), kOk);
    ASSERT_EQ(tl->createEmptyNode(NodeType::Track, track), kOk);
    ASSERT_EQ(tl->createEmptyNode(NodeType::Source, source), kOk);
    EXPECT_EQ(group->srcAdd(source), kErrNoInterface);
    EXPECT_EQ(source->vtrackInsBefore(track, -1), kErrNoInterface);
    EXPECT_EQ(track->setMediaName(u"x"), kErrNoInterface);
    EXPECT_EQ(group->vtrackInsBefore(source, -1), kErrInvalidArg);
    EXPECT_EQ(group->vtrackInsBefore(nullptr, -1), kErrPointer);
    EXPECT_EQ(tl->addGroup(track), kErrInvalidArg);
    std::shared_ptr<TimelineNode> node;
    EXPECT_EQ(tl->createEmptyNode(static_cast<NodeType>(99), node), kErrInvalidArg);
    EXPECT_FALSE(node);

    std::shared_ptr<FormatConverter> converter;
    ASSERT_EQ(lib.createFormatConverter(converter), kOk);
    MediaType type;
    ASSERT_EQ(converter->getFormat(type), kOk);
    EXPECT_EQ(type.format, pcmFormat(44100, 2, 16));
    for (const WaveFormat& bad : {pcmFormat(44100, 3, 16), pcmFormat(44100, 2, 12), pcmFormat(4000, 2, 16),
                                  WaveFormat{kWaveFormatPcm, 2, 44100, 1, 4, 16, 0},
                                  WaveFormat{kWaveFormatIeeeFloat, 2, 44100, 176400, 4, 16, 0}}) {
        type.format = bad;
        EXPECT_EQ(converter->setFormat(type), kErrInvalidMediaType);
    }
    type.format = WaveFormat{kWaveFormatIeeeFloat, 2, 192000, 1536000, 8, 32, 0};
    EXPECT_EQ(converter->setFormat(type), kOk);
    type.format = pcmFormat(96000, 2, 24);
    EXPECT_EQ(converter->setFormat(type), kOk);
    type.format = pcmFormat(8000, 1, 8);
    EXPECT_EQ(converter->setFormat(type), kOk);
    EXPECT_EQ(converter->format(), pcmFormat(8000, 1, 8));

    // Running a graph that is not assembled says so.
    std::shared_ptr<FilterGraph> graph;
    ASSERT_EQ(lib.createFilterGraph(graph), kOk);
    EXPECT_EQ(graph->run(), kErrNotConnected);
    std::shared_ptr<RenderEngine> engine;
    ASSERT_EQ(lib.createRenderEngine(engine), kOk);
    EXPECT_EQ(engine->connectFrontEnd(), kErrWrongState);
    EXPECT_EQ(engine->getFilterGraph(graph), kErrWrongState);
}

TEST(EngineObjectsTest, ValidationListsEveryMissingSource)
{
    MediaLibrary lib;
    ASSERT_EQ(lib.initialize(), kOk);
    const auto dir = scratchDir();
    const std::string fifo = (dir / "pipe.wav").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::shared_ptr<Timeline> tl;
    ASSERT_EQ(lib.createTimeline(tl), kOk);
    std::shared_ptr<TimelineNode> group;
    ASSERT_EQ(tl->createEmptyNode(NodeType::Group, group), kOk);
    ASSERT_EQ(tl->addGroup(group), kOk);
    const std::vector<std::string> names = {mediaPath("sine100.wav"), mediaPath("missing.wav"), fifo,
                                            mediaPath("folder.wav"), mediaPath("cbr.mp3")};
    for (const auto& name : names) {
        std::shared_ptr<TimelineNode> track, source;
        ASSERT_EQ(tl->createEmptyNode(NodeType::Track, track), kOk);
        ASSERT_EQ(group->vtrackInsBefore(track, -1), kOk);
        ASSERT_EQ(tl->createEmptyNode(NodeType::Source, source), kOk);
        ASSERT_EQ(source->setMediaName(u16(name)), kOk);
        ASSERT_EQ(track->srcAdd(source), kOk);
    }
    std::vector<MissingSource> missing;
    ASSERT_EQ(tl->validateSourceNames(missing), kFalse);
    ASSERT_EQ(missing.size(), 3u);
    EXPECT_EQ(missing[0].name, u16(mediaPath("missing.wav")));
    EXPECT_EQ(missing[0].status, kErrFileNotFound);
    EXPECT_EQ(missing[1].name, u16(fifo));
    EXPECT_EQ(missing[1].status, kErrNotRegularFile);
    EXPECT_EQ(missing[2].status, kErrNotRegularFile);

    std::shared_ptr<Timeline> good;
    ASSERT_EQ(lib.createTimeline(good), kOk);
    EXPECT_EQ(good->validateSourceNames(missing), kOk);
    EXPECT_TRUE(missing.empty());
}

TEST(EngineObjectsTest, ErrorTextsAreShortDistinctSentences)
{
    const std::vector<Status> codes = {
        kErrFail,          kErrNotImplemented, kErrNoInterface,      kErrPointer,          kErrAbort,
        kErrInvalidArg,    kErrOutOfMemory,    kErrFileNotFound,     kErrPathNotFound,     kErrAccessDenied,
        kErrDiskFull,      kErrWriteFault,     kErrReadFault,        kErrNotRegularFile,   kErrUnsupportedFormat,
        kErrNoAudioStream, kErrCorruptData,    kErrNotConnected,     kErrAlreadyConnected, kErrWrongState,
        kErrNoFileName,    kErrTimeout,        kErrInvalidMediaType, kErrEngineUnavailable};
    std::set<std::string> texts;
    for (Status s : codes) {
        const std::string text = errorText(s);
        EXPECT_FALSE(text.empty());
        EXPECT_LE(text.size(), kMaxErrorTextLength);
        EXPECT_EQ(text.back(), '.');
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), codes.size());
    EXPECT_EQ(errorText(kErrFileNotFound), "The file could not be found.");
    EXPECT_EQ(errorText(kErrDiskFull), "The disk is full.");
    const std::string unknown = errorText(static_cast<Status>(0x8badf00d));
    EXPECT_LE(unknown.size(), kMaxErrorTextLength);
    EXPECT_NE(unknown.find("8BADF00D"), std::string::npos) << unknown;
}

}  // namespace
}  // namespace sonarel::media::test
