// SPDX-License-Identifier: GPL-3.0-or-later
// Chapters end to end: sonarel-mix writes them into every kind of file that holds them, read back
// by ffprobe and by mutagen (ID3 CHAP frames under a top-level, ordered CTOC; CHAPTERnnn Vorbis
// comments); --chapters-file beside the mix; what is said of chapters left out and of WAV; refusals
// that leave the disk alone.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "support/ProgramRun.h"
#include "support/WavFile.h"

namespace {

using Run = sonarel::testing::ProgramRun;
using sonarel::testing::runProgram;

struct ProbedChapter {
    double start = 0;
    QString title;
};

QList<ProbedChapter> probeChapters(const QString& file)
{
    const Run run = runProgram(QStringLiteral("ffprobe"),
                               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_chapters"),
                                QStringLiteral("-of"), QStringLiteral("json"), file});
    QList<ProbedChapter> chapters;
    for (const QJsonValue& chapter :
         QJsonDocument::fromJson(run.out).object().value(QStringLiteral("chapters")).toArray())
        chapters.push_back({chapter[QStringLiteral("start_time")].toString().toDouble(),
                            chapter[QStringLiteral("tags")][QStringLiteral("title")].toString()});
    return chapters;
}

// What mutagen finds, one line a frame or comment, as the script prints it.
QString mutagenReport(const QString& file)
{
    static const char* script = R"(
import sys
path = sys.argv[1]
if path.endswith('.mp3'):
    from mutagen.id3 import ID3
    tags = ID3(path)
    print('version', tags.version[1])
    for toc in tags.getall('CTOC'):
        print('CTOC', toc.element_id, int(toc.flags), ','.join(toc.child_element_ids))
    for chap in sorted(tags.getall('CHAP'), key=lambda c: c.start_time):
        print('CHAP', chap.element_id, chap.start_time, chap.sub_frames['TIT2'].text[0])
else:
    from mutagen import File
    tags = File(path).tags
    for key, value in sorted((k.upper(), v) for k, v in tags.items() if k.upper().startswith('CHAPTER')):
        print(key, value[0])
)";
    const Run run = runProgram(QStringLiteral("/usr/bin/python3"),
                               {QStringLiteral("-c"), QString::fromLatin1(script), file});
    return QString::fromUtf8(run.out) + run.err;
}

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace

class ChaptersCliTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString tone_;  // 2 s stereo sine at 44100 Hz

    QString path(const QString& name) const { return dir_.filePath(name); }
    QString entry(const QString& start, const QString& chapter) const
    {
        return tone_ + QLatin1Char('@') + start + QStringLiteral(",chapter=") + chapter;
    }
    // Three chapters at 0, 1.25 and 2.5 s of a mix of 4.5 s, the middle one not ASCII.
    QStringList threeChapters() const
    {
        return {entry(QStringLiteral("0"), QStringLiteral("Intro")),
                entry(QStringLiteral("1.25"), QStringLiteral("Caf\u00e9 \u2013 talk")),
                entry(QStringLiteral("2.5"), QStringLiteral("End"))};
    }
    Run mix(const QStringList& arguments) const { return sonarel::testing::runQuietMix(arguments); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        tone_ = path(QStringLiteral("tone.wav"));
        sonarel::testing::writeWav16(tone_.toStdString(), 2, 44100,
                                     sonarel::testing::sine16(2, 44100, 2.0, 440.0, 6000));
    }

    void everyContainerCarriesTheChapters()
    {
        const QStringList starts = {QStringLiteral("0"), QStringLiteral("1.25"), QStringLiteral("2.5")};
        for (const char* extension : {"mp3", "flac", "opus", "ogg", "m4a"}) {
            const QString output = path(QStringLiteral("mix.") + QLatin1String(extension));
            const Run run = mix(QStringList{QStringLiteral("-o"), output} + threeChapters());
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
            QVERIFY2(!run.err.contains(QStringLiteral("chapter")), qPrintable(run.err));
            const QList<ProbedChapter> chapters = probeChapters(output);
            QCOMPARE(chapters.size(), 3);
            const double expected[] = {0.0, 1.25, 2.5};
            const QString titles[] = {QStringLiteral("Intro"), QStringLiteral("Caf\u00e9 \u2013 talk"),
                                      QStringLiteral("End")};
            for (int i = 0; i < 3; ++i) {
                QVERIFY2(std::abs(chapters[i].start - expected[i]) <= 0.001,
                         qPrintable(QStringLiteral("%1: %2").arg(output).arg(chapters[i].start)));
                QCOMPARE(chapters[i].title, titles[i]);
            }
        }
    }

    void mutagenReadsTheFramesAndComments()
    {
        const QString frames = QStringLiteral(
            "version 3\nCTOC toc 3 ch0,ch1,ch2\nCHAP ch0 0 Intro\n"
            "CHAP ch1 1250 Caf\u00e9 \u2013 talk\nCHAP ch2 2500 End\n");
        QCOMPARE(mutagenReport(path(QStringLiteral("mix.mp3"))), frames);
        // A tagged MP3 has a tag of Sonarel's own making: the chapters go into it alike.
        const QString tagged = path(QStringLiteral("tagged.mp3"));
        const Run run = mix(QStringList{QStringLiteral("-o"), tagged, QStringLiteral("--tag"),
                                        QStringLiteral("title=Episode 1")} +
                            threeChapters());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(mutagenReport(tagged), frames);
        QCOMPARE(probeChapters(tagged).size(), 3);
        const QString comments = QStringLiteral(
            "CHAPTER000 00:00:00.000\nCHAPTER000NAME Intro\n"
            "CHAPTER001 00:00:01.250\nCHAPTER001NAME Caf\u00e9 \u2013 talk\n"
            "CHAPTER002 00:00:02.500\nCHAPTER002NAME End\n");
        for (const char* name : {"mix.flac", "mix.ogg", "mix.opus"})
            QCOMPARE(mutagenReport(path(QLatin1String(name))), comments);
    }

    // A CTOC counts its chapters in one byte: 255 fit, one more is refused before the mix (the
    // dry-run test of refusals covers that).
    void anMp3HoldsAllOf255Chapters()
    {
        const QString output = path(QStringLiteral("many.mp3"));
        QStringList arguments{QStringLiteral("-o"), output};
        for (int i = 0; i < 255; ++i)
            arguments << entry(QString::number(i * 0.01), QStringLiteral("C%1").arg(i));
        const Run run = mix(arguments);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QStringList lines = mutagenReport(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^CHAP "))).size(), 255);
        const QStringList toc = lines.filter(QRegularExpression(QStringLiteral("^CTOC ")));
        QCOMPARE(toc.size(), 1);
        QCOMPARE(toc[0].section(QLatin1Char(' '), 3).split(QLatin1Char(',')).size(), 255);
        QCOMPARE(lines.last(), QStringLiteral("CHAP ch254 2540 C254"));
    }

    void aChaptersFileGoesBesideTheMix()
    {
        const QString output = path(QStringLiteral("beside.wav"));
        const QString cue = path(QStringLiteral("beside.cue"));
        const Run run = mix(QStringList{QStringLiteral("-o"), output, QStringLiteral("--chapters-file"), cue} +
                            threeChapters());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.err.contains(QStringLiteral("A WAV file cannot hold chapters, so the mix's 3 chapters are not")),
                 qPrintable(run.err));
        QCOMPARE(readText(cue), QStringLiteral("FILE \"beside.wav\" WAVE\n"
                                               "  TRACK 01 AUDIO\n    TITLE \"Intro\"\n    INDEX 01 00:00:00\n"
                                               "  TRACK 02 AUDIO\n    TITLE \"Caf\u00e9 \u2013 talk\"\n"
                                               "    INDEX 01 00:01:19\n"
                                               "  TRACK 03 AUDIO\n    TITLE \"End\"\n    INDEX 01 00:02:38\n"));

        // An existing chapters file is replaced only with --yes; nothing is mixed otherwise.
        const QString json = path(QStringLiteral("beside.json"));
        QFile(json).open(QIODevice::WriteOnly);
        QFile::remove(output);
        Run refused = mix(QStringList{QStringLiteral("-o"), output, QStringLiteral("--chapters-file"), json} +
                          threeChapters());
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.err.contains(QStringLiteral("give --yes to replace it")), qPrintable(refused.err));
        QVERIFY(!QFile::exists(output));
        const Run replaced = mix(QStringList{QStringLiteral("-y"), QStringLiteral("-o"), output,
                                             QStringLiteral("--chapters-file"), json} +
                                 threeChapters());
        QVERIFY2(replaced.exitCode == 0, qPrintable(replaced.err));
        QVERIFY(readText(json).contains(QStringLiteral("{\"startTime\": 1.25, \"title\": \"Caf\u00e9 \u2013 talk\"}")));
    }

    void refusalsComeBeforeTheMix()
    {
        const QString output = path(QStringLiteral("refused.mp3"));
        Run run = mix(QStringList{QStringLiteral("-o"), output, QStringLiteral("--chapters-file"),
                                  path(QStringLiteral("chapters.srt"))} +
                      threeChapters());
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("use .cue, .txt, .vtt or .json")), qPrintable(run.err));
        run = mix({QStringLiteral("-o"), path(QStringLiteral("mixed.json")), QStringLiteral("--format"),
                   QStringLiteral("mp3"), QStringLiteral("--chapters-file"), path(QStringLiteral("mixed.json")),
                   entry(QStringLiteral("0"), QStringLiteral("A"))});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("is the mix's own output file")), qPrintable(run.err));
        QVERIFY(!QFile::exists(output));
        QVERIFY(!QFile::exists(path(QStringLiteral("mixed.json"))));
    }

    // A muted entry still marks its chapter; the mix ends with the entries that sound.
    void chaptersLeftOutAreNamed()
    {
        const QString output = path(QStringLiteral("warned.flac"));
        const Run run = mix({QStringLiteral("-o"), output, entry(QStringLiteral("0"), QStringLiteral("A")),
                             entry(QStringLiteral("0"), QStringLiteral("Twin")),
                             tone_ + QStringLiteral("@2,muted,chapter=At the end"),
                             tone_ + QStringLiteral("@1,muted,chapter=Muted mark")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.err.contains(QStringLiteral("The chapter \"Twin\" of entry 2 starts at 0:00.000, as \"A\" of "
                                                 "entry 1 does, so it is left out.")),
                 qPrintable(run.err));
        QVERIFY2(run.err.contains(QStringLiteral("The chapter \"At the end\" of entry 3 starts at 0:02.000, at or "
                                                 "after the mix's end (0:02.000), so it is left out.")),
                 qPrintable(run.err));
        const QList<ProbedChapter> chapters = probeChapters(output);
        QCOMPARE(chapters.size(), 2);
        QCOMPARE(chapters[0].title, QStringLiteral("A"));
        QCOMPARE(chapters[1].title, QStringLiteral("Muted mark"));
    }
};

QTEST_GUILESS_MAIN(ChaptersCliTest)
#include "ChaptersCliTest.moc"
