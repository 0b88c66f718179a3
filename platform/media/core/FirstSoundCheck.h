// SPDX-License-Identifier: GPL-3.0-or-later
// The check that a file can be mixed, split in two: the part that needs the file (opening it,
// decoding its first sound) rides along with the packets the length probe reads anyway, and the
// part that depends on the output rate (setting up the converter) is answered from what it kept.
// Both follow what a source stream does when it opens a file and reads its first frame.
#pragma once

#include <optional>

#include "platform/media/FirstSound.h"
#include "platform/media/core/FfmpegHandles.h"

namespace sonarel::media::core {

struct MediaInput;

// Decodes the packets it is shown until the first frame with samples. `learned` may be null: it
// then does nothing.
class FirstSoundReader {
public:
    // `input` has opened with `opened` (its status).
    FirstSoundReader(MediaInput& input, Status opened, FirstSound* learned);

    bool done() const { return !learned_ || finished_; }
    // A packet read from the file (any stream).
    void packet(const AVPacket& packet);
    // The demuxer's answer that ended the reading (its end, or an error).
    void end(int readResult);
    // Reads on from where the input is until the first sound or the end.
    void readOn();

private:
    void receive(bool demuxEnded);
    void finish() { finished_ = true; }

    MediaInput& input_;
    FirstSound* learned_;
    FramePtr frame_;
    bool finished_ = false;
};

// What the check before a mix at `outputRate` finds for a file whose first sound is `learned`:
// the same status and FFmpeg code as opening the file and reading its first frame at that rate.
// Nothing when it cannot be told without the file.
std::optional<Failure> checkFromFirstSound(const FirstSound& learned, int outputRate);

}  // namespace sonarel::media::core
