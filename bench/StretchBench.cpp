// SPDX-License-Identifier: GPL-3.0-or-later
// Compares Rubber Band's two engines as the time stretcher uses them (real time, one thread,
// stereo at 44.1 kHz) on speech, music and a sustained chord, at speeds 0.75, 1.5 and 2 and at
// pitch +5 and -5 semitones: how fast each runs on one core, and how clean the result is.
//
//   sonarel-stretch-bench [--speech FILE] [--runs N] [--seconds S]     (--runs 0: memory only)
//
// FILE is raw interleaved stereo float at 44.1 kHz (run_stretch_bench.sh makes it with espeak-ng
// and ffmpeg); the music and the chord are made here. Prints one line per case and a summary.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "platform/media/core/TimeStretcher.h"

using namespace sonarel::media;
using namespace sonarel::media::core;

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr double kPi = std::numbers::pi;

struct Sound {
    std::string name;
    std::vector<float> samples;    // interleaved stereo
    std::vector<double> partials;  // the frequencies it holds, for sustained tones; empty otherwise
    std::int64_t frames() const { return static_cast<std::int64_t>(samples.size()) / kChannels; }
};

// A major triad on A3 with four harmonics per note: the tones whose frequencies the stretch must keep.
const std::vector<double> kChordNotes{220.0, 277.18, 329.63};

Sound chord(double seconds)
{
    Sound s{"chord", {}, {}};
    const auto frames = static_cast<std::int64_t>(seconds * kRate);
    s.samples.resize(static_cast<std::size_t>(frames * kChannels));
    for (double note : kChordNotes)
        for (int k = 1; k <= 4; ++k)
            s.partials.push_back(note * k);
    for (std::int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        double v = 0;
        for (double note : kChordNotes)
            for (int k = 1; k <= 4; ++k)
                v += 0.08 / k * std::sin(2 * kPi * note * k * t);
        s.samples[static_cast<std::size_t>(i * 2)] = s.samples[static_cast<std::size_t>(i * 2 + 1)] =
            static_cast<float>(v);
    }
    return s;
}

// Two bars of a chord pattern over kick, snare and hi-hat at 120 beats a minute, looped: sustained
// tones and sharp transients together, panned apart.
Sound music(double seconds)
{
    Sound s{"music", {}, {}};
    const auto frames = static_cast<std::int64_t>(seconds * kRate);
    s.samples.assign(static_cast<std::size_t>(frames * kChannels), 0.0f);
    std::mt19937 random(19);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    const double beat = 0.5;
    const std::vector<std::vector<double>> chords{{220.0, 277.18, 329.63}, {196.0, 246.94, 293.66}};
    for (std::int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double inBeat = std::fmod(t, beat);
        const double inEighth = std::fmod(t, beat / 2);
        const auto beatIndex = static_cast<int>(t / beat);
        const auto& notes = chords[static_cast<std::size_t>(beatIndex / 8 % 2)];
        double pad = 0;
        for (double note : notes)
            pad += 0.06 * (std::sin(2 * kPi * note * t) + 0.4 * std::sin(4 * kPi * note * t));
        const double kick = beatIndex % 2 == 0 ? 0.5 * std::exp(-inBeat * 18) *
                                                     std::sin(2 * kPi * (50 + 80 * std::exp(-inBeat * 30)) * inBeat)
                                               : 0.0;
        const double snare = beatIndex % 2 == 1 ? 0.25 * std::exp(-inBeat * 25) * noise(random) : 0.0;
        const double hat = 0.08 * std::exp(-inEighth * 120) * noise(random);
        s.samples[static_cast<std::size_t>(i * 2)] = static_cast<float>(pad + kick + snare + 0.7 * hat);
        s.samples[static_cast<std::size_t>(i * 2 + 1)] = static_cast<float>(0.8 * pad + kick + 0.7 * snare + hat);
    }
    return s;
}

bool loadRaw(const std::string& path, double seconds, Sound& s)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::vector<float> all;
    float pair[kChannels];
    while (in.read(reinterpret_cast<char*>(pair), sizeof pair) && all.size() < seconds * kRate * kChannels)
        all.insert(all.end(), pair, pair + kChannels);
    s = Sound{"speech", std::move(all), {}};
    return s.frames() > kRate;
}

