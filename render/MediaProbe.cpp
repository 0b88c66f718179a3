#include "render/MediaProbe.h"

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
    REFERENCE_TIME stop = 0;
    if (media::failed(seeking->getStopPosition(stop)))
        return -1;
    return stop;
}

}  // namespace sonarel
