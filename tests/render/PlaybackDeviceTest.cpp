// SPDX-License-Identifier: GPL-3.0-or-later
// Playback through a real sound server: a private PulseAudio server with a null sink, its monitor
// recorded, and what arrived compared with the file the same list mixes to.
#include <QtTest>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>

#include "render/MediaProbe.h"
#include "render/MixRunControl.h"
#include "render/PlaybackControl.h"
#include "support/MixRunFixture.h"
#include "support/PulseServer.h"
#include "support/RecordingDesktop.h"
#include "support/WavFile.h"

using namespace sonarel;
using sonarel::testing::PulseServer;
using Clock = std::chrono::steady_clock;

class PlaybackDeviceTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<PulseServer> server;
    media::MediaLibrary library;
    sonarel::testing::RecordingDesktop desktop;
    OutputSettings settings;

    QString source(const QString& name, double seconds, unsigned seed, double level = 0.5)
    {
        const QString path = dir.filePath(name);
        sonarel::testing::writeWav16(path.toStdString(), 2, PulseServer::kRate,
                                     sonarel::testing::noisyTone(seconds, seed, level));
        return path;
    }

    void add(MixItemStore& store, const QString& path, double startSeconds, double volume = 1.0)
    {
        MixItem item;
        item.filePath = path.toStdString();
        item.startTime = static_cast<REFERENCE_TIME>(startSeconds * kReferenceUnitsPerSecond);
        item.volume = volume;
        QCOMPARE(appendMeasured(store, library, item), AppendResult::Appended);
    }

    // The file the list mixes to, as its samples.
    std::vector<std::int32_t> written(const MixItemStore& store, const QString& name)
    {
        sonarel::testing::TestMixView view;
        MixRunControl control(library, desktop, view);
        OutputSettings out = settings;
        out.outputFile = dir.filePath(name);
        control.start(store, out);
        if (!view.runToEnd(control) || control.lastOutcome() != MixOutcome::Completed)
            return {};
        sonarel::testing::WavData wav;
        std::string error;
        return sonarel::testing::readWav(out.outputFile.toStdString(), wav, error) ? wav.samples
                                                                                   : std::vector<std::int32_t>{};
    }

    static bool waitForEnd(PlaybackControl& control, int seconds)
    {
        QDeadlineTimer deadline(seconds * 1000);
        while (control.isPlaying() && !deadline.hasExpired())
            QTest::qWait(20);
        return !control.isPlaying();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        server = std::make_unique<PulseServer>();
        if (!server->start())
            QSKIP(qPrintable(QStringLiteral("no PulseAudio server for the test: ") + server->why()));
        QCOMPARE(library.initialize(), media::kOk);
    }

    void cleanupTestCase() { server.reset(); }

    // Two overlapping sources, the first after a quarter second of silence: every sample arrives
    // as the file holds it, from the first to the last.
    void playsTheFilesSamples()
    {
        MixItemStore store;
        add(store, source(QStringLiteral("a.wav"), 1.0, 1), 0.25);
        add(store, source(QStringLiteral("b.wav"), 0.8, 2, 0.3), 0.7, 0.8);
        const std::vector<std::int32_t> file = written(store, QStringLiteral("ab.wav"));
        QVERIFY(!file.empty());

        const auto output = createDeviceOutput();
        PlaybackControl control(*output, desktop);
        QVERIFY(server->startRecording());
        QVERIFY(control.play(
            playbackEntries(store, settings),
            waveFormatFromChoices(settings.sampleRateIndex, settings.channelsIndex, settings.bitsIndex), 0));
        QVERIFY(waitForEnd(control, 10));
        QVERIFY(!control.endedInFailure());
        const auto recorded = server->stopRecording();
        const sonarel::testing::Alignment a = sonarel::testing::align(recorded, file, 0);
        QVERIFY2(a.found, "the file's first sound is not in the recording");
        QCOMPARE(a.fileFrame, std::int64_t{PulseServer::kRate / 4});
        QCOMPARE(a.mismatches, std::int64_t{0});
        QCOMPARE(a.missing, std::int64_t{0});
        QVERIFY(desktop.messages.empty());
    }

    // A volume lowered while playing: the sound before the change is the first file's, the sound
    // after a short ramp the changed list's file, and the change is heard within 0.3 s.
    void aChangeIsHeardAtOnce()
    {
        MixItemStore store;
        add(store, source(QStringLiteral("long.wav"), 3.0, 3), 0.0);
        const std::vector<std::int32_t> before = written(store, QStringLiteral("before.wav"));
        store.at(0).volume = 0.25;
        const std::vector<std::int32_t> after = written(store, QStringLiteral("after.wav"));
        store.at(0).volume = 1.0;
        QVERIFY(!before.empty() && !after.empty());

        const auto output = createDeviceOutput();
        PlaybackControl control(*output, desktop);
        QVERIFY(server->startRecording());
        const PcmFormat format = waveFormatFromChoices(0, 0, 0);
        const Clock::time_point played = Clock::now();
        QVERIFY(control.play(playbackEntries(store, settings), format, 0));
        QTest::qWait(1200);
        store.at(0).volume = 0.25;
        const Clock::time_point changed = Clock::now();
        control.change(playbackEntries(store, settings));
        QVERIFY(waitForEnd(control, 10));
        const auto recorded = server->stopRecording();

        const sonarel::testing::Alignment a = sonarel::testing::align(recorded, before, 0);
        QVERIFY(a.found);
        QCOMPARE(a.fileFrame, std::int64_t{0});
        // The first frame that is not the first file's: from there on, the changed list's file.
        const auto frames = static_cast<std::int64_t>(before.size()) / 2;
        std::int64_t switched = 0;
        const auto differs = [&](const std::vector<std::int32_t>& file, std::int64_t f) {
            const std::int64_t r = a.recordedFrame + f;
            return 2 * r + 1 >= static_cast<std::int64_t>(recorded.size()) ||
                   std::abs(recorded[2 * r] - file[2 * f]) > 1 || std::abs(recorded[2 * r + 1] - file[2 * f + 1]) > 1;
        };
        while (switched < frames && !differs(before, switched))
            ++switched;
        QVERIFY2(switched > PulseServer::kRate / 2 && switched < frames, "no change heard in the recording");
        // The volume glides to its new level over 10 ms (no click), each frame between the two
        // files' frames; from there on, the changed list's file.
        const std::int64_t ramp = PulseServer::kRate / 100;
        std::int64_t wrong = 0;
        for (std::int64_t f = switched; f < switched + ramp && f < frames; ++f)
            for (std::int64_t c = 0; c < 2; ++c) {
                const std::int64_t r = 2 * (a.recordedFrame + f) + c;
                const auto [low, high] = std::minmax(before[2 * f + c], after[2 * f + c]);
                wrong += r >= static_cast<std::int64_t>(recorded.size()) || recorded[r] < low - 1 ||
                         recorded[r] > high + 1;
            }
        for (std::int64_t f = switched + ramp; f < frames; ++f)
            wrong += differs(after, f);
        QCOMPARE(wrong, std::int64_t{0});
        // The first frames went to the device `startLatency` after play(); the frames follow at
        // the rate, so the changed sound reached the device this long after change().
        const double heardAfter = std::chrono::duration<double>(played + control.startLatency() - changed).count() +
                                  static_cast<double>(switched) / PulseServer::kRate;
        qInfo("the change reached the device %.3f s after it was made", heardAfter);
        QVERIFY2(heardAfter < 0.3, qPrintable(QStringLiteral("heard %1 s after the change").arg(heardAfter)));
    }
};

QTEST_GUILESS_MAIN(PlaybackDeviceTest)
#include "PlaybackDeviceTest.moc"