// Iterative radix-2 FFT in place; size a power of two.
void fft(std::vector<std::complex<double>>& a)
{
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2 * kPi / static_cast<double>(len));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w = 1;
            for (std::size_t k = 0; k < len / 2; ++k, w *= step) {
                const auto u = a[i + k];
                const auto v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

constexpr std::size_t kFftSize = 8192;
constexpr double kBinHz = static_cast<double>(kRate) / kFftSize;

// Mean power spectrum of the left channel over the middle 80 % (windows overlapping by half).
std::vector<double> spectrum(const std::vector<float>& samples)
{
    const auto frames = static_cast<std::int64_t>(samples.size()) / kChannels;
    std::vector<double> power(kFftSize / 2, 0.0);
    std::vector<std::complex<double>> buffer(kFftSize);
    int windows = 0;
    for (std::int64_t at = frames / 10; at + static_cast<std::int64_t>(kFftSize) <= frames * 9 / 10;
         at += kFftSize / 2) {
        for (std::size_t i = 0; i < kFftSize; ++i) {
            // Blackman-Harris: its side lobes (-92 dB) keep leakage out of the measures.
            const double x = 2 * kPi * static_cast<double>(i) / kFftSize;
            const double window = 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) -
                                  0.01168 * std::cos(3 * x);
            buffer[i] = window * samples[static_cast<std::size_t>((at + static_cast<std::int64_t>(i)) * kChannels)];
        }
        fft(buffer);
        for (std::size_t i = 0; i < power.size(); ++i)
            power[i] += std::norm(buffer[i]);
        ++windows;
    }
    for (double& p : power)
        p /= std::max(windows, 1);
    return power;
}

// The strongest frequency within 3 % of `hz`, refined by a parabola through the log powers.
double peakNear(const std::vector<double>& power, double hz)
{
    const auto lo = static_cast<std::size_t>(hz * 0.97 / kBinHz);
    const auto hi = std::min(static_cast<std::size_t>(hz * 1.03 / kBinHz) + 1, power.size() - 2);
    std::size_t best = lo;
    for (std::size_t i = lo; i <= hi; ++i)
        if (power[i] > power[best])
            best = i;
    const double a = std::log(power[best - 1] + 1e-30), b = std::log(power[best] + 1e-30),
                 c = std::log(power[best + 1] + 1e-30);
    const double offset = (a - 2 * b + c) != 0 ? 0.5 * (a - c) / (a - 2 * b + c) : 0.0;
    return (static_cast<double>(best) + offset) * kBinHz;
}

// How far the output's spectrum strays from the input's (with its frequencies moved by `pitch`),
// as the RMS difference in dB of sixth-octave band levels from 100 Hz to 8 kHz.
double spectrumDistance(const std::vector<double>& in, const std::vector<double>& out, double pitch)
{
    const auto band = [](const std::vector<double>& p, double from, double to) {
        double sum = 1e-20;
        for (auto i = static_cast<std::size_t>(from / kBinHz);
             i < static_cast<std::size_t>(to / kBinHz) && i < p.size(); ++i)
            sum += p[i];
        return 10 * std::log10(sum);
    };
    double sum = 0;
    int bands = 0;
    std::vector<double> ins, outs;
    for (double f = 100; f * std::pow(2.0, 1.0 / 6) <= 8000; f *= std::pow(2.0, 1.0 / 6)) {
        const double g = f * std::pow(2.0, 1.0 / 6);
        ins.push_back(band(in, f / pitch, g / pitch));
        outs.push_back(band(out, f, g));
    }
    // Bands more than 60 dB below the input's loudest are empty: how empty does not matter.
    const double floor = *std::max_element(ins.begin(), ins.end()) - 60;
    std::vector<double> diffs;
    for (std::size_t i = 0; i < ins.size(); ++i)
        diffs.push_back(std::max(outs[i], floor) - std::max(ins[i], floor));
    double mean = 0;
    for (double d : diffs)
        mean += d / static_cast<double>(diffs.size());  // an overall level change is not a fault
    for (double d : diffs) {
        sum += (d - mean) * (d - mean);
        ++bands;
    }
    return std::sqrt(sum / bands);
}

