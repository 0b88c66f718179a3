// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target of the media engine: arbitrary bytes are taken as a media file, which is probed,
// checked and mixed beside a good entry through the engine's own calls, the way the program makes
// them. A crash, a leak, undefined behaviour or a mix that never ends is a finding; a file that is
// refused is not. Built with libFuzzer (clang) for fuzzing, and with a plain main that replays
// files for the regression test.
#include <unistd.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/media/services/MediaLibrary.h"

namespace {

using namespace sonarel;
using namespace sonarel::media;

constexpr REFERENCE_TIME kLongest = 2 * kReferenceUnitsPerSecond;  // keeps one input cheap

std::u16string u16(const std::string& text)
{
    return std::u16string(text.begin(), text.end());  // the scratch paths are ASCII
}

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz target: %s\n", what);
        std::abort();
    }
}

struct Scratch {
    std::filesystem::path dir;
    std::string input;
    std::string good;
    std::string output;

    Scratch()
    {
        dir = std::filesystem::temp_directory_path() / ("sonarel-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        input = (dir / "input.bin").string();
        good = (dir / "good.wav").string();
        output = (dir / "out.wav").string();
        writeGoodWav();
    }
    ~Scratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    // Half a second of a 440 Hz sine, 16-bit stereo at 8000 Hz.
    void writeGoodWav() const
    {
        std::vector<std::int16_t> samples(8000);
        for (std::size_t i = 0; i < samples.size(); i += 2)
            samples[i] = samples[i + 1] = static_cast<std::int16_t>(8000 * std::sin(i * 3.14159265 * 440 / 8000));
        std::ofstream out(good, std::ios::binary);
        auto put = [&](std::uint32_t v, int bytes) {
            for (int b = 0; b < bytes; ++b)
                out.put(static_cast<char>(v >> (8 * b)));
        };
        out.write("RIFF", 4);
        put(36 + 16000, 4);
        out.write("WAVEfmt ", 8);
        put(16, 4), put(1, 2), put(2, 2), put(8000, 4), put(32000, 4), put(4, 2), put(16, 2);
        out.write("data", 4);
        put(16000, 4);
        out.write(reinterpret_cast<const char*>(samples.data()), 16000);
    }
};

Scratch& scratch()
{
    static Scratch s;
    return s;
}

REFERENCE_TIME probe(MediaLibrary& library, const std::string& path)
{
    std::shared_ptr<FilterGraph> graph;
    require(succeeded(library.createFilterGraph(graph)), "no filter graph");
    if (failed(graph->renderFile(u16(path))))
        return -1;
    std::shared_ptr<MediaSeeking> seeking;
    REFERENCE_TIME stop = -1;
    if (failed(graph->queryMediaSeeking(seeking)) || failed(seeking->getStopPosition(stop)))
        return -1;
    return stop;
}

void addEntry(Timeline& timeline, TimelineNode& group, const std::string& path, REFERENCE_TIME start,
              REFERENCE_TIME duration, double speed)
{
    std::shared_ptr<TimelineNode> track, source;
    require(succeeded(timeline.createEmptyNode(NodeType::Track, track)), "no track");
    require(succeeded(group.vtrackInsBefore(track, -1)), "track refused");
    require(succeeded(timeline.createEmptyNode(NodeType::Source, source)), "no source");
    const auto stop = static_cast<REFERENCE_TIME>(static_cast<double>(start) + static_cast<double>(duration) / speed);
    require(succeeded(source->setStartStop(start, stop)), "source times refused");
    require(succeeded(source->setMediaTimes(0, duration)), "media times refused");
    require(succeeded(source->setMediaName(u16(path))), "name refused");
    require(succeeded(track->srcAdd(source)), "source refused");
}

// Mixes the input (when it can be mixed) beside the good file and waits for the end.
void mix(MediaLibrary& library, bool withInput, REFERENCE_TIME inputLength, double speed)
{
    std::shared_ptr<Timeline> timeline;
    require(succeeded(library.createTimeline(timeline)), "no timeline");
    std::shared_ptr<TimelineNode> group;
    require(succeeded(timeline->createEmptyNode(NodeType::Group, group)), "no group");
    require(succeeded(group->setMediaType({MajorType::Audio, true, 1})), "group type refused");
    require(succeeded(timeline->addGroup(group)), "group refused");
    addEntry(*timeline, *group, scratch().good, 0, kReferenceUnitsPerSecond / 2, 1.0);
    if (withInput)
        addEntry(*timeline, *group, scratch().input, kReferenceUnitsPerSecond / 10, inputLength, speed);

    std::shared_ptr<RenderEngine> engine;
    require(succeeded(library.createRenderEngine(engine)), "no engine");
    require(succeeded(engine->setTimelineObject(timeline)), "timeline refused");
    require(succeeded(engine->connectFrontEnd()), "no front end");
    std::shared_ptr<FilterGraph> graph;
    require(succeeded(engine->getFilterGraph(graph)), "no graph");
    std::shared_ptr<GraphBuilder> builder;
    std::shared_ptr<WavMux> mux;
    std::shared_ptr<FileWriter> writer;
    std::shared_ptr<FormatConverter> converter;
    require(succeeded(library.createGraphBuilder(builder)) && succeeded(builder->setFiltergraph(graph)), "no builder");
    require(succeeded(library.createWavMux(mux)) && succeeded(graph->addFilter(mux, "Wave Mux")), "no mux");
    require(succeeded(library.createFileWriter(writer)) &&
                succeeded(writer->setFileName(u16(scratch().output), nullptr)) &&
                succeeded(graph->addFilter(writer, "Writer")),
            "no writer");
    require(succeeded(library.createFormatConverter(converter)) &&
                succeeded(graph->addFilter(converter, "Wave Format")),
            "no converter");
    Pin* pin = nullptr;
    require(succeeded(engine->getGroupOutputPin(0, pin)) && pin, "no group pin");
    require(succeeded(builder->renderStream(*pin, converter.get(), *mux)), "stream refused");
    MediaType type;
    require(succeeded(converter->getFormat(type)), "no format");
    type.format = {kWaveFormatPcm, 2, 8000, 32000, 4, 16, 0};
    require(succeeded(converter->setFormat(type)), "format refused");
    require(succeeded(graph->connect(*mux->firstPin(PinDirection::Output), *writer->firstPin(PinDirection::Input))),
            "writer not connected");
    require(succeeded(graph->run()), "the mix did not start");
    GraphEvent event;
    require(graph->getEvent(event, 60'000) == kOk, "the mix never ended");
    require(event.code == kEventComplete || event.code == kEventErrorAbort, "unexpected event");
    require(withInput || event.code == kEventComplete, "the good file alone did not mix");
    static_cast<void>(graph->stop());  // after the end event a stop only joins the finished job
    static_cast<void>(engine->scrapIt());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        std::ofstream out(scratch().input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    MediaLibrary library;
    library.options().workerThreads = 2;
    require(succeeded(library.initialize()), "the engine did not start");
    const REFERENCE_TIME length = probe(library, scratch().input);
    std::string detail;
    const bool mixable = succeeded(library.checkSource(u16(scratch().input), 8000, detail));
    // The last byte picks a speed, so varispeed is fuzzed too.
    const double speed = size > 0 ? 0.25 + (data[size - 1] % 16) * 0.25 : 1.0;
    mix(library, mixable && length > 0, std::min(length, kLongest), speed);
    return 0;
}
