// SPDX-License-Identifier: GPL-3.0-or-later
// Progress for programs rather than people (--progress=json): one JSON object per line on a
// stream, so that a script can read each line as it comes. Lines are written whole and flushed.
//
//   {"type":"progress","frames":N,"total":N,"elapsed":S,"remaining":S}
//   {"type":"message","caption":"...","text":"..."}
//   {"type":"summary","outcome":"completed","output":"...","frames":N,"clipped_samples":N,
//    "peak":X,"peak_dbfs":X,"skipped_entries":[N,...],
//    "loudness":{"integrated_lufs":X,"true_peak_dbtp":X,"range_lu":X}}
//
// "remaining" is an estimate from the pace so far (null until some frames are done); entries
// are counted from 1 as in the list; levels that are minus infinity (silence) are null.
#pragma once

#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <cstdio>

#include "render/MixRunControl.h"

namespace sonarel {

class JsonProgress {
public:
    explicit JsonProgress(std::FILE* out) : out_(out) {}

    // Writes a progress line when more frames are done than in the last one.
    void update(std::int64_t framesDone, std::int64_t totalFrames, double elapsedSeconds);
    void message(const QString& caption, const QString& text);
    void summary(MixOutcome outcome, const QString& outputFile, const MixSummary& mix,
                 const media::LoudnessFigures& loudness);

private:
    void write(const QJsonObject& object);
    std::FILE* out_;
    std::int64_t lastFrames_ = -1;
};

}  // namespace sonarel
