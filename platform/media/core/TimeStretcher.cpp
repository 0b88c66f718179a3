// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/TimeStretcher.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <vector>

namespace sonarel::media::core {

namespace {

using RubberBand::RubberBandStretcher;

constexpr std::int64_t kInputBlock = 1024;   // frames per process() call
constexpr std::int64_t kOutputBlock = 4096;  // frames per retrieve() call
// After the input's end, silence pushes its tail out of the library's window; this much more than
// the library's own delay is plenty, and bounds the work when the input ends long before the output.
constexpr std::int64_t kFlushMargin = 8 * kInputBlock;

RubberBandStretcher::Options optionsFor(const StretchSettings& settings)
{
    // Real time: the input streams through block by block instead of being studied whole first.
    // One thread: the mix already runs one source per worker.
    RubberBandStretcher::Options options = RubberBandStretcher::OptionProcessRealTime |
                                           RubberBandStretcher::OptionThreadingNever |
                                           RubberBandStretcher::OptionPitchHighQuality |
                                           RubberBandStretcher::OptionChannelsTogether;
    // R2 keeps its default "crisp" transients: with "mixed" or "smooth" a tone that follows silence
    // comes out 15 dB too quiet (bench/README.md).
    options |= settings.engine == StretchEngine::Finer ? RubberBandStretcher::OptionEngineFiner
                                                       : RubberBandStretcher::OptionEngineFaster;
    return options;
}

bool valid(const StretchSettings& s)
{
    // Written so that NaN fails every comparison.
    const bool ratioFits = s.timeRatio >= kMinStretchTimeRatio && s.timeRatio <= kMaxStretchTimeRatio;
    const bool pitchFits = s.pitchScale >= kMinStretchPitchScale && s.pitchScale <= kMaxStretchPitchScale;
    const bool rateFits = s.rate >= 8000 && s.rate <= 192000;  // the rates the library is made for
    return (s.channels == 1 || s.channels == 2) && rateFits && ratioFits && pitchFits && s.outputFrames >= 0;
}

// The library's warnings (about extreme ratios) would otherwise go to the command line's error
// output; the outcome is judged by the output's length and content instead.
struct SilentLog : RubberBandStretcher::Logger {
    void log(const char*) override {}
    void log(const char*, double) override {}
    void log(const char*, double, double) override {}
};

}  // namespace

struct TimeStretcher::Impl {
    StretchSettings settings;
    FramePull pull;
    std::unique_ptr<RubberBandStretcher> stretcher;
    std::vector<float> interleaved;                   // one input block as pulled
    std::array<std::vector<float>, 2> inputChannels;  // the same block, one buffer per channel
    std::array<std::vector<float>, 2> outputChannels;
    std::int64_t startPadLeft = 0;  // silent frames still to feed before the input
    std::int64_t delayLeft = 0;     // output frames still to drop (the library's latency)
    std::int64_t flushLeft = 0;     // silent frames still to feed after the input's end
    std::int64_t produced = 0;
    bool inputEnded = false;
    Status failure = kOk;

