// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/ContainerChapters.h"

#include <cstdio>
#include <cstring>

#include "platform/media/core/FfmpegHandles.h"

namespace sonarel::media::core {

namespace {

bool writesVorbisComments(const AVFormatContext& output)
{
    const char* name = output.oformat ? output.oformat->name : "";
    return std::strcmp(name, "flac") == 0 || std::strcmp(name, "ogg") == 0 || std::strcmp(name, "opus") == 0 ||
           std::strcmp(name, "oga") == 0;
}

int addVorbisComments(AVFormatContext& output, const OutputChapters& chapters, int rate)
{
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        char key[32];
        std::snprintf(key, sizeof key, "CHAPTER%03zu", i);
        if (const int e = av_dict_set(&output.metadata, key, vorbisChapterTime(chapters[i].start, rate).c_str(), 0);
            e < 0)
            return e;
        std::snprintf(key, sizeof key, "CHAPTER%03zuNAME", i);
        if (const int e = av_dict_set(&output.metadata, key, chapters[i].title.c_str(), 0); e < 0)
            return e;
    }
    return 0;
}

// The context frees what is added here (avformat_free_context frees each chapter, its metadata and
// the array), so everything is allocated as FFmpeg allocates it.
int addFormatChapters(AVFormatContext& output, const OutputChapters& chapters, int rate)
{
    if (output.nb_chapters != 0 || chapters.size() > 0x7FFF)
        return AVERROR(EINVAL);
    output.chapters = static_cast<AVChapter**>(av_calloc(chapters.size(), sizeof(AVChapter*)));
    if (!output.chapters)
        return AVERROR(ENOMEM);
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (!chapter)
            return AVERROR(ENOMEM);
        output.chapters[output.nb_chapters++] = chapter;
        chapter->id = static_cast<std::int64_t>(i);
        chapter->time_base = AVRational{1, rate};
        chapter->start = chapters[i].start;
        chapter->end = chapters[i].end;
        if (const int e = av_dict_set(&chapter->metadata, "title", chapters[i].title.c_str(), 0); e < 0)
            return e;
    }
    return 0;
}

}  // namespace

std::string vorbisChapterTime(std::int64_t frame, int rate)
{
    const std::int64_t millis = av_rescale_rnd(frame, 1000, rate, AV_ROUND_NEAR_INF);
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", static_cast<long long>(millis / 3600000),
                  static_cast<long long>(millis / 60000 % 60), static_cast<long long>(millis / 1000 % 60),
                  static_cast<long long>(millis % 1000));
    return text;
}

int addContainerChapters(AVFormatContext& output, const OutputChapters& chapters, int rate)
{
    if (chapters.empty())
        return 0;
    if (rate <= 0)
        return AVERROR(EINVAL);
    // An MP3 file's chapters go into its own ID3 tag (ContainerTags).
    if (output.oformat && std::strcmp(output.oformat->name, "mp3") == 0)
        return 0;
    return writesVorbisComments(output) ? addVorbisComments(output, chapters, rate)
                                        : addFormatChapters(output, chapters, rate);
}

}  // namespace sonarel::media::core
