// SPDX-License-Identifier: GPL-3.0-or-later
// Shared helpers of the media engine tests: where the generated media lives, and a render driven through the engine's
// calls in the order the render code makes them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/media/SourceShaping.h"
#include "platform/media/services/MediaLibrary.h"
#include "tests/support/WavFile.h"

namespace sonarel::media::test {

// A file of the generated test media.
std::string mediaPath(const std::string& name);
// A fresh scratch folder for one test's outputs.
std::filesystem::path scratchDir();
std::u16string u16(const std::string& text);

using sonarel::testing::readWav;
using sonarel::testing::WavData;

// The wave format a WAV file declares, as the engine's converter would report it.
WaveFormat formatOf(const WavData& wav);

struct Entry {
    std::string path;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME duration = -1;  // -1: measured by probing
    double speed = 1.0;
    double volume = 1.0;
    // The part of the file that plays: mediaStart .. mediaStop (-1: the duration).
    REFERENCE_TIME mediaStart = 0;
    REFERENCE_TIME mediaStop = -1;
    SourceShaping shaping{};
    int stem = -1;  // the stem file its sound also goes to; -1: none
};

// The output format for `rate`, `channels` and `bits`, consistent in every field.
WaveFormat pcmFormat(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits);

// Measures a file the way the render code does; -1 when it cannot be measured.
REFERENCE_TIME probe(MediaLibrary& lib, const std::string& path);

struct RenderRun {
    Status runStatus = kOk;  // of run()
    std::vector<GraphEvent> events;
    std::shared_ptr<FilterGraph> graph;
    std::shared_ptr<RenderEngine> engine;
};

// Builds the timeline and the graph for `entries` and runs it, written as `encoding` says, with
// the `stems` files beside it. With `wait`, waits for the first event, stops and scraps; otherwise
// returns with the graph running.
RenderRun render(MediaLibrary& lib, const std::vector<Entry>& entries, const WaveFormat& format,
                 const std::filesystem::path& output, bool wait = true, const core::OutputEncoding& encoding = {},
                 const std::vector<std::filesystem::path>& stems = {});

}  // namespace sonarel::media::test

namespace sonarel::media::test {
// Runs a program with an argument list (no shell) and returns its exit status, or -1.
int runProgram(const std::vector<std::string>& args);
// The number of frames the ffmpeg command-line tool decodes from the best audio stream of `path`
// (its own gapless handling), or -1.
std::int64_t decodedFramesByFfmpeg(const std::string& path, int& rate);
}  // namespace sonarel::media::test
