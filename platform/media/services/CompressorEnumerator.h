// SPDX-License-Identifier: GPL-3.0-or-later
// The compressors the engine can offer, as the system device enumerator lists them elsewhere: the
// video and audio encoders of FFmpeg, by their long names.
//
// Two steps, each with its own injection point, because callers tell the person which one
// failed: creating the enumerator ("Create.SystemEnumerator", and kErrEngineUnavailable before
// MediaLibrary::initialize()), then asking it for one category ("SystemEnumerator.CreateClassEnumerator").
// Only names are handed out: nothing here opens an encoder. Call on one thread; the enumerator
// must not outlive the library that created it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/media/Status.h"

namespace sonarel::media {

class FaultInjector;
class MediaLibrary;

enum class CompressorCategory { Video, Audio };

class CompressorEnumerator {
public:
    explicit CompressorEnumerator(FaultInjector& faults) : faults_(faults) {}

    // The long names of the category's encoders in FFmpeg's order; an encoder without a long name
    // is left out. kOk with at least one name, kFalse (and no names) when the category is empty.
    [[nodiscard]] Status categoryNames(CompressorCategory category, std::vector<std::string>& names) const;

private:
    FaultInjector& faults_;
};

[[nodiscard]] Status createCompressorEnumerator(MediaLibrary& library, std::unique_ptr<CompressorEnumerator>& out);

}  // namespace sonarel::media
