// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/JsonProgress.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace sonarel {

namespace {
// JSON has no infinity: a level of silence is null.
QJsonValue level(double value)
{
    return std::isfinite(value) ? QJsonValue(std::round(value * 100.0) / 100.0) : QJsonValue(QJsonValue::Null);
}

QString outcomeName(MixOutcome outcome)
{
    switch (outcome) {
    case MixOutcome::Completed: return QStringLiteral("completed");
    case MixOutcome::Stopped: return QStringLiteral("stopped");
    case MixOutcome::Failed: break;
    }
    return QStringLiteral("failed");
}
}  // namespace

void JsonProgress::write(const QJsonObject& object)
{
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    std::fprintf(out_, "%s\n", line.constData());
    std::fflush(out_);
}

void JsonProgress::update(std::int64_t framesDone, std::int64_t totalFrames, double elapsedSeconds)
{
    if (framesDone <= lastFrames_)
        return;
    lastFrames_ = framesDone;
    QJsonObject object{{QStringLiteral("type"), QStringLiteral("progress")},
                       {QStringLiteral("frames"), static_cast<qint64>(framesDone)},
                       {QStringLiteral("total"), static_cast<qint64>(totalFrames)},
                       {QStringLiteral("elapsed"), std::round(elapsedSeconds * 1000.0) / 1000.0}};
    if (framesDone > 0 && totalFrames >= framesDone)
        object.insert(QStringLiteral("remaining"),
                      std::round(elapsedSeconds * static_cast<double>(totalFrames - framesDone) /
                                 static_cast<double>(framesDone) * 1000.0) /
                          1000.0);
    else
        object.insert(QStringLiteral("remaining"), QJsonValue(QJsonValue::Null));
    write(object);
}

void JsonProgress::message(const QString& caption, const QString& text)
{
    write({{QStringLiteral("type"), QStringLiteral("message")},
           {QStringLiteral("caption"), caption},
           {QStringLiteral("text"), text}});
}

void JsonProgress::summary(MixOutcome outcome, const QString& outputFile, const MixSummary& mix,
                           const media::LoudnessFigures& loudness)
{
    QJsonArray skipped;
    for (const int index : mix.skippedEntries)
        skipped.append(index + 1);
    QJsonObject object{
        {QStringLiteral("type"), QStringLiteral("summary")},
        {QStringLiteral("outcome"), outcomeName(outcome)},
        {QStringLiteral("output"), outputFile},
        {QStringLiteral("frames"), static_cast<qint64>(mix.frames)},
        {QStringLiteral("clipped_samples"), static_cast<qint64>(mix.clippedSamples)},
        {QStringLiteral("peak"), std::round(mix.peakLevel * 1e6) / 1e6},
        {QStringLiteral("peak_dbfs"), level(mix.peakLevel > 0.0 ? 20.0 * std::log10(mix.peakLevel) : -INFINITY)},
        {QStringLiteral("skipped_entries"), skipped}};
    if (loudness.measured) {
        QJsonObject figures{{QStringLiteral("integrated_lufs"), level(loudness.integratedLufs)},
                            {QStringLiteral("true_peak_dbtp"), level(loudness.truePeakDbtp)},
                            {QStringLiteral("range_lu"), level(loudness.rangeLu)}};
        if (loudness.normalized)
            figures.insert(QStringLiteral("gain_db"), level(loudness.gainDb));
        if (loudness.limited) {
            figures.insert(QStringLiteral("limited_peaks"), static_cast<double>(loudness.limitedPeaks));
            figures.insert(QStringLiteral("limiter_most_db"), level(loudness.limiterMostDb));
        }
        object.insert(QStringLiteral("loudness"), figures);
    } else
        object.insert(QStringLiteral("loudness"), QJsonValue(QJsonValue::Null));
    write(object);
}

}  // namespace sonarel
