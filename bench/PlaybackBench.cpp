// SPDX-License-Identifier: GPL-3.0-or-later
// Playback timing on the default sound output (run_play_bench.sh gives it a private null sink):
// how long Play takes to hand the device its first frames, from several points of a list, and
// whether a stretch of the list plays without the render falling behind the device.
//
//   sonarel-play-bench LIST.csv [--starts S,S,...] [--listen SECONDS] [--at S]
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/cli/ConsoleDesktop.h"
#include "model/MixListFile.h"
#include "platform/AudioOutput.h"
#include "render/MediaProbe.h"
#include "render/PlaybackControl.h"

using namespace sonarel;

namespace {

double milliseconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

REFERENCE_TIME timeOf(double seconds)
{
    return static_cast<REFERENCE_TIME>(seconds * static_cast<double>(kReferenceUnitsPerSecond));
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: sonarel-play-bench LIST.csv [--starts S,S,...] [--listen SECONDS] [--at S]\n");
        return 2;
    }
    const QString list = args.takeFirst();
    QStringList starts = {QStringLiteral("0")};
    double listen = 0;
    double at = 0;
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QStringLiteral("--starts"))
            starts = args[i + 1].split(QLatin1Char(','));
        else if (args[i] == QStringLiteral("--listen"))
            listen = args[i + 1].toDouble();
        else if (args[i] == QStringLiteral("--at"))
            at = args[i + 1].toDouble();
    }

    media::MediaLibrary library;
    if (media::failed(library.initialize()))
        return 1;
    std::vector<MixItem> items;
    ImportError error;
    if (!readMixListFile(list, items, error)) {
        std::fprintf(stderr, "cannot read %s: %s\n", qPrintable(list), error.message.c_str());
        return 1;
    }
    MixItemStore store;
    for (const MixItem& item : items)
        static_cast<void>(appendMeasured(store, library, item));
    const OutputSettings settings;
    const PcmFormat format = waveFormatFromChoices(0, 0, 0);
    const auto entries = playbackEntries(store, settings);

    ConsoleDesktop desktop(true);
    const auto output = createDeviceOutput();
    PlaybackControl control(*output, desktop);
    std::printf("%s: %d entries\n", qPrintable(QFileInfo(list).fileName()), store.audioCount());
    for (const QString& start : starts) {
        // Each start is timed three times; the median is reported with the worst.
        std::vector<double> times;
        for (int run = 0; run < 3; ++run) {
            if (!control.play(entries, format, timeOf(start.toDouble())))
                return 1;
            const auto began = std::chrono::steady_clock::now();
            while (control.startLatency() == std::chrono::steady_clock::duration{} &&
                   std::chrono::steady_clock::now() - began < std::chrono::seconds(10))
                wait(1);
            times.push_back(milliseconds(control.startLatency()));
            control.stop();
        }
        std::sort(times.begin(), times.end());
        std::printf("  play at %7.3f s: first frames to the device after %6.1f ms (median of 3; worst %6.1f ms)\n",
                    start.toDouble(), times[1], times[2]);
    }
    if (listen > 0) {
        if (!control.play(entries, format, timeOf(at)))
            return 1;
        wait(static_cast<int>(listen * 1000));
        std::printf("  played %.0f s from %.1f s: the device found nothing ready %d times\n", listen, at,
                    control.starvedReads());
        control.stop();
    }
    return 0;
}
