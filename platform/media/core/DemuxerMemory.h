// SPDX-License-Identifier: GPL-3.0-or-later
// The demuxer each file was last opened with, so that opening it again (the mix after the probe,
// playback after the mix) skips FFmpeg's format probe, which reads the file's first kilobytes and
// asks every demuxer about them. A file is known by its device, inode, size and modification
// time: a file changed or replaced since is probed afresh. Safe on any thread.
#pragma once

extern "C" {
struct AVInputFormat;
}

namespace sonarel::media::core {

// Null when the open file `fd` has not been opened as media before, unchanged since.
const AVInputFormat* rememberedDemuxer(int fd);
// Notes that the open file `fd` was opened with `demuxer`.
void rememberDemuxer(int fd, const AVInputFormat* demuxer);

}  // namespace sonarel::media::core
