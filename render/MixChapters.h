// SPDX-License-Identifier: GPL-3.0-or-later
// The chapters of a mix of the list: each entry with a chapter title marks one at its start on the
// output's time line, exact to the frame at the output rate, and model/ChapterPlan decides which
// are kept. A muted or unmixable entry still marks its chapter (the chapter is a place in the
// mix, not a sound), but the mix's end is that of the mixed entries alone.
#pragma once

#include <QString>
#include <vector>

#include "model/ChapterPlan.h"
#include "model/MixItem.h"
#include "platform/media/core/OutputChapters.h"
#include "platform/media/core/OutputEncoding.h"

namespace sonarel {

// `usable` marks the entries the mix takes (every entry when empty); `rate` is the rate the output
// is written at.
ChapterPlan mixChapters(const MixItemStore& store, const std::vector<bool>& usable, int rate);

// The kept chapters as the output carries them.
media::core::OutputChapters outputChaptersOf(const ChapterPlan& plan);

// Why an output of `container` cannot hold the chapters kept (an MP3 file holds at most 255);
// empty when it can. The mix is refused then, rather than losing chapters.
QString chapterCountProblem(const ChapterPlan& plan, media::core::OutputContainer container);

// What a mix tells about its chapters before it starts: those left out and why, and that a WAV
// output holds none. Empty when there is nothing to tell.
QString chapterWarningText(const ChapterPlan& plan, int rate, bool wavOutput);

}  // namespace sonarel
