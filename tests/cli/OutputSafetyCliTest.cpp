// SPDX-License-Identifier: GPL-3.0-or-later
// sonarel-mix and the file it writes: a link at the output's name is replaced, never followed; a
// second mix to an output in use is refused; a mix whose file is taken away fails; a WAV mix
// killed part-way leaves a file whose header describes what is on the disk; an encoded mix
// reaches its name only whole, and one that fails or is killed leaves the old file as it was.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "support/SmallDisk.h"
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

// What ffprobe finds in `path`: its length in seconds, or a negative value when it cannot read it.
double probedSeconds(const QString& path)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                   QStringLiteral("format=duration"), QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    if (!ffprobe.waitForFinished(30000) || ffprobe.exitCode() != 0)
        return -1.0;
    bool ok = false;
    const double seconds = QString::fromLatin1(ffprobe.readAllStandardOutput()).trimmed().toDouble(&ok);
    return ok ? seconds : -1.0;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class OutputSafetyCliTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString input_;
    QString tone_;  // 30 s of sound, which no encoder makes small

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
        tone_ = path(QStringLiteral("tone.wav"));
        sonarel::testing::writeWav16(tone_.toStdString(), 2, 44100,
                                     sonarel::testing::sine16(2, 44100, 30.0, 441.0, 9000));
    }

    // A full disk under each encoded format: the failure is named as a write failure, the old
    // file is as it was, no temporary is left, and nothing unplayable is called kept.
    void anEncodedMixThatFillsTheDiskLeavesTheOldFileAsItWas_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("m4a") << QStringLiteral("out.m4a");
        QTest::newRow("flac") << QStringLiteral("out.flac");
        QTest::newRow("mp3") << QStringLiteral("out.mp3");
    }
    void anEncodedMixThatFillsTheDiskLeavesTheOldFileAsItWas()
    {
        QFETCH(QString, name);
        sonarel::testing::SmallDisk disk(QStringLiteral("200k"));
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const QString output = disk.filePath(name);
        QFile previous(output);
        QVERIFY(previous.open(QIODevice::WriteOnly));
        previous.write("the previous mix");
        previous.close();
        const Run run = runMix({QStringLiteral("-q"), QStringLiteral("--yes"), QStringLiteral("--ignore-space"),
                                QStringLiteral("-o"), output, tone_});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("Could not write the output file ") + output +
                                  QStringLiteral(": The disk is full.")),
                 qPrintable(run.err));
        QVERIFY2(!run.err.contains(QStringLiteral("could not be read")), qPrintable(run.err));
        QVERIFY2(!run.err.contains(QStringLiteral("is kept in")), qPrintable(run.err));
        QVERIFY2(run.err.contains(QStringLiteral("Nothing of this mix was kept")), qPrintable(run.err));
        QCOMPARE(contentOf(output), QByteArray("the previous mix"));
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files), QStringList{name});
    }

    // kill -9 during an encoded mix: the old file keeps its name and content, and the unfinished
    // one lies beside it under a name that says so. Ctrl+C instead finishes the file: it is
    // renamed into place and plays for as long as was mixed.
    void anEncodedMixKilledLeavesTheOldFileAndAStoppedOneIsPlayable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("signal");
        QTest::newRow("m4a killed") << QStringLiteral("killed.m4a") << SIGKILL;
        QTest::newRow("flac killed") << QStringLiteral("killed.flac") << SIGKILL;
        QTest::newRow("m4a stopped") << QStringLiteral("stopped.m4a") << SIGINT;
        QTest::newRow("flac stopped") << QStringLiteral("stopped.flac") << SIGINT;
    }
    void anEncodedMixKilledLeavesTheOldFileAndAStoppedOneIsPlayable()
    {
        QFETCH(QString, name);
        QFETCH(int, signal);
        const QString folder = path(name + QStringLiteral("-folder"));
        QVERIFY(QDir().mkpath(folder));
        const QString output = folder + QLatin1Char('/') + name;
        QFile previous(output);
        QVERIFY(previous.open(QIODevice::WriteOnly));
        previous.write("the previous mix");
        previous.close();
        QProcess mix;
        mix.setProcessChannelMode(QProcess::MergedChannels);
        // An hour of the tone over and over: a while to encode, however fast the machine.
        QStringList arguments{QStringLiteral("--yes"), QStringLiteral("-o"), output};
        for (int i = 0; i < 120; ++i)
            arguments << tone_ + QStringLiteral("@%1").arg(30 * i);
        mix.start(QStringLiteral(SONAREL_MIX_PATH), arguments);
        QVERIFY(mix.waitForStarted());
        const auto unfinished = [&] {
            return QDir(folder).entryList({name + QStringLiteral(".unfinished-*")}, QDir::Files);
        };
        QVERIFY2(waitWhileRunning(mix,
                                  [&] {
                                      const QStringList found = unfinished();
                                      return !found.isEmpty() &&
                                             QFileInfo(folder + QLatin1Char('/') + found[0]).size() > (1 << 20);
                                  }),
                 "the mix ended too soon");
        ::kill(static_cast<pid_t>(mix.processId()), signal);
        QVERIFY(mix.waitForFinished(30000));
        if (signal == SIGKILL) {
            QCOMPARE(contentOf(output), QByteArray("the previous mix"));
            QCOMPARE(unfinished().size(), 1);
        } else {
            QVERIFY(unfinished().isEmpty());
            const double seconds = probedSeconds(output);
            QVERIFY2(seconds > 1.0, qPrintable(QString::number(seconds)));
        }
        QVERIFY(QDir(folder).removeRecursively());
    }

    // --normalize first mixes into a temporary float file. Where that fills the disk, the message
    // names the temporary, the old output is as it was and nothing is left. With -o - the
    // temporary goes to $TMPDIR: its room is checked there, and a TMPDIR that is missing is named.
    void aNormalizedMixNamesItsTemporaryAndKeepsTheOldOutput()
    {
        sonarel::testing::SmallDisk disk(QStringLiteral("1m"));
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const QString output = disk.filePath(QStringLiteral("out.wav"));
        QFile previous(output);
        QVERIFY(previous.open(QIODevice::WriteOnly));
        previous.write("the previous mix");
        previous.close();
        const QStringList normalized{QStringLiteral("-q"), QStringLiteral("--yes"), QStringLiteral("--normalize"),
                                     QStringLiteral("-16")};
        Run run = runMix(normalized +
                         QStringList{QStringLiteral("--ignore-space"), QStringLiteral("-o"), output, tone_});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("temporary file in ") + disk.path()) &&
                     run.err.contains(QStringLiteral("The disk is full.")),
                 qPrintable(run.err));
        QVERIFY2(!run.err.contains(QStringLiteral("Could not write the output file")), qPrintable(run.err));
        QCOMPARE(contentOf(output), QByteArray("the previous mix"));
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files), QStringList{QStringLiteral("out.wav")});

        const auto toStandardOutput = [&](const QString& temporaryFolder) {
            QProcess mix;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("TMPDIR"), temporaryFolder);
            mix.setProcessEnvironment(environment);
            mix.setStandardOutputFile(QProcess::nullDevice());
            mix.start(QStringLiteral(SONAREL_MIX_PATH),
                      normalized + QStringList{QStringLiteral("-o"), QStringLiteral("-"), tone_});
            mix.waitForFinished(60000);
            return std::make_pair(mix.exitCode(), QString::fromLocal8Bit(mix.readAllStandardError()));
        };
        auto [status, said] = toStandardOutput(disk.path());
        QCOMPARE(status, 1);
        QVERIFY2(said.contains(QStringLiteral("The normalized mix's temporary file in ") + disk.path() +
                               QStringLiteral(" (its first pass) needs 10.6 MB")),
                 qPrintable(said));
        const QString missing = path(QStringLiteral("no-such-folder"));
        std::tie(status, said) = toStandardOutput(missing);
        QCOMPARE(status, 1);
        QVERIFY2(said.contains(QStringLiteral("The temporary folder ") + missing +
                               QStringLiteral(" (TMPDIR) does not exist")),
                 qPrintable(said));
    }

    // A reader that stops reading: said so, and nothing is said to be kept in the pipe.
    void aReaderThatStopsReadingIsNamed()
    {
        QProcess mix;
        QProcess head;
        mix.setStandardOutputProcess(&head);
        head.setStandardOutputFile(QProcess::nullDevice());
        head.start(QStringLiteral("head"), {QStringLiteral("-c"), QStringLiteral("100000")});
        mix.start(QStringLiteral(SONAREL_MIX_PATH),
                  {QStringLiteral("-q"), QStringLiteral("-o"), QStringLiteral("-"), tone_});
        QVERIFY(mix.waitForFinished(60000));
        QVERIFY(head.waitForFinished(60000));
        const QString said = QString::fromLocal8Bit(mix.readAllStandardError());
        QCOMPARE(mix.exitCode(), 1);
        QVERIFY2(said.contains(QStringLiteral("The program reading the mix stopped reading it.")), qPrintable(said));
        QVERIFY2(!said.contains(QStringLiteral("kept in")), qPrintable(said));
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
