// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/arrangement/ArrangementLayout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

#include "model/ChapterPlan.h"
#include "render/EngineEntry.h"

namespace sonarel {

namespace {

constexpr double kSecondsPerUnit = 1e-7;
// Steps per second in which the picture follows the ducking: far finer than a pixel at any zoom
// a ramp can be seen at.
constexpr double kDuckRate = 10000.0;

std::int64_t duckStep(double seconds)
{
    return std::llround(seconds * kDuckRate);
}
constexpr double kMinTickSpacing = 80.0;  // pixels between labelled ticks
// Ruler steps in seconds: tenths up to hours.
constexpr std::array<double, 17> kSteps = {0.1, 0.2, 0.5, 1,   2,   5,    10,   15,  30,
                                           60,  120, 300, 600, 900, 1800, 3600, 7200};

}  // namespace

ArrangementLayout::ArrangementLayout() : metrics_(Metrics{}) {}

void ArrangementLayout::measure(ArrangementBar& bar, const MixItem& item) const
{
    bar.startSeconds = static_cast<double>(item.startTime) * kSecondsPerUnit;
    bar.speed = item.speed;
    bar.volume = item.volume;
    bar.muted = item.muted;
    bar.duck = item.duck;
    bar.chapter = item.chapter;
    bar.inSeconds = static_cast<double>(playedStart(item)) * kSecondsPerUnit;
    bar.cutStart = cutsAtStart(item);
    bar.cutEnd = item.duration > 0 && cutsAtEnd(item);
    bar.lengthSeconds = 0;
    bar.fadeInSeconds = bar.fadeOutSeconds = 0;
    bar.lengthKnown = speedIsUsable(item.speed) && item.duration > 0;
    if (!bar.lengthKnown)
        return;
    const TimelineTimes times = timelineTimesOf(item);
    bar.lengthSeconds = std::max<double>(0, static_cast<double>(times.stop - times.start)) * kSecondsPerUnit;
    // Fades longer than the entry together both shrink in proportion, as the mix does it.
    const double fadeIn = static_cast<double>(std::max<REFERENCE_TIME>(item.fadeIn, 0)) * kSecondsPerUnit;
    const double fadeOut = static_cast<double>(std::max<REFERENCE_TIME>(item.fadeOut, 0)) * kSecondsPerUnit;
    const double shrink = fadeIn + fadeOut > bar.lengthSeconds ? bar.lengthSeconds / (fadeIn + fadeOut) : 1.0;
    bar.fadeInSeconds = fadeIn * shrink;
    bar.fadeOutSeconds = fadeOut * shrink;
}

void ArrangementLayout::countTotal()
{
    // The mix lasts up to the latest end of an entry with a length (a missing file plays silence);
    // a muted entry is not mixed.
    totalSeconds_ = 0;
    for (const ArrangementBar& bar : bars_)
        if (bar.lengthKnown && !bar.muted)
            totalSeconds_ = std::max(totalSeconds_, bar.startSeconds + bar.lengthSeconds);
}

// The mix's rule on the bars' times, in steps far finer than a pixel: a muted entry still marks
// its chapter, and the mix ends where the total mark is.
void ArrangementLayout::findChapters()
{
    constexpr double kChapterRate = 48000.0;
    const auto step = [](double seconds) { return static_cast<std::int64_t>(std::llround(seconds * kChapterRate)); };
    std::vector<ChapterMark> marks;
    for (const ArrangementBar& bar : bars_)
        if (!bar.chapter.empty())
            marks.push_back({step(bar.startSeconds), bar.chapter, bar.index});
    chapters_.clear();
    if (marks.empty())
        return;
    for (const Chapter& chapter : planChapters(std::move(marks), step(totalSeconds_)).chapters) {
        const double seconds = static_cast<double>(chapter.start) / kChapterRate;
        chapters_.push_back({seconds, 0.0, QString::fromStdString(chapter.title)});
    }
}

void ArrangementLayout::setEntries(const MixItemStore& store)
{
    bars_.clear();
    bars_.reserve(static_cast<std::size_t>(store.audioCount()));
    std::vector<std::string> groups;  // in the order they first appear
    for (int i = 0; i < store.audioCount(); ++i) {
        ArrangementBar bar;
        bar.index = i;
        measure(bar, store.at(i));
        if (const std::string& group = store.at(i).group; !group.empty()) {
            const auto found = std::find(groups.begin(), groups.end(), group);
            bar.group = static_cast<int>(found - groups.begin());
            if (found == groups.end())
                groups.push_back(group);
        }
        bars_.push_back(bar);
    }
    ducking_ = store.ducking();
    countTotal();
    findChapters();
    findDucking();
    assignLanes();
    place();
}

// The same envelope the engine applies, over the bars' times: duck entries that are heard.
void ArrangementLayout::findDucking()
{
    std::vector<media::core::DuckEnvelope::Span> voices;
    for (const ArrangementBar& bar : bars_)
        if (bar.duck && !bar.muted && bar.lengthKnown && bar.lengthSeconds > 0)
            voices.push_back({duckStep(bar.startSeconds), duckStep(bar.startSeconds + bar.lengthSeconds)});
    duck_.reset();
    if (!voices.empty())
        duck_ = std::make_shared<const media::core::DuckEnvelope>(std::move(voices), ducking_.depthDb,
                                                                  duckStep(ducking_.attackSeconds),
                                                                  duckStep(ducking_.releaseSeconds));
    for (ArrangementBar& bar : bars_) {
        const std::int64_t first = duckStep(bar.startSeconds);
        bar.ducked = duck_ && !bar.duck && !bar.muted && bar.lengthKnown &&
                     !duck_->unity(first,
                                   std::max<std::int64_t>(duckStep(bar.startSeconds + bar.lengthSeconds) - first, 1));
    }
}

double ArrangementLayout::duckGainAt(double seconds) const
{
    return duck_ ? duck_->at(duckStep(seconds)) : 1.0;
}

std::vector<double> ArrangementLayout::duckCorners(double from, double to) const
{
    std::vector<double> corners{from};
    if (duck_) {
        for (const media::core::DuckEnvelope::Span& span : duck_->spans())
            for (std::int64_t step : {span.start - duck_->attack(), span.start, span.end, span.end + duck_->release()})
                if (const double at = static_cast<double>(step) / kDuckRate; at > from && at < to)
                    corners.push_back(at);
    }
    corners.push_back(to);
    std::sort(corners.begin(), corners.end());
    return corners;
}

void ArrangementLayout::assignLanes()
{
    // Lanes: entries in order of start, each in the lowest lane that is free by then. An entry of
    // no length still takes room, so two of them at one time go to different lanes; one of unknown
    // length takes the room its bar is drawn in.
    std::vector<int> order(bars_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return bars_[static_cast<std::size_t>(a)].startSeconds < bars_[static_cast<std::size_t>(b)].startSeconds;
    });
    std::vector<double> laneEnds;
    for (int i : order) {
        ArrangementBar& bar = bars_[static_cast<std::size_t>(i)];
        const double length = bar.lengthKnown ? bar.lengthSeconds : kUnknownLengthBarWidth / pixelsPerSecond_;
        const double end = bar.startSeconds + std::max(length, 1e-9 * std::max(1.0, bar.startSeconds));
        auto free = std::find_if(laneEnds.begin(), laneEnds.end(),
                                 [&](double laneEnd) { return laneEnd <= bar.startSeconds; });
        if (free == laneEnds.end())
            free = laneEnds.insert(laneEnds.end(), end);
        else
            *free = end;
        bar.lane = static_cast<int>(free - laneEnds.begin());
    }
    laneCount_ = static_cast<int>(laneEnds.size());
}

