// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/EntryScan.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "platform/media/core/Files.h"
#include "platform/media/core/LoudnessMeter.h"
#include "platform/media/core/PlayingSource.h"
#include "platform/media/core/RenderCore.h"
#include "platform/media/core/SourceStream.h"

namespace sonarel::media::core {

namespace {

constexpr std::int64_t kBlockFrames = 8192;

bool stopped(const std::atomic<bool>* stop)
{
    return stop && stop->load();
}

std::int64_t framesAt(REFERENCE_TIME t, int rate)
{
    std::int64_t frame = 0;
    return frameAt(t, rate, frame) ? frame : 0;
}

REFERENCE_TIME timeOfFrame(std::int64_t frame, int rate)
{
    return static_cast<REFERENCE_TIME>(std::llround(static_cast<double>(frame) *
                                                    static_cast<double>(kReferenceUnitsPerSecond) / rate));
}

}  // namespace

// The entry goes through the very source and sum the mix uses; only its place, its volume and its
// level shaping are its own here.
Status measurePlayedLoudness(const SourceEntry& entry, int rate, int channels, const std::atomic<bool>* stop,
                             LoudnessFigures& figures, std::string& detail)
{
    SourceEntry alone = entry;
    alone.timelineStart = 0;
    alone.timelineStop = entry.timelineStop - entry.timelineStart;
    alone.volume = 1.0;
    alone.shaping.fadeIn = 0;
    alone.shaping.fadeOut = 0;
    alone.shaping.cutRampIn = 0;
    alone.shaping.cutRampOut = 0;
    std::int64_t start = 0;
    std::int64_t frames = 0;
    try {
        const bool plays = placement(alone, rate, start, frames) && frames > 0;
        LoudnessMeter meter(channels, rate, frames);
        if (!plays) {
            figures = meter.figures();
            return kOk;
        }
        PlayingSource source(alone, 0, start, frames);
        const PlayingSource* sources[] = {&source};
        std::vector<float> mix(static_cast<std::size_t>(kBlockFrames) * static_cast<std::size_t>(channels));
        BlockRequest block;
        block.channels = channels;
        block.rate = rate;
        block.stop = stop;
        const std::int64_t end = start + frames;
        for (std::int64_t at = 0; at < end; at += block.frames) {
            block.start = at;
            block.frames = std::min(kBlockFrames, end - at);
            source.fill(block);
            if (stopped(stop))
                return kErrAbort;
            if (const Status s = source.failure().status; failed(s)) {
                detail = readFailureDetail(source);
                return s;
            }
            sumParts(sources, 0, block.frames, channels, mix.data());
            meter.add(mix.data(), static_cast<std::size_t>(block.frames));
        }
        figures = meter.figures();
    } catch (const std::bad_alloc&) {
        detail = "Measuring " + toUtf8(entry.fileName()) + " ran out of memory.";
        return kErrOutOfMemory;
    }
    return kOk;
}

Status findSound(const std::string& path, REFERENCE_TIME from, REFERENCE_TIME to, float threshold,
                 const std::atomic<bool>* stop, SoundSpan& span, std::string& detail)
{
    span = SoundSpan{};
    const auto failure = [&](const SourceStream& stream, Status s) {
        if (s != kErrAbort)
            detail = "Could not read the source file " + path + ": " + errorText(s) +
                     stream.lastFailure().ffmpegSuffix();
        return s;
    };
    try {
        // Read at the file's own rate, so that no resampler smears the edges of its sound.
        StreamSettings settings;
        settings.stop = stop;
        int rate = 0;
        {
            SourceStream probe;
            if (const Status s = probe.open(path, settings); failed(s))
                return failure(probe, s);
            rate = std::clamp(probe.sourceRate(), 8000, 384000);
        }
        settings.outputRate = rate;
        settings.skipFrames = framesAt(std::max<REFERENCE_TIME>(from, 0), rate);
        const std::int64_t last = to == kToFileEnd ? std::numeric_limits<std::int64_t>::max() : framesAt(to, rate);
        SourceStream stream;
        if (const Status s = stream.open(path, settings); failed(s))
            return failure(stream, s);
        const int channels = stream.channels();
        std::vector<float> samples(static_cast<std::size_t>(kBlockFrames) * static_cast<std::size_t>(channels));
        std::int64_t position = settings.skipFrames;
        std::int64_t firstFrame = -1;
        std::int64_t lastFrame = -1;
        while (position < last) {
            const std::int64_t wanted = std::min(kBlockFrames, last - position);
            std::int64_t got = 0;
            if (const Status s = stream.read(samples.data(), wanted, got); failed(s))
                return failure(stream, s);
            if (stopped(stop))
                return kErrAbort;
            for (std::int64_t f = 0; f < got; ++f) {
                const float* frame = samples.data() + f * channels;
                if (std::any_of(frame, frame + channels, [&](float v) { return std::fabs(v) > threshold; })) {
                    if (firstFrame < 0)
                        firstFrame = position + f;
                    lastFrame = position + f;
                }
            }
            position += got;
            if (got < wanted)
                break;
        }
        if (firstFrame >= 0) {
            span.found = true;
            span.first = timeOfFrame(firstFrame, rate);
            span.end = timeOfFrame(lastFrame + 1, rate);
        }
    } catch (const std::bad_alloc&) {
        detail = "Reading " + path + " ran out of memory.";
        return kErrOutOfMemory;
    }
    return kOk;
}

}  // namespace sonarel::media::core
