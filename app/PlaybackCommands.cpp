// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PlaybackCommands.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "render/MixRunControl.h"
#include "settings/WaveFormatChoice.h"

namespace sonarel {

namespace {

// The next mix's rate and channels (an Opus output mixes at 48000 Hz), in samples the device
// takes: 8 or 16 bits as the output has them; 24-bit and float outputs are heard as 16-bit.
PcmFormat playbackFormatOf(const OutputSettings& settings)
{
    const OutputChoice choice = outputChoiceOf(settings);
    const std::uint32_t rate = choice.problem.empty() ? choice.format.samplesPerSec : sampleRateOf(settings);
    const std::uint16_t channels = choice.problem.empty()
                                       ? choice.format.channels
                                       : waveFormatFromChoices(0, settings.channelsIndex, 0).channels;
    return pcmFormatOf(rate, channels, sampleBitsOf(settings) == 8 ? 8 : 16);
}

}  // namespace

namespace {

constexpr int kTickMs = 50;

QString minutesText(REFERENCE_TIME time)
{
    const auto tenths = std::max<std::int64_t>(time, 0) / (kReferenceUnitsPerSecond / 10);
    return QString::asprintf("%lld:%02lld.%lld", static_cast<long long>(tenths / 600),
                             static_cast<long long>(tenths / 10 % 60), static_cast<long long>(tenths % 10));
}

bool sameEntries(const std::vector<media::core::SourceEntry>& a, const std::vector<media::core::SourceEntry>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.fileName() == y.fileName() && x.timelineStart == y.timelineStart && x.timelineStop == y.timelineStop &&
               x.mediaStart == y.mediaStart && x.mediaStop == y.mediaStop && x.volume == y.volume &&
               x.shaping == y.shaping;
    });
}

}  // namespace

QString playbackStatusText(bool paused, REFERENCE_TIME position, REFERENCE_TIME length)
{
    return QStringLiteral("%1 %2 of %3")
        .arg(paused ? QStringLiteral("Paused") : QStringLiteral("Playing"), minutesText(position), minutesText(length));
}

WindowPlayback::WindowPlayback(const MixItemStore& store, const OutputSettings& settings, const MixRunControl& run,
                               Desktop& desktop, std::unique_ptr<AudioOutput> output, QObject* parent)
    : QObject(parent),
      store_(store),
      settings_(settings),
      run_(run),
      output_(std::move(output)),
      control_(*output_, desktop)
{
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &WindowPlayback::tick);
    control_.setEndedHandler([this] { ended(); });
}

WindowPlayback::~WindowPlayback()
{
    control_.stop();
}

void WindowPlayback::playCommand()
{
    if (control_.isPlaying()) {
        if (control_.isPaused())
            control_.resume();
        else
            control_.pause();
        tick();
        return;
    }
    start(std::nullopt);
}

void WindowPlayback::soloCommand(const std::vector<int>& entries)
{
    if (entries.empty())
        return;
    // From where the sound is (or was paused), not from where the last play began.
    if (control_.isPlaying())
        playHead_ = control_.position();
    start(entries);
}

void WindowPlayback::playEntries(const std::vector<int>& entries)
{
    if (entries.empty() || run_.isMixing())
        return;
    REFERENCE_TIME first = std::numeric_limits<REFERENCE_TIME>::max();
    for (const int index : entries)
        if (index >= 0 && index < store_.audioCount())
            first = std::min(first, store_.at(index).startTime);
    playHead_ = std::max<REFERENCE_TIME>(first, 0);
    start(entries);
}

void WindowPlayback::homeCommand()
{
    seek(0.0);
}

void WindowPlayback::seek(double seconds)
{
    playHead_ = nearestReferenceTime(std::max(seconds, 0.0));
    if (control_.isPlaying() && !control_.isPaused())
        start(solo_);
    else if (control_.isPaused())
        control_.stop();
    Q_EMIT playHeadMoved(playHeadSeconds());
    if (!control_.isPlaying())
        Q_EMIT statusChanged(QString());
}

void WindowPlayback::stop()
{
    if (!control_.isPlaying())
        return;
    playHead_ = control_.position();
    control_.stop();
    timer_.stop();
    Q_EMIT statusChanged(QString());
    Q_EMIT playHeadMoved(playHeadSeconds());
}

double WindowPlayback::playHeadSeconds() const
{
    const REFERENCE_TIME at = control_.isPlaying() ? control_.position() : playHead_;
    return toSeconds(at);
}

void WindowPlayback::start(std::optional<std::vector<int>> only)
{
    if (run_.isMixing())
        return;  // never both: the mix has the engine
    solo_ = std::move(only);
    playing_ = currentEntries();
    const REFERENCE_TIME length = playbackLength(playing_);
    if (playHead_ >= length)
        playHead_ = 0;  // at the end: again from the start
    if (!control_.play(playing_, playbackFormatOf(settings_), playHead_))
        return;
    timer_.start();
    tick();
}

void WindowPlayback::tick()
{
    if (!control_.isPlaying())
        return;
    const auto entries = currentEntries();
    if (!sameEntries(entries, playing_)) {
        playing_ = entries;
        control_.change(entries);
    }
    const REFERENCE_TIME length = control_.length();
    Q_EMIT playHeadMoved(playHeadSeconds());
    Q_EMIT statusChanged(playbackStatusText(control_.isPaused(), control_.position(),
                                            length >= 0 ? length : playbackLength(playing_)));
}

void WindowPlayback::ended()
{
    timer_.stop();
    // At the end of the mix the play-head stays there (Play then starts again from 0); after a
    // failure it stays where the sound stopped.
    if (control_.endedInFailure())
        playHead_ = control_.position();
    else if (control_.length() >= 0)
        playHead_ = control_.length();
    Q_EMIT playHeadMoved(playHeadSeconds());
    Q_EMIT statusChanged(QString());
}

std::vector<media::core::SourceEntry> WindowPlayback::currentEntries() const
{
    return playbackEntries(store_, settings_, solo_ ? &*solo_ : nullptr);
}

}  // namespace sonarel
