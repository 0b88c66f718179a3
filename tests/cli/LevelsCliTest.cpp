// SPDX-License-Identifier: GPL-3.0-or-later
// sonarel-mix --match-loudness and --trim-silence on files that FFmpeg makes here: the volumes and
// trims chosen (shown by --dry-run), the loudness of each entry mixed alone after matching, and
// the values refused.
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runProgram(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        run.err = u"timed out"_s;
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

Run runMix(const QStringList& arguments)
{
    return runProgram(QStringLiteral(SONAREL_MIX_PATH), arguments);
}

// The integrated loudness of the "Loudness: X LUFS" line, or NaN.
double loudnessIn(const QString& out)
{
    const QRegularExpressionMatch match = QRegularExpression(u"Loudness: (-?[0-9.]+) LUFS"_s).match(out);
    return match.hasMatch() ? match.captured(1).toDouble() : std::nan("");
}

}  // namespace

class LevelsCliTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString path(const QString& name) const { return dir_.filePath(name); }

    void make(const QString& name, const QString& source, const QStringList& extra = {})
    {
        const Run run = runProgram(u"ffmpeg"_s, QStringList{u"-nostdin"_s, u"-loglevel"_s, u"error"_s, u"-y"_s, u"-f"_s,
                                                            u"lavfi"_s, u"-i"_s, source} +
                                                    extra + QStringList{path(name)});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        const QString tone = u"sin(2*PI*300*t)*(0.6+0.4*sin(2*PI*0.7*t))"_s;
        make(u"loud.wav"_s, u"aevalsrc=0.7*%1|0.7*%1:s=44100:d=5"_s.arg(tone));
        make(u"quiet.ogg"_s, u"aevalsrc=0.088*%1|0.088*%1:s=44100:d=5"_s.arg(tone));
        make(u"take.wav"_s, u"aevalsrc=if(between(t\\,1\\,3)\\,0.5*sin(2*PI*440*t)\\,0):s=44100:d=4"_s);
        make(u"silence.wav"_s, u"anullsrc=r=44100:cl=mono"_s, {u"-t"_s, u"1"_s});
    }

    // The volumes chosen are shown by a dry run, which writes nothing; a mix of one entry measures
    // the target (two entries mixed each alone: tests/render/EntryLevelsTest.cpp).
    void matchedEntriesAreShownAndMixToTheTarget()
    {
        const Run dry = runMix({u"--dry-run"_s, u"--match-loudness"_s, u"-20"_s, u"-o"_s, path(u"both.wav"_s),
                                path(u"loud.wav"_s), path(u"quiet.ogg"_s) + u"@1:3:1.25,keep-pitch"_s});
        QCOMPARE(dry.exitCode, 0);
        const QRegularExpression chosen(u"entry \\d \\(.*\\): volume [0-9.e+-]+ \\(measured (-?[0-9.]+) LUFS\\)"_s);
        QList<double> measured;
        for (auto it = chosen.globalMatch(dry.out); it.hasNext();)
            measured << it.next().captured(1).toDouble();
        QVERIFY2(measured.size() == 2 && std::abs(measured[0] - measured[1] - 18.0) < 0.5,
                 qPrintable(dry.out + dry.err));
        QVERIFY(!QFileInfo::exists(path(u"both.wav"_s)));
        const Run mixed = runMix({u"-q"_s, u"-y"_s, u"--match-loudness"_s, u"-23"_s, u"-o"_s, path(u"d.wav"_s),
                                  path(u"quiet.ogg"_s) + u"@0:1:0.8,keep-pitch"_s});
        QCOMPARE(mixed.exitCode, 0);
        QVERIFY2(std::abs(loudnessIn(mixed.out) + 23.0) < 0.5, qPrintable(mixed.out));
    }

    void takesAreTrimmedToTheirSound()
    {
        const Run dry = runMix({u"--dry-run"_s, u"--trim-silence"_s, u"-o"_s, path(u"t.wav"_s), path(u"take.wav"_s),
                                path(u"silence.wav"_s) + u"@5"_s});
        QCOMPARE(dry.exitCode, 0);
        QVERIFY2(dry.out.contains(u"entry 1 (%1): in 0.900 s, out 3.100 s"_s.arg(path(u"take.wav"_s))),
                 qPrintable(dry.out));
        QVERIFY2(dry.out.contains(u"\t0.000\t2.200\t2.200\t1\treadable\t"_s), qPrintable(dry.out));
        QVERIFY2(dry.err.contains(u"Silent throughout"_s) && dry.err.contains(u"silence.wav"_s), qPrintable(dry.err));
        // A threshold above the tone's level finds nothing in it.
        const Run high = runMix({u"--dry-run"_s, u"--trim-silence=-3"_s, u"-o"_s, path(u"t.wav"_s),
                                 path(u"take.wav"_s)});
        QCOMPARE(high.exitCode, 0);
        QVERIFY2(high.err.contains(u"take.wav"_s) && !high.out.contains(u"in 0.900"_s), qPrintable(high.out));
    }

    void badValuesAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("loudness above 0") << QStringList{u"--match-loudness"_s, u"5"_s} << u"--match-loudness must"_s;
        QTest::newRow("loudness in words")
            << QStringList{u"--match-loudness"_s, u"loud"_s} << u"--match-loudness must"_s;
        QTest::newRow("threshold in words") << QStringList{u"--trim-silence=quiet"_s} << u"--trim-silence must"_s;
        QTest::newRow("threshold above 0") << QStringList{u"--trim-silence=6"_s} << u"--trim-silence must"_s;
    }

    void badValuesAreRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Run run = runMix(arguments + QStringList{u"-o"_s, path(u"bad.wav"_s), path(u"take.wav"_s)});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(path(u"bad.wav"_s)));
    }
};

QTEST_GUILESS_MAIN(LevelsCliTest)
#include "LevelsCliTest.moc"
