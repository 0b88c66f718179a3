// SPDX-License-Identifier: GPL-3.0-or-later
// A nameless file of float samples beside the output: a normalized mix is mixed once into it while
// its loudness is measured, then read back with the gain that the measure gives. The file has no
// name from the start (or loses it at once), so nothing is left behind whatever happens. Opened on
// the owner's thread, then used on the job's only.
#pragma once

#include <cstddef>
#include <string>

#include "platform/media/Status.h"

namespace sonarel::media::core {

class TemporarySamples {
public:
    TemporarySamples() = default;
    ~TemporarySamples();
    TemporarySamples(const TemporarySamples&) = delete;
    TemporarySamples& operator=(const TemporarySamples&) = delete;

    // In `folder`, or in the system's temporary folder when that cannot hold one.
    Status open(const std::string& folder);
    Status append(const float* samples, std::size_t count);
    Status rewind();
    // Exactly `count` samples, or a failure.
    Status read(float* samples, std::size_t count);
    // The folder it lies in, once open.
    const std::string& folder() const { return folder_; }

private:
    int fd_ = -1;
    std::string folder_;
};

}  // namespace sonarel::media::core
