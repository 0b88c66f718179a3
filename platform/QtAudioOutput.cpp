// SPDX-License-Identifier: GPL-3.0-or-later
// The default sound device through Qt Multimedia's QAudioSink, in push mode: a short timer hands
// the device as many of the feed's frames as it has room for, so that the feed never waits on the
// device and the device never waits longer than one tick.
#include <unistd.h>
#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/AudioOutput.h"

namespace sonarel {

namespace {

// Set once Qt Multimedia has connected to the sound server (any use of QMediaDevices does).
std::atomic<bool> soundServerReached{false};

QAudioDevice defaultDevice()
{
    soundServerReached = true;
    return QMediaDevices::defaultAudioOutput();
}

// What the device holds ahead of what it plays: short, so a change made while playing is heard
// soon, and long enough to ride over a busy moment of the user-interface thread.
constexpr int kDeviceBufferMs = 120;
constexpr int kTickMs = 5;
// After the device's own buffer is empty, the sound server still plays what it took.
constexpr int kServerTailMs = 150;
// A device that holds sound and takes nothing more for this long plays no more: its sound server
// went away without the library saying so (it only prints a warning).
constexpr int kStalledMs = 3000;

QAudioFormat::SampleFormat sampleFormatOf(int bits)
{
    return bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16;
}

QAudioFormat qtFormatOf(const AudioFormat& format)
{
    QAudioFormat qt;
    qt.setSampleRate(format.rate);
    qt.setChannelCount(format.channels);
    qt.setSampleFormat(sampleFormatOf(format.bits));
    return qt;
}

const QString kNoDevice = QStringLiteral(
    "No sound output is available: no sound server or sound device was found. Mixing to a file works "
    "as before.");
const QString kOutputGone = QStringLiteral(
    "Playback stopped: the sound output went away (the sound server ended or the device was removed).");

class QtAudioOutput final : public AudioOutput {
public:
    QtAudioOutput()
    {
        timer_.setInterval(kTickMs);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { feedDevice(); });
    }
    ~QtAudioOutput() override { stop(); }

    bool negotiate(const AudioFormat& wanted, AudioFormat& format, QString& error) override
    {
        const QAudioDevice device = defaultDevice();
        if (device.isNull()) {
            error = kNoDevice;
            return false;
        }
        format = wanted;
        if (device.isFormatSupported(qtFormatOf(wanted)))
            return true;
        // The nearest the device takes: its own rate and up to two channels, 16 bits. The engine
        // renders the mix in that format itself.
        const QAudioFormat preferred = device.preferredFormat();
        format.bits = 16;
        if (!device.isFormatSupported(qtFormatOf(format))) {
            format.rate = preferred.sampleRate();
            format.channels = std::clamp(preferred.channelCount(), 1, 2);
            if (!device.isFormatSupported(qtFormatOf(format))) {
                error = kNoDevice;
                return false;
            }
        }
        return true;
    }

    bool start(const AudioFormat& format, AudioFeed& feed, std::function<void(const QString&)> ended,
               QString& error) override
    {
        stop();
        const QAudioDevice device = defaultDevice();
        if (device.isNull()) {
            error = kNoDevice;
            return false;
        }
        format_ = format;
        feed_ = &feed;
        ended_ = std::move(ended);
        sink_ = std::make_unique<QAudioSink>(device, qtFormatOf(format));
        sink_->setBufferSize(format.rate * format.bytesPerFrame() * kDeviceBufferMs / 1000);
        io_ = sink_->start();
        if (!io_ || sink_->error() == QAudio::OpenError) {
            sink_.reset();
            io_ = nullptr;
            error = kNoDevice;
            return false;
        }
        fedAll_ = false;
        pending_.clear();
        lastTaken_ = std::chrono::steady_clock::now();
        feedDevice();
        timer_.start();
        return true;
    }

    void pause() override
    {
        if (sink_)
            sink_->suspend();
        timer_.stop();
    }

    void resume() override
    {
        if (!sink_)
            return;
        sink_->resume();
        lastTaken_ = std::chrono::steady_clock::now();  // a pause is no stall
        timer_.start();
    }

    void stop() override
    {
        ++run_;
        timer_.stop();
        if (sink_)
            sink_->stop();
        sink_.reset();
        io_ = nullptr;
        feed_ = nullptr;
    }

    std::int64_t bufferedBytes() const override
    {
        if (!sink_)
            return 0;
        return std::max<std::int64_t>(sink_->bufferSize() - sink_->bytesFree(), 0);
    }

private:
    // Hands the device what it has room for: first what it refused last time, then the feed's.
    void feedDevice()
    {
        if (!sink_ || !feed_ || fedAll_)
            return;
        if (deviceGone()) {
            finish(kOutputGone);
            return;
        }
        const int frame = format_.bytesPerFrame();
        for (qint64 room = sink_->bytesFree() / frame * frame; room > 0;) {
            if (pending_.empty()) {
                pending_.resize(static_cast<std::size_t>(room));
                pending_.resize(feed_->read(pending_.data(), pending_.size()));
                if (pending_.empty())
                    break;
            }
            const qint64 written = io_->write(pending_.data(), static_cast<qint64>(pending_.size()));
            if (written <= 0)
                break;
            pending_.erase(pending_.begin(), pending_.begin() + written);
            room -= written;
            lastTaken_ = std::chrono::steady_clock::now();
        }
        if (pending_.empty() && feed_->atEnd()) {
            // What the device holds plays out, and the server's own buffer after it.
            fedAll_ = true;
            const auto bytesPerSecond = static_cast<std::int64_t>(format_.rate) * frame;
            const auto heldMs = static_cast<int>(bufferedBytes() * 1000 / std::max<std::int64_t>(bytesPerSecond, 1));
            QTimer::singleShot(heldMs + kServerTailMs, &timer_, [this, run = run_] {
                if (run == run_)  // not stopped meanwhile
                    finish();
            });
        }
    }

    // The library's own signs of a lost device, or a device that holds sound and plays none.
    bool deviceGone()
    {
        const QAudio::Error error = sink_->error();
        if (error == QAudio::FatalError || error == QAudio::OpenError || sink_->bytesFree() < 0)
            return true;
        const auto now = std::chrono::steady_clock::now();
        if (bufferedBytes() == 0)
            lastTaken_ = now;  // nothing to play: waiting on the feed, not on the device
        return now - lastTaken_ > std::chrono::milliseconds(kStalledMs);
    }

    void finish(const QString& failure = {})
    {
        std::function<void(const QString&)> ended = std::move(ended_);
        stop();
        if (ended)
            ended(failure);
    }

    AudioFormat format_;
    AudioFeed* feed_ = nullptr;
    std::function<void(const QString&)> ended_;
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;
    QTimer timer_;
    std::vector<char> pending_;  // taken from the feed, not yet taken by the device
    bool fedAll_ = false;
    std::chrono::steady_clock::time_point lastTaken_{};  // when the device last took frames
    std::uint64_t run_ = 0;                              // counts the stops, so a late timer knows its run has ended
};

}  // namespace

std::unique_ptr<AudioOutput> createDeviceOutput()
{
    return std::make_unique<QtAudioOutput>();
}

void endProcessAfterSoundDevice(int status)
{
    if (!soundServerReached)
        return;
    // Qt Multimedia's sound-server connection is a global whose teardown at exit races the
    // server's own event thread and can crash after everything was done. Everything of ours has
    // ended by now; only the library globals are left, and the system frees them.
    std::fflush(nullptr);
    ::_exit(status);
}

}  // namespace sonarel
