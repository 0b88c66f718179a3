// SPDX-License-Identifier: GPL-3.0-or-later
// A mix's chapters as a file beside it, of the kind its extension names: a cue sheet (.cue), a
// label file as Audacity reads it (.txt), WebVTT (.vtt) or the podcast namespace's chapters JSON
// (.json). Times come from the chapters' frames at the output rate.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "model/ChapterPlan.h"

namespace sonarel {

enum class ChapterFileKind { CueSheet, Labels, WebVtt, PodcastJson };

// By the extension of `path`, any case; none for another one.
std::optional<ChapterFileKind> chapterFileKindOf(const QString& path);
// ".cue, .txt, .vtt or .json", for messages.
QString chapterFileExtensionsText();

// The file's text. `rate`: the rate of the chapters' frames; `audioFile`: the name the cue sheet's
// FILE line gives the mix (the file name alone, as the sheet lies beside it).
std::string chapterFileText(ChapterFileKind kind, const std::vector<Chapter>& chapters, int rate,
                            const std::string& audioFile);

// Why `path` cannot take the chapters of a mix into `outputFile`: its extension is none of the
// four, or it names the mix itself. Empty when it can.
QString chapterFileProblem(const QString& path, const QString& outputFile);

// Writes the text to `path` atomically (a temporary beside it, renamed over it); empty on
// success, otherwise why not.
[[nodiscard]] QString writeChapterFile(const QString& path, const std::string& text);

}  // namespace sonarel
