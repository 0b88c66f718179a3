// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/services/CompressorEnumerator.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "platform/media/FaultPoints.h"
#include "platform/media/services/MediaLibrary.h"

namespace sonarel::media {

Status createCompressorEnumerator(MediaLibrary& library, std::unique_ptr<CompressorEnumerator>& out)
{
    out.reset();
    if (!library.isInitialized())
        return kErrEngineUnavailable;
    if (const Status s = library.faults().check(fault::kCreateSystemEnumerator); failed(s))
        return s;
    out = std::make_unique<CompressorEnumerator>(library.faults());
    return kOk;
}

Status CompressorEnumerator::categoryNames(CompressorCategory category, std::vector<std::string>& names) const
{
    names.clear();
    if (const Status s = faults_.check(fault::kCreateClassEnumerator); failed(s))
        return s;
    const AVMediaType wanted = category == CompressorCategory::Video ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
    void* position = nullptr;
    while (const AVCodec* codec = av_codec_iterate(&position)) {
        if (codec->type == wanted && av_codec_is_encoder(codec) && codec->long_name && *codec->long_name)
            names.emplace_back(codec->long_name);
    }
    return names.empty() ? kFalse : kOk;
}

}  // namespace sonarel::media
