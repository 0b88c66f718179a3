// SPDX-License-Identifier: GPL-3.0-or-later
// The cost of measuring a mix's loudness: times the engine's loudness meter over a 16-bit WAV file
// (the w8 output of run_bench.sh), block by block as a mix feeds it, against reading the file.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/media/core/LoudnessMeter.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s MIX.wav (16-bit stereo 44100 Hz, plain header)\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    constexpr std::size_t kHeader = 80;
    if (bytes.size() <= kHeader) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<float> samples((bytes.size() - kHeader) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        std::int16_t v = 0;
        std::memcpy(&v, bytes.data() + kHeader + 2 * i, 2);
        samples[i] = static_cast<float>(v) / 32768.0f;
    }
    const std::size_t frames = samples.size() / 2;
    constexpr std::size_t kBlock = 8192;  // the mix's block
    const auto started = std::chrono::steady_clock::now();
    sonarel::media::core::LoudnessMeter meter(2, 44100);
    for (std::size_t at = 0; at < frames; at += kBlock)
        meter.add(samples.data() + 2 * at, std::min(kBlock, frames - at));
    const sonarel::media::LoudnessFigures figures = meter.figures();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf(
        "measured %.1f s of stereo 44100 Hz in %.3f s (%.0fx real time): %.1f LUFS, range %.1f LU, "
        "true peak %.1f dBTP\n",
        static_cast<double>(frames) / 44100.0, seconds, static_cast<double>(frames) / 44100.0 / seconds,
        figures.integratedLufs, figures.rangeLu, figures.truePeakDbtp);
    return 0;
}
