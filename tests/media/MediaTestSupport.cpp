// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/media/MediaTestSupport.h"

#include <unistd.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>

#include <gtest/gtest.h>

namespace sonarel::media::test {

std::string mediaPath(const std::string& name)
{
    const char* dir = std::getenv("SONAREL_TEST_MEDIA");
    return std::string(dir ? dir : "test-media") + "/" + name;
}

namespace {

std::filesystem::path scratchRoot()
{
    return std::filesystem::temp_directory_path() / ("sonarel-media-" + std::to_string(::getpid()));
}

// Removes the scratch folders of the test program when it ends.
class ScratchCleanup : public ::testing::Environment {
public:
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(scratchRoot(), ignored);
        std::filesystem::remove_all(
            std::filesystem::temp_directory_path() / ("sonarel-decode-" + std::to_string(::getpid())), ignored);
    }
};
[[maybe_unused]] ::testing::Environment* const cleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

}  // namespace

std::filesystem::path scratchDir()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "scratch";
    for (char& c : name)
        if (c == '/')
            c = '_';
    const auto dir = scratchRoot() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

std::u16string u16(const std::string& text)
{
    std::u16string out;
    for (unsigned char c : text)
        out += static_cast<char16_t>(c);  // the test paths are ASCII
    return out;
}

WaveFormat formatOf(const WavData& wav)
{
    WaveFormat f;
    f.formatTag = static_cast<std::uint16_t>(wav.formatTag);
    f.channels = static_cast<std::uint16_t>(wav.channels);
    f.samplesPerSec = static_cast<std::uint32_t>(wav.sampleRate);
    f.avgBytesPerSec = wav.avgBytesPerSec;
    f.blockAlign = static_cast<std::uint16_t>(wav.blockAlign);
    f.bitsPerSample = static_cast<std::uint16_t>(wav.bitsPerSample);
    return f;
}

WaveFormat pcmFormat(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits)
{
    WaveFormat f;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.bitsPerSample = bits;
    f.blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    f.avgBytesPerSec = f.blockAlign * rate;
    return f;
}

REFERENCE_TIME probe(MediaLibrary& lib, const std::string& path)
{
    std::shared_ptr<FilterGraph> graph;
    if (failed(lib.createFilterGraph(graph)))
        return 0;
    if (failed(graph->renderFile(u16(path))))
        return -1;
    std::shared_ptr<MediaSeeking> seeking;
    if (failed(graph->queryMediaSeeking(seeking)))
        return -1;
    REFERENCE_TIME stop = 0;
    if (failed(seeking->getStopPosition(stop)))
        return -1;
    return stop;
}

