// SPDX-License-Identifier: GPL-3.0-or-later
// Measures a media file's length before it becomes a mix entry. Shows no message.
#pragma once

#include <QString>
#include <cstddef>
#include <vector>

#include "model/MixItem.h"
#include "platform/media/services/MediaLibrary.h"

namespace sonarel {

// The length in 100-ns units; -1 when the file cannot be opened or has no length; 0 when the
// engine cannot make a graph. Blocks while the file is opened.
REFERENCE_TIME MeasureAudioDuration(media::MediaLibrary& library, const QString& path);

// Appends `entry` with its file's measured length: how entries read from a list file or the
// command line enter the list. A file that does not exist is not opened; its length is -1.
AppendResult appendMeasured(MixItemStore& store, media::MediaLibrary& library, MixItem entry);

// Measures the files of entries [from, from + count) ahead, several at once, so that
// appendMeasured() then finds their lengths known. Blocks until they are measured.
void measureAhead(media::MediaLibrary& library, const std::vector<MixItem>& entries, std::size_t from,
                  std::size_t count);

}  // namespace sonarel
