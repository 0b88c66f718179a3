// Measures a media file's length before it becomes a mix entry. Shows no message.
#pragma once

#include <QString>

#include "model/ReferenceTime.h"
#include "platform/media/services/MediaLibrary.h"

namespace sonarel {

// The length in 100-ns units; -1 when the file cannot be opened or has no length; 0 when the
// engine cannot make a graph. Blocks while the file is opened.
REFERENCE_TIME MeasureAudioDuration(media::MediaLibrary& library, const QString& path);

}  // namespace sonarel
