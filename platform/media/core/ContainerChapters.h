// SPDX-License-Identifier: GPL-3.0-or-later
// Chapters into an FFmpeg output before its header is written, each container in its own way:
// MP4 gets the muxer's chapter track and Nero chapter list; FLAC, Ogg Vorbis and Opus get
// CHAPTERnnn and CHAPTERnnnNAME comments, which FFmpeg 5.1's FLAC and Vorbis muxers would not
// write from the chapters themselves. MP3's go into its own ID3 tag (ContainerTags). Nothing is
// changed without chapters.
#pragma once

#include "platform/media/core/OutputChapters.h"

struct AVFormatContext;

namespace sonarel::media::core {

// `rate`: the rate of the chapters' frames. 0, or an FFmpeg error code.
int addContainerChapters(AVFormatContext& output, const OutputChapters& chapters, int rate);

// "HH:MM:SS.mmm" of a frame, as a CHAPTERnnn comment holds it (rounded to the millisecond).
std::string vorbisChapterTime(std::int64_t frame, int rate);

}  // namespace sonarel::media::core
