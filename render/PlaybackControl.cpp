// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/PlaybackControl.h"

#include <algorithm>
#include <thread>

#include "platform/Desktop.h"
#include "render/EngineEntry.h"
#include "render/MixRunControl.h"

namespace sonarel {

namespace {

int workerCount(int workers)
{
    if (workers > 0)
        return workers;
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

media::WaveFormat waveFormatOf(const AudioFormat& format)
{
    media::WaveFormat wave;
    wave.channels = static_cast<std::uint16_t>(format.channels);
    wave.samplesPerSec = static_cast<std::uint32_t>(format.rate);
    wave.bitsPerSample = static_cast<std::uint16_t>(format.bits);
    wave.blockAlign = static_cast<std::uint16_t>(format.bytesPerFrame());
    wave.avgBytesPerSec = wave.samplesPerSec * wave.blockAlign;
    return wave;
}

}  // namespace

std::vector<media::core::SourceEntry> playbackEntries(const MixItemStore& store, const OutputSettings& settings,
                                                      const std::vector<int>* only)
{
    std::vector<media::core::SourceEntry> entries;
    const REFERENCE_TIME cutRamp = cutRampOf(settings);
    for (int i = 0; i < store.audioCount(); ++i) {
        if (only && std::find(only->begin(), only->end(), i) == only->end())
            continue;
        const MixItem& item = store.at(i);
        // A file that could not be measured is one the mix could not read either.
        if (!entryIsMixed(item, item.duration > 0))
            continue;
        entries.push_back(sourceEntryOf(item, cutRamp, {}, store.ducking()));
    }
    return entries;
}

REFERENCE_TIME playbackLength(const std::vector<media::core::SourceEntry>& entries)
{
    REFERENCE_TIME end = 0;
    for (const auto& entry : entries)
        end = std::max(end, entry.timelineStop);
    return end;
}

PlaybackControl::PlaybackControl(AudioOutput& output, Desktop& desktop, int workers)
    : output_(output), desktop_(desktop), feed_(workerCount(workers))
{
}

PlaybackControl::~PlaybackControl()
{
    stop();
}

bool PlaybackControl::play(std::vector<media::core::SourceEntry> entries, const PcmFormat& format, REFERENCE_TIME from)
{
    stop();
    endedInFailure_ = false;
    started_ = std::chrono::steady_clock::now();
    const AudioFormat wanted{static_cast<int>(format.samplesPerSec), format.channels, format.bitsPerSample};
    QString error;
    if (!output_.negotiate(wanted, format_, error)) {
        desktop_.showAppMessage(error);
        return false;
    }
    std::int64_t fromFrame = 0;
    if (!media::core::frameAt(std::max<REFERENCE_TIME>(from, 0), format_.rate, fromFrame))
        fromFrame = 0;
    feed_.start(std::move(entries), waveFormatOf(format_), fromFrame);
    if (!output_.start(
            format_, feed_, [this](const QString& deviceFailure) { drained(deviceFailure); }, error)) {
        feed_.stop();
        desktop_.showAppMessage(error);
        return false;
    }
    playing_ = true;
    paused_ = false;
    return true;
}

void PlaybackControl::change(std::vector<media::core::SourceEntry> entries)
{
    if (playing_)
        feed_.change(std::move(entries));
}

void PlaybackControl::pause()
{
    if (!playing_ || paused_)
        return;
    output_.pause();
    paused_ = true;
}

void PlaybackControl::resume()
{
    if (!playing_ || !paused_)
        return;
    output_.resume();
    paused_ = false;
}

void PlaybackControl::stop()
{
    if (!playing_)
        return;
    output_.stop();
    feed_.stop();
    playing_ = false;
    paused_ = false;
}

REFERENCE_TIME PlaybackControl::position() const
{
    const std::int64_t held = output_.bufferedBytes() / std::max(format_.bytesPerFrame(), 1);
    return timeOf(std::max<std::int64_t>(feed_.readPosition() - held, 0));
}

REFERENCE_TIME PlaybackControl::length() const
{
    const std::int64_t frames = feed_.totalFrames();
    return frames < 0 ? -1 : timeOf(frames);
}

std::chrono::steady_clock::duration PlaybackControl::startLatency() const
{
    const auto first = feed_.firstRead();
    return first == std::chrono::steady_clock::time_point{} ? std::chrono::steady_clock::duration{} : first - started_;
}

REFERENCE_TIME PlaybackControl::timeOf(std::int64_t frame) const
{
    return frame * kReferenceUnitsPerSecond / std::max(format_.rate, 1);
}

void PlaybackControl::drained(const QString& deviceFailure)
{
    playing_ = false;
    paused_ = false;
    const std::string failure = feed_.failure();
    feed_.stop();
    endedInFailure_ = !failure.empty() || !deviceFailure.isEmpty();
    if (!deviceFailure.isEmpty())
        desktop_.showAppMessage(deviceFailure);
    else if (!failure.empty())
        desktop_.showAppMessage(QStringLiteral("Playback stopped: %1").arg(QString::fromStdString(failure)));
    if (ended_)
        ended_();
}

}  // namespace sonarel
