// SPDX-License-Identifier: GPL-3.0-or-later
// The sound device, as playback sees it: a stream of integer PCM frames handed over as the device
// makes room, on the thread that started it. The Qt Multimedia output is the one implementation;
// it needs that thread's event loop.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace sonarel {

struct AudioFormat {
    int rate = 44100;
    int channels = 2;
    int bits = 16;  // 8 (unsigned) or 16 (signed, little-endian)

    int bytesPerFrame() const { return channels * bits / 8; }
    friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

// Where the device's frames come from.
class AudioFeed {
public:
    virtual ~AudioFeed() = default;
    // Copies up to `size` bytes (whole frames) into `data` and returns how many; 0 when none is
    // ready yet.
    virtual std::size_t read(char* data, std::size_t size) = 0;
    // True once everything the feed will ever have was read.
    virtual bool atEnd() const = 0;
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // The format the default device will take: `wanted` when it can, else the nearest one it
    // takes. False, with `error` set, when there is no device to play on.
    virtual bool negotiate(const AudioFormat& wanted, AudioFormat& format, QString& error) = 0;
    // Opens the default device in `format` (one negotiate() gave) and starts handing it the
    // feed's frames. `ended` is called once: with an empty text when the feed is at its end and
    // the device has played all of it, or with a message when the device went away while playing
    // (the sound server ended). False, with `error` set, when the device cannot be opened.
    virtual bool start(const AudioFormat& format, AudioFeed& feed, std::function<void(const QString&)> ended,
                       QString& error) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Stops at once; what the device still holds is dropped. Safe when not started.
    virtual void stop() = 0;
    // Bytes handed to the device that it has not played yet.
    virtual std::int64_t bufferedBytes() const = 0;
};

// The default sound device through Qt Multimedia.
std::unique_ptr<AudioOutput> createDeviceOutput();

// For main(), after every object of the program is gone: when the sound device was used, ends the
// process with `status` without the library teardown that can crash at exit; otherwise returns.
void endProcessAfterSoundDevice(int status);

}  // namespace sonarel