    Status feed();
    void feedSilence(std::int64_t frames);
    Status retrieveInto(float* out, std::int64_t frames, std::int64_t& written);
};

TimeStretcher::TimeStretcher() = default;
TimeStretcher::~TimeStretcher() = default;

Status TimeStretcher::open(const StretchSettings& settings, FramePull pull)
{
    impl_.reset();
    if (!valid(settings) || !pull)
        return kErrInvalidArg;
    try {
        auto impl = std::make_unique<Impl>();
        impl->settings = settings;
        impl->pull = std::move(pull);
        impl->stretcher = std::make_unique<RubberBandStretcher>(static_cast<std::size_t>(settings.rate),
                                                                static_cast<std::size_t>(settings.channels),
                                                                std::make_shared<SilentLog>(), optionsFor(settings),
                                                                settings.timeRatio, settings.pitchScale);
        impl->stretcher->setMaxProcessSize(static_cast<std::size_t>(kInputBlock));
        impl->interleaved.resize(static_cast<std::size_t>(kInputBlock * settings.channels));
        for (int c = 0; c < settings.channels; ++c) {
            impl->inputChannels[c].resize(static_cast<std::size_t>(kInputBlock));
            impl->outputChannels[c].resize(static_cast<std::size_t>(kOutputBlock));
        }
        impl->startPadLeft = static_cast<std::int64_t>(impl->stretcher->getPreferredStartPad());
        impl->delayLeft = static_cast<std::int64_t>(impl->stretcher->getStartDelay());
        // The input frames behind the delayed output.
        const double behind = std::ceil(static_cast<double>(impl->delayLeft) / settings.timeRatio);
        impl->flushLeft = impl->startPadLeft + static_cast<std::int64_t>(behind) + kFlushMargin;
        impl_ = std::move(impl);
        return kOk;
    } catch (const std::bad_alloc&) {
        return kErrOutOfMemory;
    } catch (...) {
        return kErrFail;
    }
}

Status TimeStretcher::read(float* out, std::int64_t frames, std::int64_t& got)
{
    got = 0;
    if (!impl_)
        return kErrWrongState;
    if (frames < 0 || (frames > 0 && out == nullptr))
        return kErrInvalidArg;
    Impl& s = *impl_;
    if (failed(s.failure))
        return s.failure;
    const int channels = s.settings.channels;
    try {
        while (got < frames && s.produced < s.settings.outputFrames) {
            const std::int64_t want = std::min(frames - got, s.settings.outputFrames - s.produced);
            float* at = out + got * channels;
            std::int64_t n = 0;
            if (s.stretcher->available() > 0) {
                if (const Status status = s.retrieveInto(at, want, n); failed(status)) {
                    s.failure = status;
                    return status;
                }
            } else if (s.inputEnded && s.flushLeft <= 0) {
                // The input's sound has all come out: the rest is silence.
                std::fill(at, at + want * channels, 0.0f);
                n = want;
            } else if (const Status status = s.feed(); failed(status)) {
                s.failure = status;
                return status;
            }
            got += n;
            s.produced += n;
        }
        return kOk;
    } catch (const std::bad_alloc&) {
        s.failure = kErrOutOfMemory;
    } catch (...) {
        s.failure = kErrFail;
    }
    return s.failure;
}

// Gives the library one block: the start pad, then the input, then the silence that flushes it.
Status TimeStretcher::Impl::feed()
{
    if (startPadLeft > 0) {
        const std::int64_t n = std::min(startPadLeft, kInputBlock);
        feedSilence(n);
        startPadLeft -= n;
        return kOk;
    }
    if (inputEnded) {
        const std::int64_t n = std::min(flushLeft, kInputBlock);
        feedSilence(n);
        flushLeft -= n;
        return kOk;
    }
    std::int64_t got = 0;
    if (const Status status = pull(interleaved.data(), kInputBlock, got); failed(status))
        return status;
    if (got < 0 || got > kInputBlock)
        return kErrFail;
    inputEnded = got < kInputBlock;
    const int channels = settings.channels;
    for (int c = 0; c < channels; ++c) {
        float* to = inputChannels[c].data();
        for (std::int64_t i = 0; i < got; ++i)
            to[i] = interleaved[static_cast<std::size_t>(i * channels + c)];
    }
    const std::array<const float*, 2> planes{inputChannels[0].data(), inputChannels[1].data()};
    stretcher->process(planes.data(), static_cast<std::size_t>(got), false);
    return kOk;
}

void TimeStretcher::Impl::feedSilence(std::int64_t frames)
{
    for (int c = 0; c < settings.channels; ++c)
        std::fill_n(inputChannels[c].begin(), frames, 0.0f);
    const std::array<const float*, 2> planes{inputChannels[0].data(), inputChannels[1].data()};
    stretcher->process(planes.data(), static_cast<std::size_t>(frames), false);
}

// Takes up to `frames` of what the library has ready into `out`, dropping its start delay first.
Status TimeStretcher::Impl::retrieveInto(float* out, std::int64_t frames, std::int64_t& written)
{
    written = 0;
    const std::int64_t ready = stretcher->available();
    const std::int64_t want = std::min({ready, delayLeft > 0 ? delayLeft : frames, kOutputBlock});
    const std::array<float*, 2> planes{outputChannels[0].data(), outputChannels[1].data()};
    const auto n = static_cast<std::int64_t>(stretcher->retrieve(planes.data(), static_cast<std::size_t>(want)));
    if (n <= 0 || n > want)
        return kErrFail;  // the library holds back what it said it had: stop rather than spin
    if (delayLeft > 0) {
        delayLeft -= n;
        return kOk;
    }
    const int channels = settings.channels;
    for (int c = 0; c < channels; ++c) {
        const float* from = outputChannels[c].data();
        for (std::int64_t i = 0; i < n; ++i)
            out[i * channels + c] = from[i];
    }
    written = n;
    return kOk;
}

}  // namespace sonarel::media::core
