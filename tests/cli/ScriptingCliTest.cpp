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
        run.err = QStringLiteral("timed out");
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
        constantWav(QStringLiteral("a.wav"), 1.0, 3000);
        sonarel::testing::writeWav16(path(QStringLiteral("tone.wav")).toStdString(), 2, 44100,
                                     sonarel::testing::sine16(2, 44100, 0.75, 441.0, 9000));
    }

    // The table gives each entry's place as the mix makes it, and the size is the written file's.
    void dryRunPrintsThePlanAndWritesNothing()
    {
        QDir().mkpath(path(QStringLiteral("plan")));
        const QString out = path(QStringLiteral("plan/mix.wav"));
        const QStringList arguments{QStringLiteral("-o"), out,
                                    path(QStringLiteral("a.wav")) + QStringLiteral("@0.5:0.5"),
                                    path(QStringLiteral("tone.wav")) + QStringLiteral("@2:1:1.5"),
                                    path(QStringLiteral("a.wav")) + QStringLiteral("@9,muted")};
        const Run dry = runMix(QStringList{QStringLiteral("--dry-run")} + arguments);
        QVERIFY2(dry.exitCode == 0, qPrintable(dry.err));
        QCOMPARE(filesIn(path(QStringLiteral("plan"))), QStringList());
        QCOMPARE(dryRunEntry(dry.out, 1),
                 (QStringList{"1", "0.500", "1.500", "1.000", "1", "readable", path(QStringLiteral("a.wav"))}));
        QCOMPARE(dryRunEntry(dry.out, 2),
                 (QStringList{"2", "2.000", "2.500", "0.500", "1.5", "readable", path(QStringLiteral("tone.wav"))}));
        QCOMPARE(dryRunEntry(dry.out, 3).value(5), QStringLiteral("muted"));
        QCOMPARE(dryRunValue(dry.out, QStringLiteral("length"), 2), QStringLiteral("110250 frames"));
        QVERIFY2(dry.out.contains("Nothing was written"), dry.out.constData());

        const Run real = runMix(QStringList{QStringLiteral("-q")} + arguments);
        QVERIFY2(real.exitCode == 0, qPrintable(real.err));
        QCOMPARE(readBack(out).frames(), std::int64_t{110250});
        QCOMPARE(dryRunValue(dry.out, QStringLiteral("size"), 2),
                 QStringLiteral("%1 bytes").arg(QFileInfo(out).size()));
    }

    // Each problem that stops a mix stops the dry run with the same status and message, and
    // --yes or --ignore-space let both go on.
    void dryRunExitsAsTheMixWould_data()
    {
        QTest::addColumn<QString>("problem");
        QTest::newRow("missing file") << QStringLiteral("missing");
        QTest::newRow("missing file with --yes") << QStringLiteral("missing-yes");
        QTest::newRow("output is an input") << QStringLiteral("same");
        QTest::newRow("output exists") << QStringLiteral("exists");
    }
    void dryRunExitsAsTheMixWould()
    {
        QFETCH(QString, problem);
        const QString folder = path(QStringLiteral("status-") + problem);
        QDir().mkpath(folder);
        const QString input = folder + QStringLiteral("/in.wav");
        QVERIFY(QFile::copy(path(QStringLiteral("a.wav")), input));
        QString out = folder + QStringLiteral("/out.wav");
        QStringList arguments{QStringLiteral("-q"), input};
        if (problem.startsWith(QStringLiteral("missing")))
            arguments << folder + QStringLiteral("/gone.wav@1");
        if (problem == QStringLiteral("missing-yes"))
            arguments << QStringLiteral("--yes");
        if (problem == QStringLiteral("same"))
            out = input;
        if (problem == QStringLiteral("exists"))
            QVERIFY(QFile::copy(input, out));
        arguments << QStringLiteral("-o") << out;
        const QStringList before = filesIn(folder);

        const Run dry = runMix(QStringList{QStringLiteral("--dry-run")} + arguments);
        QCOMPARE(filesIn(folder), before);
        const Run real = runMix(arguments);
        QCOMPARE(dry.exitCode, real.exitCode);
        QCOMPARE(real.exitCode, problem == QStringLiteral("missing-yes") ? 0 : 1);
        QVERIFY2(real.exitCode == 0 || (!real.err.isEmpty() && real.err == dry.err),
                 qPrintable(dry.err + QStringLiteral(" / ") + real.err));
        if (problem == QStringLiteral("missing"))
            QCOMPARE(dryRunEntry(dry.out, 2).value(5), QStringLiteral("missing"));
    }

    void dryRunOnAFullDisk()
    {
        sonarel::testing::SmallDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const QString out = disk.filePath(QStringLiteral("out.wav"));
        // 10 s of 16-bit stereo: 1.76 MB on a disk of 1 MiB.
        const QStringList arguments{QStringLiteral("-q"), QStringLiteral("-o"), out,
                                    path(QStringLiteral("a.wav")) + QStringLiteral("@9")};
        const Run dry = runMix(QStringList{QStringLiteral("--dry-run")} + arguments);
        const Run real = runMix(arguments);
        QCOMPARE(dry.exitCode, 1);
        QCOMPARE(real.exitCode, 1);
        QVERIFY2(dry.err.contains(QStringLiteral("The mix needs 1.77 MB")), qPrintable(dry.err));
        QCOMPARE(filesIn(disk.path()), QStringList());
        const Run anyway = runMix(QStringList{QStringLiteral("--dry-run"), QStringLiteral("--ignore-space")} +
                                  arguments);
        QCOMPARE(anyway.exitCode, 0);
        QCOMPARE(filesIn(disk.path()), QStringList());
    }

    // Every line on standard error is one JSON object: progress with growing frames up to the
    // whole, and a summary that agrees with the file.
    void jsonProgressLines()
    {
        const QString out = path(QStringLiteral("long.wav"));
        // An hour of mostly silence at 8000 Hz mono 8-bit: long enough for several progress
        // lines, small enough to write quickly. The tone, four times louder, clips; the missing
        // file is left out.
        const Run run = runMix({QStringLiteral("--progress=json"), QStringLiteral("--yes"), QStringLiteral("-o"), out,
                                QStringLiteral("--rate"), QStringLiteral("8000"), QStringLiteral("--channels"),
                                QStringLiteral("1"), QStringLiteral("--bits"), QStringLiteral("8"),
                                path(QStringLiteral("tone.wav")) + QStringLiteral("@0:4"),
                                path(QStringLiteral("gone.wav")) + QStringLiteral("@5"),
                                path(QStringLiteral("a.wav")) + QStringLiteral("@3599")});
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
            const QString type = object.value(QStringLiteral("type")).toString();
            QVERIFY2(summary.isEmpty(), "a line after the summary");
            if (type == QStringLiteral("progress")) {
                const qint64 frames = object.value(QStringLiteral("frames")).toInteger();
                QVERIFY2(frames > lastFrames, qPrintable(line));
                QCOMPARE(object.value(QStringLiteral("total")).toInteger(), wav.frames());
                QVERIFY(object.value(QStringLiteral("elapsed")).toDouble() >= 0.0);
                QVERIFY(object.contains(QStringLiteral("remaining")));
                lastFrames = frames;
                ++progressLines;
            } else if (type == QStringLiteral("message")) {
                sawMessage = sawMessage ||
                             object.value(QStringLiteral("text")).toString().contains(path(QStringLiteral("gone.wav")));
            } else {
                QCOMPARE(type, QStringLiteral("summary"));
                summary = object;
            }
        }
        QVERIFY(sawMessage);
        QVERIFY2(progressLines >= 2, qPrintable(run.err));
        QCOMPARE(lastFrames, wav.frames());
        QCOMPARE(summary.value(QStringLiteral("outcome")).toString(), QStringLiteral("completed"));
        QCOMPARE(summary.value(QStringLiteral("output")).toString(), out);
        QCOMPARE(summary.value(QStringLiteral("frames")).toInteger(), wav.frames());
        // 9000 x 4 is past full scale on the sine's crests.
        QVERIFY(summary.value(QStringLiteral("clipped_samples")).toInteger() > 0);
        QVERIFY(summary.value(QStringLiteral("peak")).toDouble() > 1.0);
        QCOMPARE(summary.value(QStringLiteral("skipped_entries")).toArray(), QJsonArray{2});
        const QJsonObject loudness = summary.value(QStringLiteral("loudness")).toObject();
        QVERIFY(loudness.value(QStringLiteral("integrated_lufs")).isDouble());
        QVERIFY(loudness.value(QStringLiteral("true_peak_dbtp")).isDouble());
        QVERIFY(loudness.contains(QStringLiteral("range_lu")));
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
            << QStringList{QStringLiteral("--bits"), QStringLiteral("8"),      QStringLiteral("--channels"),
                           QStringLiteral("1"),      QStringLiteral("--rate"), QStringLiteral("11025")}
            << 1;
    }
    void pipeCarriesTheMix()
    {
        QFETCH(QStringList, format);
        QFETCH(int, frameBytes);
        const QString file = path(QStringLiteral("to-file.wav"));
        QFile::remove(file);
        const QStringList entries{path(QStringLiteral("tone.wav")) + QStringLiteral("@0.1"),
                                  path(QStringLiteral("a.wav")) + QStringLiteral("@0.30005:0.5")};
        const Run toFile = runMix(QStringList{QStringLiteral("-q"), QStringLiteral("-o"), file} + format + entries);
        QVERIFY2(toFile.exitCode == 0, qPrintable(toFile.err));
        const Run toPipe = runMix(QStringList{QStringLiteral("-q"), QStringLiteral("-o"), QStringLiteral("-")} +
                                  format + entries);
        QVERIFY2(toPipe.exitCode == 0, qPrintable(toPipe.err));
        QCOMPARE(toPipe.out, fileBytes(file));
        const WavData wav = readBack(file);
        QVERIFY(wav.valid);
        QCOMPARE(wav.dataBytes, static_cast<std::uint64_t>(wav.frames() * frameBytes));

        QProcess mixer;
        QProcess ffmpeg;
        mixer.setStandardOutputProcess(&ffmpeg);
        ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                                                QStringLiteral("-"), QStringLiteral("-f"), QStringLiteral("s16le"),
                                                QStringLiteral("-ac"), QStringLiteral("1"), QStringLiteral("-")});
        mixer.start(QStringLiteral(SONAREL_MIX_PATH),
                    QStringList{QStringLiteral("-q"), QStringLiteral("-o"), QStringLiteral("-")} + format + entries);
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
        Run run = runMix({QStringLiteral("-o"), QStringLiteral("-"), QStringLiteral("--rate"), QStringLiteral("192000"),
                          QStringLiteral("--float"), path(QStringLiteral("a.wav")) + QStringLiteral("@3001")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.contains(QStringLiteral("4 GiB")), qPrintable(run.err));

        run = runMix({QStringLiteral("-o"), QStringLiteral("-"), QStringLiteral("--format"), QStringLiteral("m4a"),
                      path(QStringLiteral("a.wav"))});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.contains(QStringLiteral("m4a cannot be written to a pipe")), qPrintable(run.err));

        run = runMix({QStringLiteral("-q"), QStringLiteral("-o"), QStringLiteral("-"), QStringLiteral("--format"),
                      QStringLiteral("ogg"), path(QStringLiteral("tone.wav"))});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(run.out.startsWith("OggS"));
        QVERIFY2(run.err.startsWith(QStringLiteral("Loudness: ")), qPrintable(run.err));

        // JSON lines and a pipe: standard error holds nothing else, the loudness is in the summary.
        run = runMix({QStringLiteral("--progress=json"), QStringLiteral("-o"), QStringLiteral("-"),
                      path(QStringLiteral("tone.wav"))});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(run.out.startsWith("RIFF"));
        const QStringList lines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty());
        for (const QString& line : lines)
            QVERIFY2(QJsonDocument::fromJson(line.toUtf8()).isObject(), qPrintable(line));
        QVERIFY(QJsonDocument::fromJson(lines.last().toUtf8()).object().value(QStringLiteral("loudness")).isObject());
    }

    // A list on standard input takes its relative names from the current folder, and mixes as
    // the same entries given as arguments.
    void listFromStandardInput()
    {
        const QString folder = path(QStringLiteral("stdin"));
        QDir().mkpath(folder + QStringLiteral("/media"));
        QVERIFY(QFile::copy(path(QStringLiteral("tone.wav")), folder + QStringLiteral("/media/tone.wav")));
        const QString fromList = path(QStringLiteral("from-list.wav"));
        const Run run = runMix(
            {QStringLiteral("-q"), QStringLiteral("--csv"), QStringLiteral("-"), QStringLiteral("-o"), fromList},
            "path,start_seconds,volume,speed\nmedia/tone.wav,0.25,0.5,1\nmedia/tone.wav,0.5,1,2\n", folder);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QString fromArguments = path(QStringLiteral("from-arguments.wav"));
        const Run same = runMix({QStringLiteral("-q"), QStringLiteral("-o"), fromArguments,
                                 path(QStringLiteral("tone.wav")) + QStringLiteral("@0.25:0.5"),
                                 path(QStringLiteral("tone.wav")) + QStringLiteral("@0.5:1:2")});
        QVERIFY2(same.exitCode == 0, qPrintable(same.err));
        QCOMPARE(readBack(fromList).frames(), std::int64_t{44100});
        QCOMPARE(fileBytes(fromList), fileBytes(fromArguments));

        const Run broken = runMix({QStringLiteral("--csv"), QStringLiteral("-"), QStringLiteral("-o"),
                                   path(QStringLiteral("never.wav"))},
                                  "path,start_seconds,volume,speed\nmedia/tone.wav,soon,1,1\n", folder);
        QCOMPARE(broken.exitCode, 2);
        QVERIFY2(broken.err.contains(QStringLiteral("line 2")), qPrintable(broken.err));
        QVERIFY(!QFile::exists(path(QStringLiteral("never.wav"))));
    }
};

QTEST_GUILESS_MAIN(ScriptingCliTest)
#include "ScriptingCliTest.moc"