void ArrangementLayout::preview(int index, const MixItem& item)
{
    if (index < 0 || index >= static_cast<int>(bars_.size()))
        return;
    measure(bars_[static_cast<std::size_t>(index)], item);
    countTotal();
    findChapters();
    findDucking();
    place();
}

void ArrangementLayout::setPixelsPerSecond(double pixelsPerSecond)
{
    if (!std::isfinite(pixelsPerSecond))
        return;
    pixelsPerSecond_ = std::clamp(pixelsPerSecond, kMinPixelsPerSecond, kMaxPixelsPerSecond);
    if (std::any_of(bars_.begin(), bars_.end(), [](const ArrangementBar& bar) { return !bar.lengthKnown; }))
        assignLanes();
    place();
}

void ArrangementLayout::fitTo(int width)
{
    const double room = std::max(1, width - 2 * metrics_.margin);
    double last = totalSeconds_;
    for (const ArrangementBar& bar : bars_)
        last = std::max(last, bar.startSeconds + bar.lengthSeconds);
    setPixelsPerSecond(last > 0 ? room / last : 20.0);
}

double ArrangementLayout::xOf(double seconds) const
{
    return metrics_.margin + seconds * pixelsPerSecond_;
}

double ArrangementLayout::secondsAt(double x) const
{
    return (x - metrics_.margin) / pixelsPerSecond_;
}

