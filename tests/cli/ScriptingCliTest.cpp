// SPDX-License-Identifier: GPL-3.0-or-later
// sonarel-mix in scripts: --dry-run against the real run, the JSON progress lines, a WAV file
// sent down a pipe into FFmpeg, and a list read from standard input. Real runs of the built
// program on generated files; every file is read back.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "support/SmallDisk.h"
#include "support/WavFile.h"

using sonarel::testing::WavData;
using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

Run runMix(const QStringList& arguments, const QByteArray& input = {}, const QString& folder = {})
{
    QProcess process;
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(QStringLiteral(SONAREL_MIX_PATH), arguments);
    process.write(input);
    process.closeWriteChannel();
    Run run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        run.err = u"timed out"_s;
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

WavData readBack(const QString& path)
{
    WavData wav;
    std::string error;
    if (!sonarel::testing::readWav(path.toStdString(), wav, error))
        qWarning("cannot read %s: %s", qPrintable(path), error.c_str());
    return wav;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The dry run's line for entry `number` (from 1), split at its tabs.
QStringList dryRunEntry(const QByteArray& out, int number)
{
    for (const QByteArray& line : out.split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if (fields.value(0) == QString::number(number))
            return fields;
    }
    return {};
}

QString dryRunValue(const QByteArray& out, const QString& key, int field = 1)
{
    for (const QByteArray& line : out.split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if (fields.value(0) == key)
            return fields.value(field);
    }
    return {};
}

}  // namespace

class ScriptingCliTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString path(const QString& name) const { return dir_.filePath(name); }
    QString constantWav(const QString& name, double seconds, std::int16_t level, int rate = 44100)
    {
        sonarel::testing::writeWav16(path(name).toStdString(), 2, rate,
                                     sonarel::testing::constant16(2, rate, seconds, level));
        return path(name);
    }
    QStringList filesIn(const QString& folder) const { return QDir(folder).entryList(QDir::Files); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        constantWav(u"a.wav"_s, 1.0, 3000);
        sonarel::testing::writeWav16(path(u"tone.wav"_s).toStdString(), 2, 44100,
                                     sonarel::testing::sine16(2, 44100, 0.75, 441.0, 9000));
    }

    // The table gives each entry's place as the mix makes it, and the size is the written file's.
    void dryRunPrintsThePlanAndWritesNothing()
    {
        QDir().mkpath(path(u"plan"_s));
        const QString out = path(u"plan/mix.wav"_s);
        const QStringList arguments{u"-o"_s, out, path(u"a.wav"_s) + u"@0.5:0.5,chapter=Intro, part 1"_s,
                                    path(u"tone.wav"_s) + u"@2:1:1.5,chapter=Tone"_s,
                                    path(u"a.wav"_s) + u"@9,muted,chapter=Past the end"_s};
        const Run dry = runMix(QStringList{u"--dry-run"_s} + arguments);
        QVERIFY2(dry.exitCode == 0, qPrintable(dry.err));
        QCOMPARE(filesIn(path(u"plan"_s)), QStringList());
        QCOMPARE(dryRunEntry(dry.out, 1),
                 (QStringList{"1", "0.500", "1.500", "1.000", "1", "readable", path(u"a.wav"_s)}));
        QCOMPARE(dryRunEntry(dry.out, 2),
                 (QStringList{"2", "2.000", "2.500", "0.500", "1.5", "readable", path(u"tone.wav"_s)}));
        QCOMPARE(dryRunEntry(dry.out, 3).value(5), u"muted"_s);
        QCOMPARE(dryRunValue(dry.out, u"length"_s, 2), u"110250 frames"_s);
        // The chapters kept, each at its entry's start; the one past the end is said, not listed.
        QStringList chapters;
        for (const QByteArray& line : dry.out.split('\n'))
            if (line.startsWith("chapter\t"))
                chapters << QString::fromUtf8(line);
        QCOMPARE(chapters, (QStringList{u"chapter\t0.500\tIntro, part 1"_s, u"chapter\t2.000\tTone"_s}));
        QVERIFY2(dry.err.contains(u"\"Past the end\" of entry 3 starts at 0:09.000"_s), qPrintable(dry.err));
        QVERIFY2(dry.out.contains("Nothing was written"), dry.out.constData());

        const Run real = runMix(QStringList{u"-q"_s} + arguments);
        QVERIFY2(real.exitCode == 0, qPrintable(real.err));
        QCOMPARE(readBack(out).frames(), std::int64_t{110250});
        QCOMPARE(dryRunValue(dry.out, u"size"_s, 2), u"%1 bytes"_s.arg(QFileInfo(out).size()));
    }

    // The output line says the sample size wherever the file keeps one.
    void dryRunNamesTheOutputFormat_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("said");
        QTest::newRow("wav") << QStringList{u"-o"_s, path(u"f.wav"_s), u"--bits"_s, u"24"_s}
                             << u"WAV, 24-bit, 44100 Hz, 2 channels"_s;
        QTest::newRow("flac") << QStringList{u"-o"_s, path(u"f.flac"_s), u"--bits"_s, u"24"_s}
                              << u"FLAC, 44100 Hz, 2 channels, 24-bit"_s;
        QTest::newRow("flac 16") << QStringList{u"-o"_s, path(u"g.flac"_s)} << u"FLAC, 44100 Hz, 2 channels, 16-bit"_s;
    }
    void dryRunNamesTheOutputFormat()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, said);
        const Run dry = runMix(QStringList{u"--dry-run"_s} + options + QStringList{path(u"a.wav"_s)});
        QVERIFY2(dry.exitCode == 0, qPrintable(dry.err));
        QCOMPARE(dryRunValue(dry.out, u"output"_s, 2), said);
    }

    // Each problem that stops a mix stops the dry run with the same status and message, and
    // --yes or --ignore-space let both go on.
    void dryRunExitsAsTheMixWould_data()
    {
        QTest::addColumn<QString>("problem");
        QTest::newRow("missing file") << u"missing"_s;
        QTest::newRow("missing file with --yes") << u"missing-yes"_s;
        QTest::newRow("more chapters than an MP3 file holds") << u"mp3-chapters"_s;
        QTest::newRow("output is an input") << u"same"_s;
        QTest::newRow("output exists") << u"exists"_s;
        QTest::newRow("a file without sound") << u"soundless"_s;
    }
    void dryRunExitsAsTheMixWould()
    {
        QFETCH(QString, problem);
        const QString folder = path(u"status-"_s + problem);
        QDir().mkpath(folder);
        const QString input = folder + u"/in.wav"_s;
        QVERIFY(QFile::copy(path(u"a.wav"_s), input));
        QString out = folder + u"/out.wav"_s;
        QStringList arguments{u"-q"_s, input};
        if (problem.startsWith(u"missing"_s))
            arguments << folder + u"/gone.wav@1"_s;
        if (problem == u"missing-yes"_s)
            arguments << u"--yes"_s;
        if (problem == u"soundless"_s) {  // a WAV file whose data chunk is empty
            QFile empty(folder + u"/empty.wav"_s);
            QVERIFY(empty.open(QIODevice::WriteOnly));
            empty.write(
                QByteArray::fromHex("524946462400000057415645666d74201000000001000200"
                                    "44ac000010b102000400100064617461"
                                    "00000000"));
            empty.close();
            arguments << empty.fileName() + u"@1"_s;
        }
        if (problem == u"mp3-chapters"_s) {
            out = folder + u"/out.mp3"_s;
            for (int i = 0; i < 256; ++i)
                arguments << input + u"@%1,chapter=C%2"_s.arg(i * 0.002).arg(i);
        }
        if (problem == u"same"_s)
            out = input;
        if (problem == u"exists"_s)
            QVERIFY(QFile::copy(input, out));
        arguments << u"-o"_s << out;
        const QStringList before = filesIn(folder);

        const Run dry = runMix(QStringList{u"--dry-run"_s} + arguments);
        QCOMPARE(filesIn(folder), before);
        const Run real = runMix(arguments);
        QCOMPARE(dry.exitCode, real.exitCode);
        const bool mixes = problem == u"missing-yes"_s || problem == u"soundless"_s;
        QCOMPARE(real.exitCode, mixes ? 0 : 1);
        QVERIFY2(real.exitCode == 0 || (!real.err.isEmpty() && real.err == dry.err),
                 qPrintable(dry.err + u" / "_s + real.err));
        if (problem == u"missing"_s)
            QCOMPARE(dryRunEntry(dry.out, 2).value(5), u"missing"_s);
        if (problem == u"mp3-chapters"_s)
            QVERIFY2(real.err.contains(u"The mix has 256 chapters, and an MP3 file holds at most 255. Nothing was "
                                       "mixed."_s),
                     qPrintable(real.err));
        if (problem == u"soundless"_s) {  // called the same before the mix and by it
            QCOMPARE(dryRunEntry(dry.out, 2).value(5), u"unplayable"_s);
            QVERIFY2(dry.err.contains(u"is not a media file that can be played"_s), qPrintable(dry.err));
            QCOMPARE(real.err, dry.err);
        }
    }

    void dryRunOnAFullDisk()
    {
        sonarel::testing::SmallDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const QString out = disk.filePath(u"out.wav"_s);
        // 10 s of 16-bit stereo: 1.76 MB on a disk of 1 MiB.
        const QStringList arguments{u"-q"_s, u"-o"_s, out, path(u"a.wav"_s) + u"@9"_s};
        const Run dry = runMix(QStringList{u"--dry-run"_s} + arguments);
        const Run real = runMix(arguments);
        QCOMPARE(dry.exitCode, 1);
        QCOMPARE(real.exitCode, 1);
        QVERIFY2(dry.err.contains(u"The mix needs 1.77 MB"_s), qPrintable(dry.err));
        QCOMPARE(filesIn(disk.path()), QStringList());
        const Run anyway = runMix(QStringList{u"--dry-run"_s, u"--ignore-space"_s} + arguments);
        QCOMPARE(anyway.exitCode, 0);
        QCOMPARE(filesIn(disk.path()), QStringList());
    }

    // Every line on standard error is one JSON object: progress with growing frames up to the
    // whole, and a summary that agrees with the file.
    void jsonProgressLines()
    {
        const QString out = path(u"long.wav"_s);
        // An hour of mostly silence at 8000 Hz mono 8-bit: long enough for several progress
        // lines, small enough to write quickly. The tone, four times louder, clips; the missing
        // file is left out.
        const Run run = runMix({u"--progress=json"_s, u"--yes"_s, u"-o"_s, out, u"--rate"_s, u"8000"_s, u"--channels"_s,
                                u"1"_s, u"--bits"_s, u"8"_s, path(u"tone.wav"_s) + u"@0:4"_s,
                                path(u"gone.wav"_s) + u"@5"_s, path(u"a.wav"_s) + u"@3599"_s});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const WavData wav = readBack(out);
        QCOMPARE(wav.frames(), std::int64_t{3600 * 8000});

        qint64 lastFrames = -1;
        int progressLines = 0;
        QJsonObject summary;
        bool sawMessage = false;
        const QStringList lines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& line : lines) {
            QJsonParseError error{};
            const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
            QVERIFY2(error.error == QJsonParseError::NoError && document.isObject(), qPrintable(line));
            const QJsonObject object = document.object();
            const QString type = object.value(u"type"_s).toString();
            QVERIFY2(summary.isEmpty(), "a line after the summary");
            if (type == u"progress"_s) {
                const qint64 frames = object.value(u"frames"_s).toInteger();
                QVERIFY2(frames > lastFrames, qPrintable(line));
                QCOMPARE(object.value(u"total"_s).toInteger(), wav.frames());
                QVERIFY(object.value(u"elapsed"_s).toDouble() >= 0.0);
                QVERIFY(object.contains(u"remaining"_s));
                lastFrames = frames;
                ++progressLines;
            } else if (type == u"message"_s) {
                sawMessage = sawMessage || object.value(u"text"_s).toString().contains(path(u"gone.wav"_s));
            } else {
                QCOMPARE(type, u"summary"_s);
                summary = object;
            }
        }
        QVERIFY(sawMessage);
        QVERIFY2(progressLines >= 2, qPrintable(run.err));
        QCOMPARE(lastFrames, wav.frames());
        QCOMPARE(summary.value(u"outcome"_s).toString(), u"completed"_s);
        QCOMPARE(summary.value(u"output"_s).toString(), out);
        QCOMPARE(summary.value(u"frames"_s).toInteger(), wav.frames());
        // 9000 x 4 is past full scale on the sine's crests.
        QVERIFY(summary.value(u"clipped_samples"_s).toInteger() > 0);
        QVERIFY(summary.value(u"peak"_s).toDouble() > 1.0);
        QCOMPARE(summary.value(u"skipped_entries"_s).toArray(), QJsonArray{2});
        const QJsonObject loudness = summary.value(u"loudness"_s).toObject();
        QVERIFY(loudness.value(u"integrated_lufs"_s).isDouble());
        QVERIFY(loudness.value(u"true_peak_dbtp"_s).isDouble());
        QVERIFY(loudness.contains(u"range_lu"_s));
        // The loudness line stays on standard output, as without the option.
        QVERIFY(run.out.startsWith("Loudness: "));
    }

    // Down a pipe the bytes are those of the same mix written to a file (an odd length included,
    // with its pad byte), and FFmpeg reading the pipe gets exactly the mix's frames.
    void pipeCarriesTheMix_data()
    {
        QTest::addColumn<QStringList>("format");
        QTest::addColumn<int>("frameBytes");
        QTest::newRow("16-bit stereo") << QStringList{} << 4;
        QTest::newRow("8-bit mono, odd length")
            << QStringList{u"--bits"_s, u"8"_s, u"--channels"_s, u"1"_s, u"--rate"_s, u"11025"_s} << 1;
    }
    void pipeCarriesTheMix()
    {
        QFETCH(QStringList, format);
        QFETCH(int, frameBytes);
        const QString file = path(u"to-file.wav"_s);
        QFile::remove(file);
        const QStringList entries{path(u"tone.wav"_s) + u"@0.1"_s, path(u"a.wav"_s) + u"@0.30005:0.5"_s};
        const Run toFile = runMix(QStringList{u"-q"_s, u"-o"_s, file} + format + entries);
        QVERIFY2(toFile.exitCode == 0, qPrintable(toFile.err));
        const Run toPipe = runMix(QStringList{u"-q"_s, u"-o"_s, u"-"_s} + format + entries);
        QVERIFY2(toPipe.exitCode == 0, qPrintable(toPipe.err));
        QCOMPARE(toPipe.out, fileBytes(file));
        const WavData wav = readBack(file);
        QVERIFY(wav.valid);
        QCOMPARE(wav.dataBytes, static_cast<std::uint64_t>(wav.frames() * frameBytes));

        QProcess mixer;
        QProcess ffmpeg;
        mixer.setStandardOutputProcess(&ffmpeg);
        ffmpeg.start(u"ffmpeg"_s,
                     {u"-v"_s, u"error"_s, u"-i"_s, u"-"_s, u"-f"_s, u"s16le"_s, u"-ac"_s, u"1"_s, u"-"_s});
        mixer.start(QStringLiteral(SONAREL_MIX_PATH), QStringList{u"-q"_s, u"-o"_s, u"-"_s} + format + entries);
        QVERIFY(mixer.waitForFinished(60000));
        QCOMPARE(mixer.exitCode(), 0);
        QVERIFY(ffmpeg.waitForFinished(60000));
        QVERIFY2(ffmpeg.exitCode() == 0, ffmpeg.readAllStandardError().constData());
        QCOMPARE(static_cast<std::int64_t>(ffmpeg.readAllStandardOutput().size()), wav.frames() * 2);
    }

    // What a pipe cannot carry is refused before anything reaches it; a compressed format that
    // streams goes through.
    void pipeRefusals()
    {
        // 3002 s of 192 kHz stereo float: 4.6 GB.
        Run run = runMix({u"-o"_s, u"-"_s, u"--rate"_s, u"192000"_s, u"--float"_s, path(u"a.wav"_s) + u"@3001"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.contains(u"4 GiB"_s), qPrintable(run.err));

        run = runMix({u"-o"_s, u"-"_s, u"--format"_s, u"m4a"_s, path(u"a.wav"_s)});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.contains(u"m4a cannot be written to a pipe"_s), qPrintable(run.err));

        run = runMix({u"-q"_s, u"-o"_s, u"-"_s, u"--format"_s, u"ogg"_s, path(u"tone.wav"_s)});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(run.out.startsWith("OggS"));
        QVERIFY2(run.err.startsWith(u"Loudness: "_s), qPrintable(run.err));

        // JSON lines and a pipe: standard error holds nothing else, the loudness is in the summary.
        run = runMix({u"--progress=json"_s, u"-o"_s, u"-"_s, path(u"tone.wav"_s)});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(run.out.startsWith("RIFF"));
        const QStringList lines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty());
        for (const QString& line : lines)
            QVERIFY2(QJsonDocument::fromJson(line.toUtf8()).isObject(), qPrintable(line));
        QVERIFY(QJsonDocument::fromJson(lines.last().toUtf8()).object().value(u"loudness"_s).isObject());
    }

    // A reader that leaves early ends the mix with a message and status 1, not a signal.
    void readerLeavingThePipe()
    {
        QProcess mixer;
        QProcess head;
        mixer.setStandardOutputProcess(&head);
        head.start(u"head"_s, {u"-c"_s, u"100"_s});
        mixer.start(QStringLiteral(SONAREL_MIX_PATH), {u"-q"_s, u"-o"_s, u"-"_s, path(u"a.wav"_s) + u"@600"_s});
        QVERIFY(mixer.waitForFinished(60000));
        QVERIFY(head.waitForFinished(60000));
        QCOMPARE(head.readAllStandardOutput().size(), 100);
        QCOMPARE(mixer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(mixer.exitCode(), 1);
        QVERIFY(mixer.readAllStandardError().contains("/dev/stdout"));
    }

    // A list on standard input takes its relative names from the current folder, and mixes as
    // the same entries given as arguments.
    void listFromStandardInput()
    {
        const QString folder = path(u"stdin"_s);
        QDir().mkpath(folder + u"/media"_s);
        QVERIFY(QFile::copy(path(u"tone.wav"_s), folder + u"/media/tone.wav"_s));
        const QString fromList = path(u"from-list.wav"_s);
        const Run run = runMix({u"-q"_s, u"--csv"_s, u"-"_s, u"-o"_s, fromList},
                               "path,start_seconds,volume,speed\nmedia/tone.wav,0.25,0.5,1\nmedia/tone.wav,0.5,1,2\n",
                               folder);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QString fromArguments = path(u"from-arguments.wav"_s);
        const Run same = runMix({u"-q"_s, u"-o"_s, fromArguments, path(u"tone.wav"_s) + u"@0.25:0.5"_s,
                                 path(u"tone.wav"_s) + u"@0.5:1:2"_s});
        QVERIFY2(same.exitCode == 0, qPrintable(same.err));
        QCOMPARE(readBack(fromList).frames(), std::int64_t{44100});
        QCOMPARE(fileBytes(fromList), fileBytes(fromArguments));

        const Run broken = runMix({u"--csv"_s, u"-"_s, u"-o"_s, path(u"never.wav"_s)},
                                  "path,start_seconds,volume,speed\nmedia/tone.wav,soon,1,1\n", folder);
        QCOMPARE(broken.exitCode, 2);
        QVERIFY2(broken.err.contains(u"line 2"_s), qPrintable(broken.err));
        QVERIFY(!QFile::exists(path(u"never.wav"_s)));
    }
};

QTEST_GUILESS_MAIN(ScriptingCliTest)
#include "ScriptingCliTest.moc"
