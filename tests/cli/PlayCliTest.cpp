// SPDX-License-Identifier: GPL-3.0-or-later
// sonarel-mix --play on a private PulseAudio server's null sink: what arrives is the file the same
// command line writes, from the --from point on; without a sound server it says so.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "support/PulseServer.h"
#include "support/WavFile.h"

using sonarel::testing::PulseServer;

namespace {

QString media(const char* name)
{
    return qEnvironmentVariable("SONAREL_TEST_MEDIA") + QLatin1Char('/') + QLatin1String(name);
}

struct Run {
    int exitCode = -1;
    QString err;
};

Run runMix(const QStringList& arguments,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(SONAREL_MIX_PATH), arguments);
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

}  // namespace

class PlayCliTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<PulseServer> server;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        server = std::make_unique<PulseServer>();
        if (!server->start())
            QSKIP(qPrintable(QStringLiteral("no PulseAudio server for the test: ") + server->why()));
    }

    void cleanupTestCase() { server.reset(); }

    // Compressed sources that all play at 12.345 s: from that frame on, the file's samples.
    void playsFromAPointAsTheFileHoldsIt()
    {
        const QStringList entries = {media("seek.flac") + QStringLiteral("@0,out=14"),
                                     media("seek_vbr.mp3") + QStringLiteral("@0.25:0.5,out=14"),
                                     media("seek.ogg") + QStringLiteral("@1:0.3,out=13.5")};
        const QString out = dir.filePath(QStringLiteral("mix.wav"));
        QCOMPARE(runMix(QStringList{QStringLiteral("-q"), QStringLiteral("-o"), out} + entries).exitCode, 0);
        sonarel::testing::WavData file;
        std::string error;
        QVERIFY2(sonarel::testing::readWav(out.toStdString(), file, error), error.c_str());

        QVERIFY(server->startRecording());
        const Run played = runMix(
            QStringList{QStringLiteral("--play"), QStringLiteral("--from"), QStringLiteral("12.345")} + entries);
        QCOMPARE(played.exitCode, 0);
        QVERIFY2(played.err.contains(QStringLiteral("100%")), qPrintable(played.err));
        const auto recorded = server->stopRecording();
        const sonarel::testing::Alignment a = sonarel::testing::align(recorded, file.samples, 544415);
        QVERIFY2(a.found, "the file's sound at 12.345 s is not in the recording");
        QCOMPARE(a.fileFrame, std::int64_t{544415});  // 12.345 s at 44.1 kHz, rounded
        QCOMPARE(a.mismatches, std::int64_t{0});
        QCOMPARE(a.missing, std::int64_t{0});
    }

    // Playing ends, with status 1 and a word on why, when Ctrl+C stops it and when the sound server
    // goes away beneath it (sonarel-mix no longer waits for a device that plays no more). The
    // server is started again for what follows.
    void playingEnds_data()
    {
        QTest::addColumn<bool>("serverGoes");
        QTest::addColumn<QString>("said");
        QTest::newRow("Ctrl+C") << false << QStringLiteral("stopped");
        QTest::newRow("the sound server goes away") << true << QStringLiteral("the sound output went away");
    }
    void playingEnds()
    {
        QFETCH(bool, serverGoes);
        QFETCH(QString, said);
        QProcess process;
        process.start(QStringLiteral(SONAREL_MIX_PATH), {QStringLiteral("--play"), media("seek.flac")});
        QVERIFY(process.waitForStarted());
        // Once playing has begun (its first progress line): a fixed wait raced a slow start.
        QByteArray output;
        while (!output.contains('%') && process.state() == QProcess::Running) {
            process.waitForReadyRead(200);
            output += process.readAllStandardError();
        }
        QVERIFY2(output.contains('%'), output.constData());
        if (serverGoes)
            server->kill();
        else
            ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        const bool ended = process.waitForFinished(10000);
        if (!ended)
            process.kill();
        if (serverGoes)
            QVERIFY(server->start());
        QVERIFY2(ended, "sonarel-mix went on playing");
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        output += process.readAllStandardError();
        QVERIFY2(QString::fromLocal8Bit(output).contains(said), output.constData());
    }

    // No sound server: one clear message, and mixing to a file still works.
    void withoutSoundOutputSaysSo()
    {
        QTemporaryDir empty;
        QFile config(empty.filePath(QStringLiteral("client.conf")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("autospawn = no\n");
        config.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), empty.path());
        environment.insert(QStringLiteral("PULSE_SERVER"), empty.filePath(QStringLiteral("none")));
        environment.insert(QStringLiteral("PULSE_CLIENTCONFIG"), config.fileName());
        const Run played = runMix({QStringLiteral("--play"), media("stereo16.wav")}, environment);
        QCOMPARE(played.exitCode, 1);
        QVERIFY2(played.err.contains(QStringLiteral("No sound output is available")), qPrintable(played.err));
        const Run mixed = runMix({QStringLiteral("-q"), QStringLiteral("-o"), dir.filePath(QStringLiteral("still.wav")),
                                  media("stereo16.wav")},
                                 environment);
        QCOMPARE(mixed.exitCode, 0);
    }

    void wrongPlayOptionsAreRefused()
    {
        const Run fromAlone = runMix({QStringLiteral("--from"), QStringLiteral("2"), QStringLiteral("-o"),
                                      dir.filePath(QStringLiteral("x.wav")), media("stereo16.wav")});
        QCOMPARE(fromAlone.exitCode, 2);
        QVERIFY(fromAlone.err.contains(QStringLiteral("--from goes with --play")));
        const Run negative = runMix({QStringLiteral("--play"), QStringLiteral("--from"), QStringLiteral("-1"),
                                     media("stereo16.wav")});
        QCOMPARE(negative.exitCode, 2);
        QVERIFY(negative.err.contains(QStringLiteral("--from must be")));
    }
};

QTEST_GUILESS_MAIN(PlayCliTest)
#include "PlayCliTest.moc"
