// SPDX-License-Identifier: GPL-3.0-or-later
// What the open that measures a file's length also learns of its first sound: enough to tell,
// later and without the file, whether it can be mixed at a given output rate.
#pragma once

#include <string>

#include "platform/media/Status.h"

namespace sonarel::media {

struct FirstSound {
    // Whether the open got as far as an answer (not when memory ran out or reading was stopped).
    bool known = false;
    // What stopped the file before its first sound (opening it, reading it), and FFmpeg's code.
    Status status = kOk;
    int avError = 0;
    int sourceRate = 0;       // the decoder's rate, in Hz (0: not opened)
    bool monoSource = false;  // the decoder has one channel: the file is mixed as mono
    // The first decoded frame with samples: its sample format, rate and channel layout (FFmpeg's
    // description). Without one the file is silent, which a mix accepts.
    bool sounded = false;
    int sampleFormat = -1;
    int frameRate = 0;
    std::string layout;
};

}  // namespace sonarel::media
