// SPDX-License-Identifier: GPL-3.0-or-later
// What the library learned about files it has measured and checked, so that a list that places the
// same file many times (or under several names of one file) opens it once for each question. A
// file is known by its device, inode, size and change times: a file written since is a new file.
// Thread-safe: the threads that measure files ahead of a mix share one.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/media/FirstSound.h"
#include "platform/media/ReferenceTime.h"
#include "platform/media/Status.h"

namespace sonarel::media {

class ProbeMemo {
public:
    // What stat() says of `path`, or nothing when it cannot be asked.
    struct Identity {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t modifiedNs = 0;
        std::int64_t changedNs = 0;
        friend auto operator<=>(const Identity&, const Identity&) = default;
    };
    static std::optional<Identity> identify(const std::string& path);

    // A measured length (or the failure to measure it).
    std::optional<std::pair<Status, REFERENCE_TIME>> duration(const Identity& file) const;
    void rememberDuration(const Identity& file, Status status, REFERENCE_TIME duration);
    // The outcome of checking that the file can be mixed at `rate`, FFmpeg's code behind a
    // failure, and the file's rate.
    struct Check {
        Status status = kOk;
        int avError = 0;
        int sourceRate = 0;  // the file's own, in Hz (0: unknown)
    };
    std::optional<Check> check(const Identity& file, int rate) const;
    void rememberCheck(const Identity& file, int rate, Check outcome);
    // What measuring the length learned of the file's first sound.
    std::optional<FirstSound> firstSound(const Identity& file) const;
    void rememberFirstSound(const Identity& file, FirstSound learned);

private:
    struct Known {
        std::optional<std::pair<Status, REFERENCE_TIME>> duration;
        std::vector<std::pair<int, Check>> checks;  // by output rate
        std::optional<FirstSound> firstSound;
    };
    mutable std::mutex mutex_;
    std::map<Identity, Known> files_;
};

}  // namespace sonarel::media