// Energy away from the partials, in dB below the total (100 Hz to 6 kHz): smearing, phasiness and
// artefacts all land there. More negative is cleaner.
double offPartialLevel(const std::vector<double>& power, const std::vector<double>& partials, double pitch)
{
    double total = 0, off = 0;
    for (std::size_t i = static_cast<std::size_t>(100 / kBinHz); i < static_cast<std::size_t>(6000 / kBinHz); ++i) {
        const double hz = static_cast<double>(i) * kBinHz;
        const bool near = std::any_of(partials.begin(), partials.end(),
                                      [&](double p) { return std::abs(hz - p * pitch) < 25; });
        total += power[i];
        if (!near)
            off += power[i];
    }
    return 10 * std::log10(off / total + 1e-20);
}

// Contrast between loud and typical 5 ms moments (99th against 50th percentile of their energy),
// in dB: smeared transients lower it.
double transientContrast(const std::vector<float>& samples)
{
    const std::size_t window = kRate / 200 * kChannels;
    std::vector<double> energies;
    for (std::size_t at = 0; at + window <= samples.size(); at += window) {
        double e = 1e-20;
        for (std::size_t i = at; i < at + window; ++i)
            e += double(samples[i]) * samples[i];
        energies.push_back(e);
    }
    std::sort(energies.begin(), energies.end());
    return 10 * std::log10(energies[energies.size() * 99 / 100] / energies[energies.size() / 2]);
}

double threadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Case {
    const char* name;
    double speed;
    double semitones;
};

struct Result {
    double cpuSeconds = 1e9;
    std::vector<float> output;
};

Result run(const Sound& in, StretchEngine engine, const Case& c, int runs)
{
    StretchSettings settings;
    settings.channels = kChannels;
    settings.rate = kRate;
    settings.timeRatio = 1.0 / c.speed;
    settings.pitchScale = std::pow(2.0, c.semitones / 12);
    settings.outputFrames = std::llround(static_cast<double>(in.frames()) * settings.timeRatio);
    settings.engine = engine;
    Result result;
    for (int r = 0; r < runs; ++r) {
        std::int64_t next = 0;
        FramePull pull = [&](float* out, std::int64_t want, std::int64_t& got) {
            got = std::min(want, in.frames() - next);
            std::memcpy(out, in.samples.data() + next * kChannels,
                        static_cast<std::size_t>(got * kChannels) * sizeof(float));
            next += got;
            return kOk;
        };
        std::vector<float> out(static_cast<std::size_t>(settings.outputFrames * kChannels));
        TimeStretcher stretcher;
        const double start = threadSeconds();
        std::int64_t got = 0;
        if (failed(stretcher.open(settings, pull)) || failed(stretcher.read(out.data(), settings.outputFrames, got)) ||
            got != settings.outputFrames) {
            std::fprintf(stderr, "stretching %s failed\n", in.name.c_str());
            std::exit(1);
        }
        result.cpuSeconds = std::min(result.cpuSeconds, threadSeconds() - start);
        result.output = std::move(out);
    }
    return result;
}

// Resident memory in KiB, from /proc.
long residentKib()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