RenderRun render(MediaLibrary& lib, const std::vector<Entry>& entries, const WaveFormat& format,
                 const std::filesystem::path& output, bool wait, const core::OutputEncoding& encoding,
                 const std::vector<std::filesystem::path>& stems)
{
    RenderRun run;
    std::shared_ptr<Timeline> tl;
    EXPECT_EQ(lib.createTimeline(tl), kOk);
    std::shared_ptr<TimelineNode> group;
    EXPECT_EQ(tl->createEmptyNode(NodeType::Group, group), kOk);
    EXPECT_EQ(group->setMediaType({MajorType::Audio, true, 1}), kOk);
    EXPECT_EQ(tl->addGroup(group), kOk);
    for (const Entry& e : entries) {
        const REFERENCE_TIME duration = e.duration >= 0 ? e.duration : probe(lib, e.path);
        const REFERENCE_TIME mediaStop = e.mediaStop >= 0 ? e.mediaStop : duration;
        const auto stop = static_cast<REFERENCE_TIME>(static_cast<double>(e.start) +
                                                      static_cast<double>(mediaStop - e.mediaStart) / e.speed);
        std::shared_ptr<TimelineNode> track, source, effect, effectable;
        EXPECT_EQ(tl->createEmptyNode(NodeType::Track, track), kOk);
        EXPECT_EQ(group->vtrackInsBefore(track, -1), kOk);
        EXPECT_EQ(tl->createEmptyNode(NodeType::Source, source), kOk);
        EXPECT_EQ(source->setStartStop(e.start, stop), kOk);
        EXPECT_EQ(source->setMediaTimes(e.mediaStart, mediaStop), kOk);
        EXPECT_EQ(source->setShaping(e.shaping), kOk);
        EXPECT_EQ(source->setStem(e.stem), kOk);
        EXPECT_EQ(source->setMediaName(u16(e.path)), kOk);
        EXPECT_EQ(track->srcAdd(source), kOk);
        EXPECT_EQ(tl->createEmptyNode(NodeType::Effect, effect), kOk);
        EXPECT_EQ(effect->setSubObject(EffectKind::AudioMixer), kOk);
        EXPECT_EQ(effect->setStartStop(e.start, stop), kOk);
        EXPECT_EQ(track->queryEffectable(effectable), kOk);
        EXPECT_EQ(effectable->effectInsBefore(effect, -1), kOk);
        std::shared_ptr<PropertySetter> setter;
        EXPECT_EQ(lib.createPropertySetter(setter), kOk);
        EXPECT_EQ(setter->addProp({"Vol", 0, {{e.volume, 0, kInterpolateJump}}}), kOk);
        EXPECT_EQ(effect->setPropertySetter(setter), kOk);
    }
    std::vector<MissingSource> missing;
    static_cast<void>(tl->validateSourceNames(missing));  // some tests mix files that are missing

    EXPECT_EQ(lib.createRenderEngine(run.engine), kOk);
    EXPECT_EQ(run.engine->setTimelineObject(tl), kOk);
    EXPECT_EQ(run.engine->setDynamicReconnectLevel(1), kOk);
    EXPECT_EQ(run.engine->connectFrontEnd(), kOk);
    EXPECT_EQ(group->setPreviewMode(false), kOk);
    std::shared_ptr<GraphBuilder> builder;
    EXPECT_EQ(lib.createGraphBuilder(builder), kOk);
    EXPECT_EQ(run.engine->getFilterGraph(run.graph), kOk);
    EXPECT_EQ(builder->setFiltergraph(run.graph), kOk);
    std::shared_ptr<WavMux> mux;
    EXPECT_EQ(lib.createWavMux(mux), kOk);
    EXPECT_EQ(run.graph->addFilter(mux, "Wave Mux"), kOk);
    EXPECT_EQ(mux->setEncoding(encoding), kOk);
    std::shared_ptr<FileWriter> writer;
    EXPECT_EQ(lib.createFileWriter(writer), kOk);
    EXPECT_EQ(writer->setFileName(u16(output.string()), nullptr), kOk);
    std::vector<std::u16string> stemNames;
    for (const std::filesystem::path& stem : stems)
        stemNames.push_back(u16(stem.string()));
    EXPECT_EQ(writer->setStemFileNames(std::move(stemNames)), kOk);
    EXPECT_EQ(run.graph->addFilter(writer, "Writer"), kOk);
    EXPECT_EQ(mux->setInterleavingMode(kInterleaveFull), kOk);
    EXPECT_EQ(writer->setMode(kFileOverwrite), kOk);
    std::shared_ptr<FormatConverter> converter;
    EXPECT_EQ(lib.createFormatConverter(converter), kOk);
    EXPECT_EQ(run.graph->addFilter(converter, "Wave Format"), kOk);
    Pin* pin = nullptr;
    EXPECT_EQ(run.engine->getGroupOutputPin(0, pin), kOk);
    if (!pin)
        return run;
    EXPECT_EQ(builder->renderStream(*pin, converter.get(), *mux), kOk);
    std::shared_ptr<StreamConfig> config;
    EXPECT_EQ(builder->findInterface(LookDirection::UpstreamOnly, MajorType::Audio, *mux, config), kOk);
    MediaType type;
    EXPECT_EQ(config->getFormat(type), kOk);
    type.format.formatTag = format.formatTag;
    type.format.channels = format.channels;
    type.format.samplesPerSec = format.samplesPerSec;
    type.format.avgBytesPerSec = format.avgBytesPerSec;
    type.format.blockAlign = format.blockAlign;
    type.format.bitsPerSample = format.bitsPerSample;
    EXPECT_EQ(config->setFormat(type), kOk);
    EXPECT_EQ(run.graph->connect(*mux->firstPin(PinDirection::Output), *writer->firstPin(PinDirection::Input)), kOk);
    std::shared_ptr<MediaControl> control;
    EXPECT_EQ(run.graph->queryMediaControl(control), kOk);
    std::shared_ptr<MediaEvents> events;
    EXPECT_EQ(run.graph->queryMediaEvents(events), kOk);
    // Like the application: the hook only posts a notice; events are then fetched without waiting.
    struct Notice {
        std::mutex mutex;
        std::condition_variable posted;
        int count = 0;
    };
    auto notice = std::make_shared<Notice>();
    EXPECT_EQ(events->setNotify([notice] {
        std::lock_guard lock(notice->mutex);
        ++notice->count;
        notice->posted.notify_all();
    }),
              kOk);
    run.runStatus = control->run();
    if (!wait || failed(run.runStatus))
        return run;
    {
        std::unique_lock lock(notice->mutex);
        EXPECT_TRUE(notice->posted.wait_for(lock, std::chrono::seconds(60), [&] { return notice->count > 0; }))
            << "the notify hook was not called";
    }
    GraphEvent event;
    while (events->getEvent(event, 0) == kOk)
        run.events.push_back(event);
    EXPECT_EQ(control->stop(), kOk);
    EXPECT_EQ(events->setNotify({}), kOk);
    EXPECT_EQ(run.engine->scrapIt(), kOk);
    return run;
}

}  // namespace sonarel::media::test

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace sonarel::media::test {

int runProgram(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

std::int64_t decodedFramesByFfmpeg(const std::string& path, int& rate)
{
    const auto dir = std::filesystem::temp_directory_path() / ("sonarel-decode-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto raw = dir / "decoded.f32";
    const auto info = dir / "rate.txt";
    if (runProgram({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i", path, "-map", "0:a:0",
                    "-ac", "1", "-f", "f32le", raw.string()}) != 0)
        return -1;
    rate = 0;
    if (runProgram({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries", "stream=sample_rate", "-of",
                    "csv=p=0", "-o", info.string(), path}) == 0) {
        std::ifstream in(info);
        in >> rate;
    }
    return static_cast<std::int64_t>(std::filesystem::file_size(raw) / 4);
}

}  // namespace sonarel::media::test
