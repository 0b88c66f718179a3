// SPDX-License-Identifier: GPL-3.0-or-later
// sonarel-mix and the file it writes: a link at the output's name is replaced, never followed; a
// second mix to an output in use is refused; a mix whose file is taken away fails; and a mix
// killed part-way leaves a file whose header describes what is on the disk.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "support/WavFile.h"

namespace {

struct Run {
    int exitCode = -1;
    QString err;
};

Run runMix(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(SONAREL_MIX_PATH), arguments);
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("timed out");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.err = QString::fromLocal8Bit(process.readAllStandardError() + process.readAllStandardOutput());
    return run;
}

// Waits until `condition` holds or the process ends; true when it held.
template <typename Condition>
bool waitWhileRunning(QProcess& process, Condition condition, int timeoutMs = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (process.state() != QProcess::Running || timer.elapsed() > timeoutMs)
            return false;
        process.waitForReadyRead(2);
    }
    return true;
}

}  // namespace

class OutputSafetyCliTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString input_;

    QString path(const QString& name) const { return dir_.filePath(name); }

    // A mix of two hours, almost all silence: long enough to be caught while it runs.
    void startLongMix(QProcess& process, const QString& output)
    {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(SONAREL_MIX_PATH),
                      {QStringLiteral("-o"), output, input_ + QStringLiteral("@7200")});
        QVERIFY(process.waitForStarted());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        input_ = path(QStringLiteral("short.wav"));
        sonarel::testing::writeWav16(input_.toStdString(), 2, 44100, std::vector<std::int16_t>(8820, 1000));
    }

    void aDanglingLinkAtTheOutputIsAskedForAndThenReplacedItself()
    {
        const QString output = path(QStringLiteral("dangling.wav"));
        const QString target = path(QStringLiteral("never-created.wav"));
        QVERIFY(QFile::link(target, output));

        Run run = runMix({QStringLiteral("-o"), output, input_});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("exists. Do you want to replace it?")), qPrintable(run.err));
        QVERIFY(QFileInfo(output).isSymLink());
        QVERIFY(!QFileInfo::exists(target));

        run = runMix({QStringLiteral("-q"), QStringLiteral("--yes"), QStringLiteral("-o"), output, input_});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(target));
        QVERIFY(!QFileInfo(output).isSymLink());
        sonarel::testing::WavData wav;
        std::string error;
        QVERIFY2(sonarel::testing::readWav(output.toStdString(), wav, error), error.c_str());
        QCOMPARE(wav.frames(), std::int64_t{4410});
    }

    void aSecondMixToAnOutputInUseIsRefusedAndTheFirstGoesOn()
    {
        const QString output = path(QStringLiteral("busy.wav"));
        QProcess first;
        startLongMix(first, output);
        QVERIFY2(waitWhileRunning(first, [&] { return QFileInfo(output).size() > (4 << 20); }),
                 "the first mix ended too soon");
        const QFileInfo before(output);
        const Run second = runMix({QStringLiteral("--yes"), QStringLiteral("-o"), output, input_});
        QCOMPARE(second.exitCode, 1);
        QVERIFY2(second.err.contains(QStringLiteral("is in use")), qPrintable(second.err));
        QCOMPARE(first.state(), QProcess::Running);
        const QFileInfo after(output);
        QVERIFY(after.exists());
        QVERIFY(after.size() >= before.size());  // still growing, never cut back

        ::kill(static_cast<pid_t>(first.processId()), SIGINT);
        QVERIFY(first.waitForFinished(20000));
        QFile::remove(output);
    }

    // Before, the mix said "Done" with status 0 and there was no file anywhere.
    void anOutputFolderRemovedDuringTheMixIsAFailure()
    {
        const QString folder = path(QStringLiteral("goes-away"));
        QVERIFY(QDir().mkpath(folder));
        const QString output = folder + QStringLiteral("/mix.wav");
        QProcess mix;
        mix.setProcessChannelMode(QProcess::MergedChannels);
        // Ten minutes of output: a moment to write, however fast the machine.
        mix.start(QStringLiteral(SONAREL_MIX_PATH), {QStringLiteral("-o"), output, input_ + QStringLiteral("@600")});
        QVERIFY(mix.waitForStarted());
        if (!waitWhileRunning(mix, [&] { return QFileInfo::exists(output); }))
            QSKIP("the mix ended before its folder could be removed");
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(mix.waitForFinished(60000));
        const QString said = QString::fromLocal8Bit(mix.readAll());
        QCOMPARE(mix.exitStatus(), QProcess::NormalExit);
        QVERIFY2(mix.exitCode() != 0, qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("deleted or replaced")), qPrintable(said));
        QVERIFY2(!said.contains(QStringLiteral("Done")), qPrintable(said));
    }

    // kill -9 gives the mix no chance to finish its file: the header written as it went must
    // describe whole frames, at most the writer's buffer (about six seconds here) short of what
    // is on the disk, and a decoder must find exactly those frames.
    void aKilledMixLeavesAFileItsHeaderDescribes()
    {
        const QString output = path(QStringLiteral("killed.wav"));
        QProcess mix;
        startLongMix(mix, output);
        QVERIFY2(waitWhileRunning(mix, [&] { return QFileInfo(output).size() > (12 << 20); }),
                 "the mix ended too soon");
        ::kill(static_cast<pid_t>(mix.processId()), SIGKILL);
        QVERIFY(mix.waitForFinished(20000));

        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray header = file.read(80);
        QCOMPARE(header.left(4), QByteArray("RIFF"));
        QCOMPARE(header.mid(76 - 4, 4), QByteArray("data"));
        const auto* bytes = reinterpret_cast<const unsigned char*>(header.constData());
        const std::uint32_t declared = sonarel::testing::le32(bytes + 76);
        const std::uint32_t riff = sonarel::testing::le32(bytes + 4);
        const qint64 onDisk = file.size() - 80;
        QVERIFY2(declared > 0, "the header still says the file is empty");
        QCOMPARE(declared % 4, 0u);
        QVERIFY(declared <= onDisk);
        QVERIFY2(onDisk - declared <= (1 << 20), qPrintable(QStringLiteral("%1 of %2").arg(declared).arg(onDisk)));
        QCOMPARE(riff, declared + 72);

        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                      output, QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")});
        if (!ffmpeg.waitForStarted())
            QSKIP("ffmpeg is not installed");
        qint64 decoded = 0;
        while (ffmpeg.state() == QProcess::Running || ffmpeg.bytesAvailable() > 0) {
            ffmpeg.waitForReadyRead(100);
            decoded += ffmpeg.readAllStandardOutput().size();
        }
        decoded += ffmpeg.readAllStandardOutput().size();
        QCOMPARE(decoded, static_cast<qint64>(declared));
        QFile::remove(output);
    }
};

QTEST_GUILESS_MAIN(OutputSafetyCliTest)
#include "OutputSafetyCliTest.moc"
