// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/EntryLevels.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <system_error>

#include "model/EntryLimits.h"
#include "platform/MessageText.h"
#include "render/EngineEntry.h"

namespace sonarel {

double matchedVolume(double measuredLufs, double targetLufs, bool& clamped)
{
    const double volume = std::pow(10.0, (targetLufs - measuredLufs) / 20.0);
    clamped = !(volume <= kMaxVolume);
    return clamped ? kMaxVolume : volume;
}

EntryProperties trimmedToSound(const MixItem& item, const media::core::SoundSpan& sound)
{
    EntryProperties trimmed = item.properties();
    const REFERENCE_TIME in = std::max<REFERENCE_TIME>(sound.first - kSilenceMargin, 0);
    if (in > item.inPoint)
        trimmed.inPoint = in;
    const REFERENCE_TIME out = sound.end + kSilenceMargin;
    if (out < playedStop(item))
        trimmed.outPoint = out;
    return trimmed;
}

namespace {

LevelScanResult matchEntry(const MixItem& item, const LevelScanRequest& request, const std::atomic<bool>* stop)
{
    LevelScanResult scanned;
    scanned.properties = item.properties();
    if (!outputLengthKnown(item)) {
        scanned.result = LevelResult::Unreadable;
        scanned.detail = "its length could not be measured";
        return scanned;
    }
    const TimelineTimes times = timelineTimesOf(item);
    if (times.stop - times.start < kShortestMeasuredPart) {
        scanned.result = LevelResult::TooShort;
        return scanned;
    }
    media::LoudnessFigures figures;
    const media::Status status = media::core::measurePlayedLoudness(sourceEntryOf(item, 0), request.rate,
                                                                    request.channels, stop, figures, scanned.detail);
    if (media::failed(status)) {
        scanned.result = LevelResult::Unreadable;
        return scanned;
    }
    if (!figures.measured || !std::isfinite(figures.integratedLufs)) {
        scanned.result = LevelResult::Silent;
        return scanned;
    }
    scanned.measuredLufs = figures.integratedLufs;
    bool clamped = false;
    scanned.properties.volume = matchedVolume(figures.integratedLufs, request.target, clamped);
    scanned.result = clamped                                    ? LevelResult::Clamped
                     : scanned.properties.volume == item.volume ? LevelResult::Unchanged
                                                                : LevelResult::Changed;
    return scanned;
}

LevelScanResult trimEntry(const MixItem& item, const LevelScanRequest& request, const std::atomic<bool>* stop)
{
    LevelScanResult scanned;
    scanned.properties = item.properties();
    if (item.duration <= 0) {
        scanned.result = LevelResult::Unreadable;
        scanned.detail = "its length could not be measured";
        return scanned;
    }
    media::core::SoundSpan sound;
    const REFERENCE_TIME to = item.outPoint == kToSourceEnd ? media::core::kToFileEnd : playedStop(item);
    const auto threshold = static_cast<float>(std::pow(10.0, request.target / 20.0));
    const media::Status status = media::core::findSound(item.filePath, playedStart(item), to, threshold, stop, sound,
                                                        scanned.detail);
    if (media::failed(status)) {
        scanned.result = LevelResult::Unreadable;
        return scanned;
    }
    if (!sound.found) {
        scanned.result = LevelResult::Silent;
        return scanned;
    }
    scanned.properties = trimmedToSound(item, sound);
    scanned.result = sameProperties(scanned.properties, item.properties()) ? LevelResult::Unchanged
                                                                           : LevelResult::Changed;
    return scanned;
}

}  // namespace

LevelScanResult scanEntry(const MixItem& item, const LevelScanRequest& request, const std::atomic<bool>* stop)
{
    return request.task == LevelTask::MatchLoudness ? matchEntry(item, request, stop) : trimEntry(item, request, stop);
}

LevelScan::LevelScan(std::vector<MixItem> entries, LevelScanRequest request)
    : entries_(std::move(entries)), request_(request)
{
}

LevelScan::~LevelScan()
{
    stop();
}

bool LevelScan::start()
{
    if (thread_.joinable())
        return false;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void LevelScan::stop()
{
    stop_.store(true);
    if (thread_.joinable())
        thread_.join();
}

void LevelScan::run()
{
    results_.reserve(entries_.size());
    for (const MixItem& item : entries_) {
        if (stop_.load())
            break;
        results_.push_back(scanEntry(item, request_, &stop_));
        done_.fetch_add(1);
    }
    finished_.store(true);
}

QString entriesLeftText(const std::vector<MixItem>& entries, const std::vector<LevelScanResult>& results,
                        LevelTask task)
{
    const auto names = [&](LevelResult wanted, bool withDetail) {
        QStringList lines;
        for (std::size_t i = 0; i < results.size() && i < entries.size(); ++i) {
            if (results[i].result != wanted)
                continue;
            QString line = nameInMessage(entries[i].filePathText());
            if (withDetail && !results[i].detail.empty())
                line += QStringLiteral(" (%1)").arg(QString::fromStdString(results[i].detail));
            lines << line;
        }
        return lines;
    };
    QStringList parts;
    const auto add = [&](const QString& heading, const QStringList& lines) {
        if (!lines.isEmpty())
            parts << heading + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
    };
    add(QStringLiteral("Too short to measure (under 0.4 s), left as they are:"), names(LevelResult::TooShort, false));
    add(task == LevelTask::MatchLoudness ? QStringLiteral("Silent, left as they are:")
                                         : QStringLiteral("Silent throughout, left as they are:"),
        names(LevelResult::Silent, false));
    add(QStringLiteral("Could not be read, left as they are:"), names(LevelResult::Unreadable, true));
    add(QStringLiteral("Too quiet to reach the target: set to the loudest volume, %1:").arg(kMaxVolume),
        names(LevelResult::Clamped, false));
    return parts.join(QStringLiteral("\n\n"));
}

}  // namespace sonarel