QSize ArrangementLayout::contentSize() const
{
    double right = totalX();
    for (const ArrangementBar& bar : bars_)
        right = std::max(right, bar.body.right());
    const double width = std::min<double>(right + metrics_.margin, kMaxContentWidth);
    const int height = metrics_.rulerHeight + metrics_.margin +
                       std::max(1, laneCount_) * (metrics_.laneHeight + metrics_.laneGap) + metrics_.margin;
    return {static_cast<int>(std::ceil(width - 1e-6)), height};  // a fitted picture fits exactly
}

void ArrangementLayout::place()
{
    for (ArrangementBar& bar : bars_) {
        const double top = metrics_.rulerHeight + metrics_.margin + bar.lane * (metrics_.laneHeight + metrics_.laneGap);
        const double width = bar.lengthKnown ? std::max(kMinBarWidth, bar.lengthSeconds * pixelsPerSecond_)
                                             : kUnknownLengthBarWidth;
        bar.slot = QRectF(xOf(bar.startSeconds), top, width, metrics_.laneHeight);
        const double height = metrics_.laneHeight * heightShare(bar.volume);
        bar.body = QRectF(bar.slot.left(), top + (metrics_.laneHeight - height) / 2.0, width, height);
    }
    for (ArrangementChapter& chapter : chapters_)
        chapter.x = xOf(chapter.seconds);
}

double ArrangementLayout::heightShare(double volume)
{
    // Silent entries stay visible; full volume and louder fill the lane.
    if (!std::isfinite(volume) || volume <= 0)
        return 0.3;
    return 0.3 + 0.7 * std::min(volume, 1.0);
}

double ArrangementLayout::tickStep() const
{
    double step = kSteps.back();
    for (double candidate : kSteps) {
        if (candidate * pixelsPerSecond_ >= kMinTickSpacing) {
            step = candidate;
            break;
        }
    }
    // Past the largest step, whole multiples of it keep the labels apart.
    while (step * pixelsPerSecond_ < kMinTickSpacing)
        step *= 2;
    return step / 2;
}

std::vector<ArrangementTick> ArrangementLayout::ticks(double fromX, double toX) const
{
    std::vector<ArrangementTick> out;
    const double minor = tickStep();
    const double step = 2 * minor;
    const double first = std::max(0.0, std::floor(secondsAt(fromX) / minor));
    const double last = std::ceil(secondsAt(toX) / minor);
    for (double k = first; k <= last && out.size() < 10000; ++k) {
        const double seconds = k * minor;
        const bool major = std::fmod(k, 2.0) == 0.0;
        out.push_back({xOf(seconds), seconds, major, major ? timeText(seconds, step) : QString()});
    }
    return out;
}

QString ArrangementLayout::timeText(double seconds, double step)
{
    const bool tenths = step < 1.0;
    const long long scaled = std::llround(seconds * (tenths ? 10.0 : 1.0));
    const long long whole = tenths ? scaled / 10 : scaled;
    const long long h = whole / 3600;
    const long long m = (whole % 3600) / 60;
    const long long s = whole % 60;
    QString text = h > 0 ? QString::asprintf("%lld:%02lld:%02lld", h, m, s) : QString::asprintf("%lld:%02lld", m, s);
    if (tenths)
        text += QStringLiteral(".%1").arg(scaled % 10);
    return text;
}

int ArrangementLayout::barAt(QPointF point) const
{
    for (auto bar = bars_.rbegin(); bar != bars_.rend(); ++bar)
        if (bar->slot.contains(point))
            return bar->index;
    return -1;
}

}  // namespace sonarel