// What one open stretcher holds (stereo, after its first output): the mix keeps one per entry that
// keeps its pitch, for as long as the entry plays.
double mibPerStretcher(StretchEngine engine)
{
    constexpr int kCount = 16;
    StretchSettings settings;
    settings.channels = kChannels;
    settings.rate = kRate;
    settings.timeRatio = 1.0 / 1.5;
    settings.outputFrames = kRate;
    settings.engine = engine;
    std::vector<float> out(static_cast<std::size_t>(1024 * kChannels));
    const long before = residentKib();
    std::vector<TimeStretcher> stretchers(kCount);
    for (TimeStretcher& stretcher : stretchers) {
        std::int64_t got = 0;
        const auto tone = [](float* to, std::int64_t want, std::int64_t& given) {
            for (std::int64_t i = 0; i < want * kChannels; ++i)
                to[i] = 0.1f * static_cast<float>(std::sin(0.06 * static_cast<double>(i / kChannels)));
            given = want;
            return kOk;
        };
        if (failed(stretcher.open(settings, tone)) || failed(stretcher.read(out.data(), 1024, got)))
            return -1;
    }
    return static_cast<double>(residentKib() - before) / 1024 / kCount;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string speechPath;
    int runs = 3;
    double seconds = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--speech")
            speechPath = argv[i + 1];
        else if (option == "--runs")
            runs = std::max(0, std::atoi(argv[i + 1]));
        else if (option == "--seconds")
            seconds = std::max(2.0, std::atof(argv[i + 1]));
    }
    if (runs == 0) {  // memory only
        std::printf("memory per open stretcher: R2 %.1f MiB, R3 %.1f MiB\n", mibPerStretcher(StretchEngine::Faster),
                    mibPerStretcher(StretchEngine::Finer));
        return 0;
    }
    std::vector<Sound> sounds{music(seconds), chord(seconds)};
    if (!speechPath.empty()) {
        Sound speech;
        if (!loadRaw(speechPath, seconds, speech)) {
            std::fprintf(stderr, "cannot read the speech from %s\n", speechPath.c_str());
            return 1;
        }
        sounds.insert(sounds.begin(), std::move(speech));
    }
    const Case cases[] = {{"speed 0.75", 0.75, 0},
                          {"speed 1.5", 1.5, 0},
                          {"speed 2", 2.0, 0},
                          {"pitch +5", 1.0, 5},
                          {"pitch -5", 1.0, -5}};
    const StretchEngine engines[] = {StretchEngine::Faster, StretchEngine::Finer};

    std::printf("%-7s %-11s %-6s %9s %10s %10s %10s %10s\n", "sound", "case", "engine", "x_realtm", "spec_dB",
                "trans_dB", "cents", "off_dB");
    double totalCpu[2] = {0, 0}, totalAudio[2] = {0, 0};
    for (const Sound& sound : sounds) {
        const auto inSpectrum = spectrum(sound.samples);
        const double inContrast = transientContrast(sound.samples);
        if (!sound.partials.empty())  // the floor of the measure: the chord as it went in
            std::printf("%-7s %-11s %-6s %9s %10s %10s %10s %10.1f\n", sound.name.c_str(), "unchanged", "-", "-", "-",
                        "-", "-", offPartialLevel(inSpectrum, sound.partials, 1.0));
        for (const Case& c : cases) {
            for (int e = 0; e < 2; ++e) {
                const Result r = run(sound, engines[e], c, runs);
                const double pitch = std::pow(2.0, c.semitones / 12);
                const auto outSpectrum = spectrum(r.output);
                const double outSeconds = static_cast<double>(r.output.size()) / kChannels / kRate;
                totalCpu[e] += r.cpuSeconds;
                totalAudio[e] += outSeconds;
                std::printf("%-7s %-11s %-6s %9.1f %10.2f %10.2f", sound.name.c_str(), c.name, e == 0 ? "R2" : "R3",
                            outSeconds / r.cpuSeconds, spectrumDistance(inSpectrum, outSpectrum, pitch),
                            transientContrast(r.output) - inContrast);
                if (!sound.partials.empty()) {
                    double worst = 0;
                    for (double note : kChordNotes) {
                        const double cents = 1200 * std::log2(peakNear(outSpectrum, note * pitch) / (note * pitch));
                        worst = std::abs(cents) > std::abs(worst) ? cents : worst;
                    }
                    std::printf(" %10.2f %10.1f", worst, offPartialLevel(outSpectrum, sound.partials, pitch));
                }
                std::printf("\n");
                std::fflush(stdout);
            }
        }
    }
    std::printf("\noverall on one core: R2 %.1f x real time, R3 %.1f x real time (stereo 44.1 kHz output)\n",
                totalAudio[0] / totalCpu[0], totalAudio[1] / totalCpu[1]);
    std::printf("memory per open stretcher: R2 %.1f MiB, R3 %.1f MiB\n", mibPerStretcher(StretchEngine::Faster),
                mibPerStretcher(StretchEngine::Finer));
    return 0;
}
