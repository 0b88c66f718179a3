// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/ResamplerSetup.h"

#include <cmath>

extern "C" {
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "platform/media/core/SourceStream.h"

namespace sonarel::media::core {

namespace {

// The resampler multiplies its input rate by its phase count (up to 1024) in an int.
constexpr int kMaxResamplerRate = 1 << 19;

// The phase count (as a power of two) of a resampler that reduces the rate more than 16 times.
// Its filter is as many input samples long as the ratio is large, times the phase count: fewer
// phases beyond a ratio of 256 keep the filter bank at what 256 takes (about 2 MB) however far the
// ratio goes. The phases left are still finer than the output can tell apart, since each output
// sample spans the ratio's count of input samples.
int reducingPhaseShift(int inUnits, int outUnits)
{
    int shift = 6;
    for (std::int64_t limit = 256 * static_cast<std::int64_t>(outUnits); inUnits > limit && shift > 0; limit *= 2)
        --shift;
    return shift;
}

}  // namespace

bool resamplerUnits(std::int64_t in, std::int64_t out, double exact, int& inUnits, int& outUnits)
{
    av_reduce(&inUnits, &outUnits, in, out, kMaxResamplerRate);
    if (inUnits <= 0 || outUnits <= 0)
        return false;
    return rateRatioFits(exact) && std::abs(static_cast<double>(inUnits) / outUnits / exact - 1.0) < 1e-5;
}

Status openResampler(AVChannelLayout& layout, int format, int inUnits, AVChannelLayout& outLayout, int outUnits,
                     SwrPtr& made, int& avError)
{
    made.reset();
    SwrContext* raw = nullptr;
    if (const int r = swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_FLT, outUnits, &layout,
                                          static_cast<AVSampleFormat>(format), inUnits, 0, nullptr);
        r < 0 || !raw) {
        swr_free(&raw);
        avError = r < 0 ? r : AVERROR(ENOMEM);
        return statusFromAv(avError);
    }
    SwrPtr swr(raw);
    av_opt_set_double(raw, "rematrix_maxval", 1.0, 0);  // a downmix is scaled so it cannot clip
    if (inUnits > 16 * outUnits)
        av_opt_set_int(raw, "phase_shift", reducingPhaseShift(inUnits, outUnits), 0);
    if (const int r = swr_init(raw); r < 0) {
        avError = r;
        return r == AVERROR(ENOMEM) ? kErrOutOfMemory : kErrUnsupportedFormat;
    }
    made = std::move(swr);
    return kOk;
}

}  // namespace sonarel::media::core
