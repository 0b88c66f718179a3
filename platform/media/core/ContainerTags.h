// SPDX-License-Identifier: GPL-3.0-or-later
// A mix's tags and cover (platform/media/core/OutputTags.h) in an encoded container, each its
// own way: MP3 an ID3v2.3 tag (text frames, COMM, APIC, and the chapters as CHAP frames under a
// CTOC) written ahead of FFmpeg's header, so that the comment is a real COMM frame; FLAC and MP4
// FFmpeg's metadata with the picture as an attached-picture stream (FLAC's PICTURE block, MP4's
// covr); Ogg Vorbis and Opus Vorbis comments with the picture as a METADATA_BLOCK_PICTURE comment.
// Without tags or chapters nothing is touched, so the file is exactly what it was before.
#pragma once

#include <string>
#include <vector>

#include "platform/media/core/OutputEncoding.h"

struct AVDictionary;
struct AVFormatContext;

namespace sonarel::media::core {

class ContainerTags {
public:
    // `chapters` at `rate` go into MP3's own tag: an MP3 file with tags or chapters gets this tag
    // in place of FFmpeg's.
    ContainerTags(OutputContainer container, const OutputTags& tags, const OutputChapters& chapters = {}, int rate = 0)
        : container_(container), tags_(tags), chapters_(chapters), rate_(rate)
    {
    }

    // After the output is opened, before the header: the metadata, the picture's stream, and the
    // muxer's `options`; MP3's own tag is written here. An FFmpeg error code, or 0.
    int beforeHeader(AVFormatContext& out, AVDictionary** options);
    // After the header: the picture itself. An FFmpeg error code, or 0.
    int afterHeader(AVFormatContext& out);

private:
    OutputContainer container_;
    const OutputTags& tags_;
    const OutputChapters& chapters_;
    int rate_ = 0;
    int pictureStream_ = -1;
};

// The names of what `container` cannot keep of `tags` (a WAV file: "cover"), for a warning.
std::vector<std::string> tagsNotKept(OutputContainer container, const OutputTags& tags);

// The ID3v2.3 tag an MP3 file of `tags` begins with; `chapters` (at `rate` frames a second) as CHAP
// frames under a top-level, ordered CTOC, as FFmpeg's own writer gives them.
std::vector<std::uint8_t> id3v23Tag(const OutputTags& tags, const OutputChapters& chapters = {}, int rate = 0);

// FLAC's PICTURE block body (type front cover) of the cover: what Ogg files carry in base64.
std::vector<std::uint8_t> flacPictureBlock(const OutputTags& tags);

}  // namespace sonarel::media::core
