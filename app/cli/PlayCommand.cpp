// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/PlayCommand.h"

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "app/cli/ConsoleDesktop.h"
#include "app/cli/ConsoleProgress.h"
#include "app/cli/MixCommandLine.h"
#include "render/PlaybackControl.h"

namespace sonarel {

int playList(const MixItemStore& store, const OutputSettings& settings, REFERENCE_TIME from, bool quiet,
             const std::function<bool()>& interrupted)
{
    ConsoleProgress progress(ConsoleProgress::styleFor(stderr, quiet), stderr);
    ConsoleDesktop desktop(true);
    desktop.setBeforeMessage([&progress] { progress.breakLine(); });
    const std::unique_ptr<AudioOutput> output = createDeviceOutput();
    PlaybackControl control(*output, desktop);
    const PcmFormat format = waveFormatFromChoices(settings.sampleRateIndex, settings.channelsIndex,
                                                   settings.bitsIndex);
    const auto entries = playbackEntries(store, settings);
    if (entries.empty()) {
        std::fprintf(stderr, "sonarel-mix: nothing to play: every entry is muted or silent.\n");
        return kExitMixFailed;
    }
    QEventLoop loop;
    bool stopped = false;
    control.setEndedHandler([&loop] { loop.quit(); });
    if (!control.play(entries, format, from))
        return kExitMixFailed;
    const auto started = std::chrono::steady_clock::now();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (interrupted()) {
            control.stop();
            stopped = true;
            loop.quit();
            return;
        }
        const REFERENCE_TIME length = control.length();
        const double fraction = length > 0 ? static_cast<double>(control.position()) / static_cast<double>(length)
                                           : -1.0;
        progress.update(fraction, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    });
    tick.start(100);
    loop.exec();
    tick.stop();
    if (!stopped && !control.endedInFailure())
        progress.update(1.0, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    progress.breakLine();
    if (stopped) {
        std::fprintf(stderr, "sonarel-mix: playback stopped.\n");
        return kExitMixFailed;
    }
    return control.endedInFailure() ? kExitMixFailed : kExitSuccess;
}

}  // namespace sonarel
