// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/PlayingSource.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "platform/media/core/Files.h"
#include "platform/media/core/NonFiniteSamples.h"

namespace sonarel::media::core {

namespace {
constexpr std::int64_t kSkipChunkFrames = 8192;

// Sizes a buffer to `n` samples, giving memory back when it was made for a much longer block: the
// blocks shorten as more sources sound at once, and a source that began in long blocks must not
// keep their buffers while hundreds of others sound with it.
void fitBuffer(std::vector<float>& buffer, std::size_t n)
{
    constexpr std::size_t kSmallBuffer = 4096;
    if (buffer.capacity() > kSmallBuffer && buffer.capacity() > 2 * n) {
        std::vector<float> fitted(n);
        buffer.swap(fitted);
        return;
    }
    buffer.resize(n);
}
}  // namespace

PlayingSource::PlayingSource(const SourceEntry& entry, std::size_t index, std::int64_t start, std::int64_t frames,
                             std::shared_ptr<const DuckEnvelope> duck)
    : entry_(entry),
      index_(index),
      path_(toUtf8(entry.fileName())),
      start_(start),
      frames_(frames),
      volume_(static_cast<float>(entry.volume)),
      duck_(std::move(duck))
{
}

void PlayingSource::fill(const BlockRequest& block)
{
    const auto began = std::chrono::steady_clock::now();
    fillBlock(block);
    cost_ = std::chrono::steady_clock::now() - began;
}

void PlayingSource::rampVolume(float previous, std::int64_t at, std::int64_t frames)
{
    rampFrom_ = previous;
    rampStart_ = at - start_;
    rampFrames_ = std::max<std::int64_t>(frames, 0);
}

float PlayingSource::volumeAt(std::int64_t frame) const
{
    if (!ramping(frame))
        return volume_;
    if (frame < rampStart_)
        return rampFrom_;
    const float done = static_cast<float>(frame - rampStart_) / static_cast<float>(rampFrames_);
    return rampFrom_ + (volume_ - rampFrom_) * done;
}

void PlayingSource::fillBlock(const BlockRequest& block)
{
    const std::int64_t from = std::max(block.start, start_);
    const std::int64_t to = std::min(block.start + block.frames, end());
    part_ = &parts_[block.slot % kPlayingParts];
    part_->offset = from - block.start;
    part_->count = std::max<std::int64_t>(to - from, 0);
    const std::int64_t count = part_->count;
    if (count == 0 || failed(failure_.status))
        return;
    try {
        if (!opened_)
            open(block);
        if (failed(failure_.status))
            return;
        // Skip what lies before this block (a start before 0, or a media start).
        if (const Status s = skipTo(from - start_); failed(s))
            return;
        const int sourceChannels = stream_ ? stream_->channels() : 1;
        fitBuffer(scratch_, static_cast<std::size_t>(count * sourceChannels));
        if (const Status s = readFrames(count, scratch_.data()); failed(s))
            return;
        applyGain(block.channels, position_);
        position_ += count;
    } catch (const std::bad_alloc&) {
        failure_ = Failure{kErrOutOfMemory, 0};
    }
}

void PlayingSource::open(const BlockRequest& block)
{
    opened_ = true;
    rate_ = block.rate;
    envelope_ = GainEnvelope(entry_.shaping, frames_, block.rate);
    const REFERENCE_TIME mediaLength = entry_.mediaStop - entry_.mediaStart;
    const REFERENCE_TIME timelineLength = entry_.timelineStop - entry_.timelineStart;
    if (!entry_.shaping.points.empty() && mediaLength > 0 && timelineLength > 0)
        points_ = PointsGain(entry_.shaping.points, entry_.mediaStart,
                             static_cast<double>(mediaLength) / static_cast<double>(timelineLength), block.rate);
    if (mediaLength <= 0 || timelineLength <= 0) {
        ended_ = true;  // nothing to play: silence for its span
        return;
    }
    StreamSettings settings;
    settings.outputRate = block.rate;
    settings.speedNum = mediaLength;
    settings.speedDen = timelineLength;
    settings.stop = block.stop;
    settings.faults = block.faults;
    const SourceShaping& shaping = entry_.shaping;
    if (shaping.keepPitch && (mediaLength != timelineLength || shaping.pitchSemitones != 0.0)) {
        openStretched(block, settings);
        return;
    }
    // A media start after 0 is left out in frames of the stream's output, which runs at the
    // speed: the stream starts with the frame that plays the media start.
    std::int64_t skip = 0;
    if (entry_.mediaStart > 0 && frameAt(entry_.mediaStart, block.rate, skip))
        settings.skipFrames = std::llround(static_cast<double>(skip) * static_cast<double>(timelineLength) /
                                           static_cast<double>(mediaLength));
    // A source first filled after its start (playback from a later point, a start before 0) lets
    // the stream seek over what lies before the block, rather than decode it.
    const std::int64_t ahead = std::clamp<std::int64_t>(block.start - start_, 0, frames_);
    settings.skipFrames += ahead;
    position_ = ahead;
    stream_ = std::make_unique<SourceStream>();
    if (const Status s = stream_->open(path_, settings); failed(s)) {
        failure_ = stream_->lastFailure();
        stream_.reset();
    }
}

// Time-stretching: the stream plays the trimmed span at speed 1 (only the rate converted), and the
// stretcher makes of it exactly the frames the source is placed over.
void PlayingSource::openStretched(const BlockRequest& block, StreamSettings settings)
{
    std::int64_t first = 0;
    std::int64_t last = 0;
    if (!frameAt(entry_.mediaStart, block.rate, first) || !frameAt(entry_.mediaStop, block.rate, last) ||
        last <= first) {
        ended_ = true;
        return;
    }
    settings.speedNum = 1;
    settings.speedDen = 1;
    settings.skipFrames = std::max<std::int64_t>(first, 0);
    trimmedSpan_ = last - settings.skipFrames;
    // Stretching from the first block: the span's share of the frames before it is left out, and
    // the stretcher makes the rest of the source's frames at the same ratio.
    std::int64_t ahead = 0;
    if (stretchFromFirstBlock_) {
        ahead = std::clamp<std::int64_t>(block.start - start_, 0, frames_ - 1);
        settings.skipFrames += std::llround(static_cast<double>(ahead) * static_cast<double>(trimmedSpan_) /
                                            static_cast<double>(frames_));
    }
    trimmedLeft_ = last - settings.skipFrames;
    if (trimmedLeft_ <= 0) {
        ended_ = true;
        return;
    }
    position_ = ahead;
    stream_ = std::make_unique<SourceStream>();
    if (const Status s = stream_->open(path_, settings); failed(s)) {
        failure_ = stream_->lastFailure();
        stream_.reset();
        return;
    }
    StretchSettings stretch;
    stretch.channels = stream_->channels();
    stretch.rate = block.rate;
    stretch.timeRatio = static_cast<double>(frames_) / static_cast<double>(trimmedSpan_);
    stretch.pitchScale = std::exp2(entry_.shaping.pitchSemitones / 12.0);
    stretch.outputFrames = frames_ - ahead;
    stretcher_ = std::make_unique<TimeStretcher>();
    if (const Status s = stretcher_->open(stretch, [this](float* out, std::int64_t frames,
                                                          std::int64_t& got) { return pullTrimmed(out, frames, got); });
        failed(s)) {
        failure_ = Failure{s, 0};
        stretcher_.reset();
        stream_.reset();
    }
}

Status PlayingSource::pullTrimmed(float* out, std::int64_t frames, std::int64_t& got)
{
    got = 0;
    const std::int64_t n = std::min(frames, trimmedLeft_);
    if (n <= 0)
        return kOk;
    if (const Status s = stream_->read(out, n, got); failed(s)) {
        failure_ = stream_->lastFailure();
        return s;
    }
    trimmedLeft_ -= got;
    if (got < n) {
        // The file ended before its measured end; the stretcher has not played what it took yet,
        // so the end is placed by the share of the span that is missing.
        const double share = static_cast<double>(trimmedLeft_) /
                             static_cast<double>(std::max<std::int64_t>(trimmedSpan_, 1));
        const auto missing = static_cast<std::int64_t>(share * static_cast<double>(frames_));
        trimmedLeft_ = 0;
        noteEnd(end() - missing, missing);
    }
    return kOk;
}

Status PlayingSource::readFrames(std::int64_t n, float* out)
{
    // n frames in the stream's channels; silence once the stream has ended.
    const auto channels = static_cast<std::size_t>(stream_ ? stream_->channels() : 1);
    std::int64_t got = 0;
    if (stretcher_ && !ended_) {
        if (const Status s = stretcher_->read(out, n, got); failed(s)) {
            if (!failed(failure_.status))
                failure_ = Failure{s, 0};
            return s;
        }
        if (got < n)
            ended_ = true;
    } else if (stream_ && !ended_) {
        if (const Status s = stream_->read(out, n, got); failed(s)) {
            failure_ = stream_->lastFailure();
            return s;
        }
        if (got < n) {
            ended_ = true;
            const std::int64_t played = position_ + got;
            noteEnd(start_ + played, frames_ - played);
        }
    }
    std::fill(out + static_cast<std::size_t>(got) * channels, out + static_cast<std::size_t>(n) * channels, 0.0f);
    return kOk;
}

// The stream ended before the entry did. A measured length that was a little long is the common
// cause and plays as silence; a file that lost bytes since it was opened, or holds much less sound
// than its header says (a download cut short), lost sound the user expects, and is named at the
// end of the mix.
void PlayingSource::noteEnd(std::int64_t end, std::int64_t missing)
{
    if (endedEarly_ || !stream_)
        return;
    shrank_ = stream_->fileShrank();
    if (!shrank_ && missing <= rate_)  // up to a second: a length measured a little long
        return;
    soundEnd_ = end;
    endedEarly_ = true;
}

Status PlayingSource::skipTo(std::int64_t wanted)
{
    const int channels = stream_ ? stream_->channels() : 1;
    while (position_ < wanted) {
        const std::int64_t n = std::min(wanted - position_, kSkipChunkFrames);
        scratch_.resize(static_cast<std::size_t>(n * channels));
        if (const Status s = readFrames(n, scratch_.data()); failed(s))
            return s;
        position_ += n;
    }
    return kOk;
}

// The envelope, the volume points and the volume in one pass, with the channels mapped to the
// output's. Most blocks lie where the envelope is 1 and there are no points, and take the plain loops.
void PlayingSource::applyGain(int outChannels, std::int64_t first)
{
    const int sourceChannels = stream_ ? stream_->channels() : 1;
    std::vector<float>& samples = part_->samples;
    fitBuffer(samples, static_cast<std::size_t>(part_->count * outChannels));
    const auto n = static_cast<std::size_t>(part_->count);
    const float* in = scratch_.data();
    float* out = samples.data();
    const float volume = volume_;
    if (envelope_.unity(first, part_->count) && !ramping(first) && !ducked(first, part_->count) && !points_.active()) {
        if (sourceChannels == outChannels) {
            for (std::size_t i = 0; i < n * static_cast<std::size_t>(outChannels); ++i)
                out[i] = in[i] * volume;
        } else if (outChannels == 2) {  // a mono source on both channels at full level
            for (std::size_t i = 0; i < n; ++i)
                out[2 * i] = out[2 * i + 1] = in[i] * volume;
        } else {  // stereo to mono: the mean
            for (std::size_t i = 0; i < n; ++i)
                out[i] = (in[2 * i] + in[2 * i + 1]) * 0.5f * volume;
        }
    } else {
        // Each frame's gain first, level by level, then one pass over the samples.
        gains_.resize(n);
        float* gain = gains_.data();
        const auto count = static_cast<std::int64_t>(n);
        if (envelope_.unity(first, count) && !ramping(first))
            std::fill(gain, gain + n, volume);
        else
            for (std::size_t i = 0; i < n; ++i)
                gain[i] = envelope_.at(first + static_cast<std::int64_t>(i)) *
                          volumeAt(first + static_cast<std::int64_t>(i));
        if (duck_)
            duck_->multiply(start_ + first, count, gain);
        if (points_.active())
            points_.multiply(first, count, gain);
        if (sourceChannels == outChannels && outChannels == 2) {
            for (std::size_t i = 0; i < n; ++i) {
                out[2 * i] = in[2 * i] * gain[i];
                out[2 * i + 1] = in[2 * i + 1] * gain[i];
            }
        } else if (sourceChannels == outChannels) {
            for (std::size_t i = 0; i < n; ++i)
                out[i] = in[i] * gain[i];
        } else if (outChannels == 2) {
            for (std::size_t i = 0; i < n; ++i)
                out[2 * i] = out[2 * i + 1] = in[i] * gain[i];
        } else {
            for (std::size_t i = 0; i < n; ++i)
                out[i] = (in[2 * i] + in[2 * i + 1]) * 0.5f * gain[i];
        }
    }
    // The decoder's frames are cleaned already; what is left here is a finite value made infinite
    // by the resampler or the volume. Cleared per source, so it never reaches the others' sum.
    if (!allFinite(out, samples.size()))
        nonFinite_ += clearNonFinite(out, samples.size());
}

}  // namespace sonarel::media::core
