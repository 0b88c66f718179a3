// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/MediaProbe.h"

#include <utility>

#include "platform/FileChecks.h"
#include "platform/media/FreedMemory.h"

namespace sonarel {

REFERENCE_TIME MeasureAudioDuration(media::MediaLibrary& library, const QString& path)
{
    std::shared_ptr<media::FilterGraph> graph;
    if (media::failed(library.createFilterGraph(graph)))
        return 0;
    if (media::failed(graph->renderFile(path.toStdU16String())))
        return -1;
    std::shared_ptr<media::MediaSeeking> seeking;
    if (media::failed(graph->queryMediaSeeking(seeking)))
        return -1;
    media::REFERENCE_TIME stop = 0;
    if (media::failed(seeking->getStopPosition(stop)))
        return -1;
    return stop;
}

AppendResult appendMeasured(MixItemStore& store, media::MediaLibrary& library, MixItem entry)
{
    // A missing file is marked in its row and named before a mix; opening it would only fail.
    const QString path = entry.filePathText();
    entry.duration = fileIdentity(path) ? MeasureAudioDuration(library, path) : -1;
    // A list of a thousand files is opened one after the other: without this the freed memory of
    // each opening piles up in the heap until the list holds more than twice what it needs.
    static int sinceReturn = 0;
    if (++sinceReturn == 16) {
        media::returnFreedMemory();
        sinceReturn = 0;
    }
    return store.append(std::move(entry));
}

void measureAhead(media::MediaLibrary& library, const std::vector<MixItem>& entries, std::size_t from,
                  std::size_t count)
{
    std::vector<std::u16string> paths;
    for (std::size_t i = from; i < entries.size() && i - from < count; ++i)
        paths.push_back(entries[i].filePathText().toStdU16String());
    library.measureAhead(paths);
}

}  // namespace sonarel
