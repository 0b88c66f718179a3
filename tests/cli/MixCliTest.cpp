// SPDX-License-Identifier: GPL-3.0-or-later
// End to end: sonarel-mix on generated files, the written WAV checked sample by sample.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <limits>

#include "support/SmallDisk.h"
#include "support/WavFile.h"

using sonarel::testing::WavData;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runMix(const QStringList& arguments, int timeoutMs = 60000)
{
    QProcess process;
    process.start(QStringLiteral(SONAREL_MIX_PATH), arguments);
    Run run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("timed out");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
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

// Counts sign changes of channel 0 between two frames.
int zeroCrossings(const WavData& wav, std::size_t from, std::size_t to)
{
    int count = 0;
    for (std::size_t f = from + 1; f < to; ++f)
        count += (wav.at(f - 1, 0) < 0) != (wav.at(f, 0) < 0);
    return count;
}

}  // namespace

class MixCliTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString path(const QString& name) const { return dir_.filePath(name); }
    QString constantWav(const QString& name, double seconds, std::int16_t left, std::int16_t right, int rate = 44100)
    {
        QDir().mkpath(QFileInfo(path(name)).absolutePath());
        std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * rate) * 2);
        for (std::size_t i = 0; i < samples.size(); i += 2) {
            samples[i] = left;
            samples[i + 1] = right;
        }
        sonarel::testing::writeWav16(path(name).toStdString(), 2, rate, samples);
        return path(name);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void placementVolumeSpeedAndOverlap()
    {
        const QString a = constantWav(QStringLiteral("a.wav"), 1.0, 4000, 4000);
        const QString b = constantWav(QStringLiteral("b.wav"), 0.5, 3000, -3000);
        const QString out = path(QStringLiteral("mix1.wav"));
        // a: 0.25 s .. 1.25 s at half level; b: at 0.5 s, twice as fast (0.25 s long).
        const Run run = runMix({QStringLiteral("-q"), QStringLiteral("-o"), out, a + QStringLiteral("@0.25:0.5"),
                                b + QStringLiteral("@0.5:1:2")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const WavData wav = readBack(out);
        QCOMPARE(wav.channels, 2);
        QCOMPARE(wav.sampleRate, 44100);
        QCOMPARE(wav.bitsPerSample, 16);
        QCOMPARE(wav.frames(), std::int64_t{55125});
        for (std::size_t f = 0; f < 11025; ++f)
            QCOMPARE(wav.at(f, 0), 0);
        QCOMPARE(wav.at(11025, 0), 2000);
        QCOMPARE(wav.at(22049, 1), 2000);
        // The overlap sums; the resampled constant settles within a few frames of its edges.
        for (std::size_t f = 22050 + 64; f < 33075 - 64; ++f) {
            QVERIFY2(std::abs(wav.at(f, 0) - 5000) <= 2, qPrintable(QString::number(wav.at(f, 0))));
            QVERIFY(std::abs(wav.at(f, 1) - (2000 - 3000)) <= 2);
        }
        QCOMPARE(wav.at(40000, 0), 2000);
        QCOMPARE(wav.at(55124, 1), 2000);
    }

    void speedChangesLengthAndPitch()
    {
        sonarel::testing::writeWav16(path(QStringLiteral("sine.wav")).toStdString(), 2, 44100,
                                     sonarel::testing::sine16(2, 44100, 1.0, 441.0, 10000));
        const QString out = path(QStringLiteral("fast.wav"));
        Run run = runMix({QStringLiteral("-q"), QStringLiteral("-o"), out,
                          path(QStringLiteral("sine.wav")) + QStringLiteral("@0:1:2")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        WavData wav = readBack(out);
        QCOMPARE(wav.frames(), std::int64_t{22050});
        // 882 Hz over 0.5 s: 882 crossings.
        QVERIFY(std::abs(zeroCrossings(wav, 100, 22000) - 873) <= 4);

        run = runMix({QStringLiteral("-q"), QStringLiteral("--yes"), QStringLiteral("-o"), out,
                      path(QStringLiteral("sine.wav")) + QStringLiteral("@0:1:0.5")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        wav = readBack(out);
        QCOMPARE(wav.frames(), std::int64_t{88200});
        QVERIFY(std::abs(zeroCrossings(wav, 0, 88200) - 882) <= 4);
    }

    void everyRateMonoAndEightBits()
    {
        const QString level = constantWav(QStringLiteral("level.wav"), 1.0, 8000, 8000);
        for (int rate : {44100, 22050, 11025, 8000}) {
            const QString out = path(QStringLiteral("rate%1.wav").arg(rate));
            const Run run = runMix({QStringLiteral("-q"), QStringLiteral("--rate"), QString::number(rate),
                                    QStringLiteral("-o"), out, level});
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
            const WavData wav = readBack(out);
            QCOMPARE(wav.sampleRate, rate);
            QCOMPARE(wav.frames(), static_cast<std::int64_t>(rate));
            QVERIFY(std::abs(wav.at(static_cast<std::size_t>(rate / 2), 0) - 8000) <= 2);
        }

        const QString stereo = constantWav(QStringLiteral("lr.wav"), 0.5, 1000, 3000);
        const QString mono = path(QStringLiteral("mono.wav"));
        Run run = runMix({QStringLiteral("-q"), QStringLiteral("--channels"), QStringLiteral("1"), QStringLiteral("-o"),
                          mono, stereo});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        WavData wav = readBack(mono);
        QCOMPARE(wav.channels, 1);
        QCOMPARE(wav.at(100, 0), 2000);  // the mean of the two channels

        const QString half = constantWav(QStringLiteral("half.wav"), 0.5, 16384, -16384);
        const QString eight = path(QStringLiteral("eight.wav"));
        run = runMix({QStringLiteral("-q"), QStringLiteral("--bits"), QStringLiteral("8"), QStringLiteral("-o"), eight,
                      half + QStringLiteral("@0.1")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        wav = readBack(eight);
        QCOMPARE(wav.bitsPerSample, 8);
        QCOMPARE(wav.at(0, 0), 128);  // silence is 128 in unsigned 8-bit
        QCOMPARE(wav.at(10000, 0), 192);
        QCOMPARE(wav.at(10000, 1), 64);
    }

    void csvEntriesAndAMalformedLine()
    {
        QDir().mkpath(path(QStringLiteral("list/sounds")));
        constantWav(QStringLiteral("list/sounds/x, y.wav"), 0.2, 1000, 1000);
        QFile csv(path(QStringLiteral("list/mix.csv")));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("path,start,volume,speed\n\"sounds/x, y.wav\",0.1,2,1\n");
        csv.close();
        const QString out = path(QStringLiteral("fromcsv.wav"));
        Run run = runMix({QStringLiteral("-q"), QStringLiteral("--csv"), csv.fileName(), QStringLiteral("-o"), out});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        WavData wav = readBack(out);
        QCOMPARE(wav.frames(), std::int64_t{4410 + 8820});
        QCOMPARE(wav.at(4410 + 100, 0), 2000);

        QFile bad(path(QStringLiteral("list/bad.csv")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("\"sounds/x, y.wav\",0,1,1\nsounds/x.wav,later,1,1\n");
        bad.close();
        const QString none = path(QStringLiteral("never.wav"));
        run = runMix({QStringLiteral("--csv"), bad.fileName(), QStringLiteral("-o"), none});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("line 2")), qPrintable(run.err));
        QVERIFY(!QFile::exists(none));
    }

    // Three times the window's capacity: 3000 back-to-back entries of 10 ms make one even level,
    // with no gap and no overlap anywhere.
    void aListLongerThanTheWindowsMixesWhole()
    {
        constantWav(QStringLiteral("tick.wav"), 0.01, 1000, -1000);
        QFile csv(path(QStringLiteral("long.csv")));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("path,start,volume,speed\n");
        for (int i = 0; i < 3000; ++i)
            csv.write(QStringLiteral("tick.wav,%1,1,1\n").arg(i / 100.0, 0, 'f', 2).toUtf8());
        csv.close();
        const QString out = path(QStringLiteral("long.wav"));
        const Run run = runMix({QStringLiteral("-q"), QStringLiteral("--csv"), csv.fileName(), QStringLiteral("-o"),
                                out});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const WavData wav = readBack(out);
        QCOMPARE(wav.frames(), std::int64_t{3000 * 441});
        for (std::int64_t k = 0; k < wav.frames(); ++k)
            if (wav.at(k, 0) != 1000 || wav.at(k, 1) != -1000)
                QFAIL(qPrintable(QStringLiteral("frame %1: %2, %3").arg(k).arg(wav.at(k, 0)).arg(wav.at(k, 1))));
    }

    // An entry that would end past the longest mix, and placeholders in names: said, and nothing written.
    void refusesWhatCannotBeWrittenAndKeepsNamesIntact()
    {
        const QString one = constantWav(QStringLiteral("one.wav"), 1.0, 900, 900);
        const QString out = path(QStringLiteral("never-long.wav"));
        Run run = runMix({QStringLiteral("-q"), QStringLiteral("-o"), out,
                          one + QStringLiteral("@999990:1:0.00390625")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("entry 1 (one.wav) would end at 1000246.000 s")), qPrintable(run.err));
        QVERIFY(!QFile::exists(out));
        run = runMix({QStringLiteral("-q"), QStringLiteral("-o"), out, one, one + QStringLiteral("@999999.5")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("entry 2 (one.wav)")), qPrintable(run.err));
        QVERIFY(!QFile::exists(out));
        // A 30 MHz recording sped up 256 times is beyond the rate conversion to 8 kHz.
        const QString radio = constantWav(QStringLiteral("radio.wav"), 0.01, 900, 900, 30'000'000);
        run = runMix({QStringLiteral("-q"), QStringLiteral("--rate"), QStringLiteral("8000"), QStringLiteral("-o"), out,
                      radio + QStringLiteral("@0:1:256")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("entry 1 (radio.wav) is 256, too far from 1 for its file's rate of "
                                                 "30000000 Hz and the output's 8000 Hz")),
                 qPrintable(run.err));
        QVERIFY(!QFile::exists(out));

        QFile bad(path(QStringLiteral("take%2%1.csv")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("one.wav,0,1,1\none.wav,soon,1,1\n");
        bad.close();
        run = runMix({QStringLiteral("--csv"), bad.fileName(), QStringLiteral("-o"), out});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(bad.fileName() + QStringLiteral(", line 2: the start time")), qPrintable(run.err));
    }

    // Speeds outside the exact range, volumes beyond reason and numbers a double cannot hold are
    // refused as they are read, from an argument and from a list alike, and nothing is written.
    void numbersThatMeanNothingAreRefused()
    {
        const QString one = constantWav(QStringLiteral("plain.wav"), 0.5, 900, 900);
        const QString out = path(QStringLiteral("never-nonsense.wav"));
        const struct {
            const char* values;
            const char* message;
        } cases[] = {
            {"0:1:1000000", "the speed must lie between 1/256 (0.00390625) and 256"},
            {"0:1:0.002", "the speed must lie between 1/256 (0.00390625) and 256"},
            {"0:3.5e38:1", "the volume must be at most 1000000"},
            {"4.9e-324", "the start time \"4.9e-324\" is too close to zero"},
            {"0:1:1e-400", "the speed \"1e-400\" is too close to zero"},
        };
        for (const auto& c : cases) {
            const QString values = QString::fromLatin1(c.values);
            const QString message = QString::fromLatin1(c.message);
            Run run = runMix({QStringLiteral("-q"), QStringLiteral("-o"), out, one + QLatin1Char('@') + values});
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.err.contains(message), qPrintable(values + QStringLiteral(": ") + run.err));
            QFile csv(path(QStringLiteral("nonsense.csv")));
            QVERIFY(csv.open(QIODevice::WriteOnly | QIODevice::Truncate));
            csv.write("path,start,volume,speed\nplain.wav," +
                      values.split(QLatin1Char(':')).join(QLatin1Char(',')).toUtf8() + "\n");
            csv.close();
            run = runMix({QStringLiteral("-q"), QStringLiteral("--csv"), csv.fileName(), QStringLiteral("-o"), out});
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.err.contains(QStringLiteral(", line 2: ") + message),
                     qPrintable(values + QStringLiteral(": ") + run.err));
            QVERIFY(!QFile::exists(out));
        }
    }

    // Trimmed, faded and muted entries from a list: the lengths follow the in and out points and
    // the speed, and the muted entry neither sounds nor counts. The checks hold with or without
    // the fades' shape, which the engine's own tests cover.
    void aShapedListTrimsFadesAndMutes()
    {
        constantWav(QStringLiteral("shaped/held.wav"), 2.0, 4000, 4000);
        constantWav(QStringLiteral("shaped/long.wav"), 3.0, 3000, 3000);
        constantWav(QStringLiteral("shaped/quick.wav"), 2.0, 1000, 1000);
        QFile csv(path(QStringLiteral("shaped/mix.csv")));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write(
            "path,start_seconds,volume,speed,in_seconds,out_seconds,fade_in_seconds,fade_out_seconds,"
            "keep_pitch,pitch_semitones,muted\n"
            "held.wav,0.5,1,1,0.5,1.5,0.1,0.1,,,\n"  // 1 s at 0.5 s
            "long.wav,0,1,1,,,,,,,1\n"               // would last 3 s
            "quick.wav,1.75,2,2,1,2,,,,,\n");        // 1 s of source in 0.5 s
        csv.close();
        const QString out = path(QStringLiteral("shaped.wav"));
        const Run run = runMix({QStringLiteral("-q"), QStringLiteral("--csv"), csv.fileName(), QStringLiteral("-o"),
                                out});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const WavData wav = readBack(out);
        QCOMPARE(wav.frames(), std::int64_t{99225});  // quick.wav ends at 1.75 + 1 / 2 s
        for (std::size_t f = 0; f < 22050; ++f)
            QCOMPARE(wav.at(f, 0), 0);  // only the muted entry plays here
        for (std::size_t f = 22050 + 4410; f < 66150 - 4410; ++f)
            QCOMPARE(wav.at(f, 1), 4000);
        for (std::size_t f = 22050; f < 66150; ++f)
            QVERIFY(std::abs(wav.at(f, 0)) <= 4000);
        for (std::size_t f = 66150; f < 77175; ++f)
            QCOMPARE(wav.at(f, 0), 0);
        QVERIFY(std::abs(wav.at(88200, 0) - 2000) <= 2);
    }

    // The cut-edge ramp touches the first and last 5 ms of a trimmed entry and nothing else.
    void theEdgeFadeTouchesOnlyTheCutEdges()
    {
        const QString tone = path(QStringLiteral("tone.flac"));
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                                                QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                                QStringLiteral("sine=frequency=441:sample_rate=44100:duration=1"),
                                                QStringLiteral("-ac"), QStringLiteral("2"), tone});
        QVERIFY(ffmpeg.waitForFinished(30000));
        QCOMPARE(ffmpeg.exitCode(), 0);
        const QString trimmed = tone + QStringLiteral("@0,in=0.25,out=0.75");
        WavData mixes[2];
        for (int i = 0; i < 2; ++i) {
            const QString out = path(QStringLiteral("edge%1.wav").arg(i));
            const Run run = runMix({QStringLiteral("-q"), QStringLiteral("--edge-fade"), QString::number(i * 5),
                                    QStringLiteral("-o"), out, trimmed});
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
            mixes[i] = readBack(out);
            QCOMPARE(mixes[i].frames(), std::int64_t{22050});
        }
        constexpr std::size_t kRampFrames = 221;  // 5 ms at 44100 Hz, rounded up
        for (std::size_t f = kRampFrames; f < 22050 - kRampFrames; ++f)
            QCOMPARE(mixes[1].at(f, 0), mixes[0].at(f, 0));
        // A ramp only ever lowers the level.
        for (std::size_t f = 0; f < 22050; ++f)
            QVERIFY(std::abs(mixes[1].at(f, 1)) <= std::abs(mixes[0].at(f, 1)));
    }

    void shapingRefusalsNameTheEntry()
    {
        const QString one = constantWav(QStringLiteral("short.wav"), 1.0, 900, 900);
        const QString out = path(QStringLiteral("never-shaped.wav"));
        Run run = runMix({QStringLiteral("-q"), QStringLiteral("-o"), out, one, one + QStringLiteral("@0,in=1")});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("entry 2 (") + one +
                                  QStringLiteral("): the in point (1.000 s) is not before the end of the file "
                                                 "(1.000 s).")),
                 qPrintable(run.err));
        for (const char* wrong : {"11", "-1", "2.5", "soon"}) {
            run = runMix({QStringLiteral("--edge-fade"), QString::fromLatin1(wrong), QStringLiteral("-o"), out, one});
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.err.contains(QStringLiteral("--edge-fade must be")), qPrintable(run.err));
        }
        QVERIFY(!QFile::exists(out));
    }

    // --sequence places the entries in list order from 0, --crossfade overlaps each pair, and the
    // duck key with the --duck- options lowers the others under a voice.
    void sequenceCrossfadeAndDucking()
    {
        const QString a = constantWav(QStringLiteral("seq/a.wav"), 1.0, 8000, 8000);
        const QString b = constantWav(QStringLiteral("seq/b.wav"), 0.75, 8000, 8000);
        const QString c = constantWav(QStringLiteral("seq/c.wav"), 0.5, 0, 0);
        const QString out = path(QStringLiteral("seq/mix.wav"));
        struct Case {
            QStringList options;
            std::int64_t frames;
        };
        const Case cases[] = {
            {{QStringLiteral("--sequence"), QStringLiteral("--crossfade"), QStringLiteral("0.2")},
             44100 + 33075 + 22050 - 2 * 8820},
            {{QStringLiteral("--sequence"), QStringLiteral("0.1")}, 44100 + 33075 + 22050 + 2 * 4410},
            {{QStringLiteral("--sequence=-0.25")}, 44100 + 33075 + 22050 - 2 * 11025},
        };
        for (const Case& test : cases) {
            const Run run = runMix(QStringList{QStringLiteral("-q"), QStringLiteral("-y"), QStringLiteral("-o"), out} +
                                   test.options + QStringList{a + QStringLiteral("@5"), b + QStringLiteral("@9"), c});
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
            QCOMPARE(readBack(out).frames(), test.frames);
        }
        // The voice c from 0.9 to 1.4 s lowers a (0 .. 1 s) and b (0.8 .. 1.55 s) to half.
        Run run = runMix({QStringLiteral("-q"), QStringLiteral("-y"), QStringLiteral("--duck-depth"),
                          QStringLiteral("-6.0206"), QStringLiteral("--duck-attack"), QStringLiteral("0"),
                          QStringLiteral("--duck-release"), QStringLiteral("0"), QStringLiteral("-o"), out,
                          a + QStringLiteral("@0"), b + QStringLiteral("@0.8"), c + QStringLiteral("@0.9,duck")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const WavData ducked = readBack(out);
        const std::pair<std::size_t, int> levels[] = {{37485, 16000}, {41895, 8000}, {52920, 4000}, {63945, 8000}};
        for (const auto& [frame, level] : levels)
            QVERIFY2(std::abs(ducked.at(frame, 0) - level) <= 1, qPrintable(QString::number(frame)));
        const char* refused[][3] = {
            {"--crossfade", "0.2", "--crossfade goes with --sequence."},
            {"--sequence=1", "--crossfade=0.2", "--crossfade overlaps the entries itself"},
            {"--duck-depth", "-61", "--duck-depth must be a level from -60 to 0 dB."},
            {"--duck-release", "soon", "--duck-release must be 0 to 10 seconds."},
            {"--sequence=x", "-q", "--sequence=GAP must be a number of seconds"},
        };
        for (const auto& [option, value, message] : refused) {
            run = runMix({QString::fromLatin1(option), QString::fromLatin1(value), QStringLiteral("-o"), out, a, b});
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.err.contains(QString::fromLatin1(message)), qPrintable(run.err));
        }
    }

    void refusesToOverwriteAnInputOrAnExistingFile()
    {
        const QString input = constantWav(QStringLiteral("keep.wav"), 0.2, 500, 500);
        const QString link = path(QStringLiteral("keep-link.wav"));
        QVERIFY(QFile::link(input, link));
        QFile original(input);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray before = original.readAll();
        original.close();
        for (const QString& output : {input, link}) {
            const Run run = runMix({QStringLiteral("--yes"), QStringLiteral("-o"), output, input});
            QCOMPARE(run.exitCode, 1);
            QVERIFY2(run.err.contains(QStringLiteral("also one of the files to mix")), qPrintable(run.err));
            QVERIFY(original.open(QIODevice::ReadOnly));
            QCOMPARE(original.readAll(), before);
            original.close();
        }

        const QString existing = path(QStringLiteral("existing.wav"));
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old");
        file.close();
        Run run = runMix({QStringLiteral("-o"), existing, input});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(QStringLiteral("exists. Do you want to replace it?")));
        QCOMPARE(QFileInfo(existing).size(), 3);
        run = runMix({QStringLiteral("-q"), QStringLiteral("--yes"), QStringLiteral("-o"), existing, input});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(readBack(existing).frames(), std::int64_t{8820});
    }

    // A 10 s mix (1.76 MB) on a 1 MiB disk that holds the previous mix: refused before anything is
    // written, even with --yes; with --ignore-space it runs until the disk is full.
    void aMixThatCannotFitIsRefusedBeforeWriting()
    {
        sonarel::testing::SmallDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const QString input = constantWav(QStringLiteral("short.wav"), 0.5, 800, 800);
        const QString out = disk.filePath(QStringLiteral("out.wav"));
        QFile previous(out);
        QVERIFY(previous.open(QIODevice::WriteOnly));
        previous.write("the previous mix");
        previous.close();

        Run run = runMix({QStringLiteral("-q"), QStringLiteral("-y"), QStringLiteral("-o"), out,
                          input + QStringLiteral("@9.5")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("sonarel-mix: The mix needs 1.77 MB but only 1.04 MB are free on %1. "
                                                 "Nothing was mixed. Free some space, choose another output folder, "
                                                 "or give --ignore-space to mix anyway.\n")
                                      .arg(disk.path())),
                 qPrintable(run.err));
        QVERIFY(previous.open(QIODevice::ReadOnly));
        QCOMPARE(previous.readAll(), QByteArray("the previous mix"));
        previous.close();
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files), QStringList{QStringLiteral("out.wav")});

        run = runMix({QStringLiteral("-q"), QStringLiteral("-y"), QStringLiteral("--ignore-space"),
                      QStringLiteral("-o"), out, input + QStringLiteral("@9.5")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("Mixing anyway")) &&
                     run.err.contains(QStringLiteral("The disk is full.")),
                 qPrintable(run.err));
        const WavData wav = readBack(out);
        QVERIFY(wav.frames() > 44100);
        QCOMPARE(wav.at(0, 0), 0);

        // A disk smaller than one write: the whole frames of the write it cut short are kept.
        sonarel::testing::SmallDisk tiny(QStringLiteral("200k"));
        QVERIFY2(tiny.isMounted(), qPrintable(tiny.skipReason()));
        const QString cut = tiny.filePath(QStringLiteral("cut.wav"));
        run = runMix({QStringLiteral("-q"), QStringLiteral("--ignore-space"), QStringLiteral("-o"), cut,
                      input + QStringLiteral("@9.5")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(readBack(cut).frames() > (200 * 1024 - 8192) / 4, qPrintable(QString::number(readBack(cut).frames())));
    }

    void aVanishedFileIsNamedAndCanBeLeftOut()
    {
        const QString present = constantWav(QStringLiteral("present.wav"), 0.2, 700, 700);
        const QString gone = path(QStringLiteral("gone.wav"));
        const QString out = path(QStringLiteral("without.wav"));
        Run run = runMix({QStringLiteral("-o"), out, present, gone + QStringLiteral("@0.1")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(gone), qPrintable(run.err));
        QVERIFY(!QFile::exists(out));

        run = runMix({QStringLiteral("-q"), QStringLiteral("--yes"), QStringLiteral("-o"), out, present,
                      gone + QStringLiteral("@0.1")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const WavData wav = readBack(out);
        QCOMPARE(wav.at(100, 0), 700);
    }

    void ctrlCStopsAndKeepsAValidFile()
    {
        // Two hours of output: long enough to be interrupted half way.
        const QString late = constantWav(QStringLiteral("late.wav"), 0.1, 100, 100);
        const QString out = path(QStringLiteral("interrupted.wav"));
        QProcess process;
        process.start(QStringLiteral(SONAREL_MIX_PATH), {QStringLiteral("-o"), out, late + QStringLiteral("@7200")});
        QVERIFY(process.waitForStarted());
        QString err;
        while (!err.contains(QStringLiteral("progress")) && process.state() == QProcess::Running) {
            process.waitForReadyRead(100);
            err += QString::fromLocal8Bit(process.readAllStandardError());
        }
        QVERIFY2(process.state() == QProcess::Running, "the mix ended before it could be interrupted");
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(20000));
        err += QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(err.contains(QStringLiteral("stopped")), qPrintable(err));
        const WavData wav = readBack(out);
        QCOMPARE(wav.channels, 2);
        QVERIFY(wav.frames() < std::int64_t{7200} * 44100);
        QFile::remove(out);
    }

    // Files that declare their sample count are listed with it, to the millisecond, and mixed to
    // exactly that many samples, with no silence added at the end.
    void declaredLengthsAreExact()
    {
        struct Made {
            const char* name;
            const char* rate;
            QStringList codec;
        };
        const Made made[] = {
            {"cbr44.mp3",
             "44100",
             {QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"), QStringLiteral("128k")}},
            {"vbr44.mp3",
             "44100",
             {QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-q:a"), QStringLiteral("4")}},
            {"cbr48.mp3",
             "48000",
             {QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"), QStringLiteral("160k")}},
            {"vbr48.mp3",
             "48000",
             {QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-q:a"), QStringLiteral("2")}},
            {"aac.m4a", "44100", {QStringLiteral("-c:a"), QStringLiteral("aac")}},
            {"opus.ogg", "48000", {QStringLiteral("-c:a"), QStringLiteral("libopus")}},
            {"tone.flac", "44100", {QStringLiteral("-c:a"), QStringLiteral("flac")}},
        };
        QStringList files;
        for (const Made& m : made) {
            files << path(QString::fromLatin1(m.name));
            const int exitCode = QProcess::execute(
                QStringLiteral("ffmpeg"),
                QStringList{QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
                            QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                            QStringLiteral("sine=f=440:d=2.34:r=") + QString::fromLatin1(m.rate)} +
                    m.codec + QStringList{files.last()});
            QCOMPARE(exitCode, 0);
        }
        const Run probe = runMix(QStringList{QStringLiteral("--probe")} + files);
        QCOMPARE(probe.exitCode, 0);
        const QStringList lines = probe.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), files.size());
        for (qsizetype i = 0; i < files.size(); ++i) {
            QCOMPARE(lines[i], QStringLiteral("2.340\t") + files[i]);
            const QString out = path(QStringLiteral("exact.wav"));
            const Run mixed = runMix({QStringLiteral("-q"), QStringLiteral("-y"), QStringLiteral("-o"), out, files[i]});
            QVERIFY2(mixed.exitCode == 0, qPrintable(mixed.err));
            const WavData wav = readBack(out);
            QVERIFY2(wav.frames() == std::int64_t{103194},
                     qPrintable(files[i] + QStringLiteral(": ") + QString::number(wav.frames())));
            int loudest = 0;
            for (std::int64_t f = wav.frames() - 100; f < wav.frames(); ++f)
                loudest = std::max(loudest, std::abs(wav.at(f, 0)));
            QVERIFY2(loudest > 2000, qPrintable(files[i] + QStringLiteral(" ends in silence")));
        }
    }

    void aMixThatClipsPrintsOneLine()
    {
        const QString loud = constantWav(QStringLiteral("loud.wav"), 0.1, 30000, -30000);
        const QString out = path(QStringLiteral("clipped.wav"));
        Run run = runMix({QStringLiteral("-q"), QStringLiteral("-y"), QStringLiteral("-o"), out, loud, loud});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QStringLiteral("sonarel-mix: 8820 samples clipped, peak +5.3 dBFS: lower the volumes\n"));
        const WavData wav = readBack(out);
        QCOMPARE(wav.at(0, 0), 32767);
        QCOMPARE(wav.at(4409, 1), -32768);
        run = runMix({QStringLiteral("-q"), QStringLiteral("-y"), QStringLiteral("-o"), out,
                      loud + QStringLiteral("@0:0.5"), loud + QStringLiteral("@0:0.5")});
        QCOMPARE(run.exitCode, 0);
        // Quiet, but the replaced output is still said.
        QCOMPARE(run.err, QStringLiteral("Warning: %1 exists. Do you want to replace it? Yes (--yes).\n").arg(out));
    }

    void samplesThatAreNotNumbersPrintOneLine()
    {
        const QString nan = path(QStringLiteral("nan.wav"));
        sonarel::testing::writeWavFloat(nan.toStdString(), 1, 44100,
                                        std::vector<float>(4410, std::numeric_limits<float>::quiet_NaN()));
        const QString good = constantWav(QStringLiteral("good.wav"), 0.1, 1000, -1000);
        const QString out = path(QStringLiteral("nan-mix.wav"));
        const Run run = runMix({QStringLiteral("-q"), QStringLiteral("-y"), QStringLiteral("-o"), out, nan, good});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QStringLiteral("sonarel-mix: ") + nan +
                              QStringLiteral(" contains samples that are not numbers; they were silenced.\n"));
        const WavData wav = readBack(out);
        QCOMPARE(wav.at(0, 0), 1000);
        QCOMPARE(wav.at(4409, 1), -1000);
    }

    void probeHelpVersionAndWrongUsage()
    {
        const QString probe = constantWav(QStringLiteral("probe.wav"), 1.5, 1, 1);
        Run run = runMix({QStringLiteral("--probe"), probe});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("1.500\t") + probe + QLatin1Char('\n'));
        run = runMix({QStringLiteral("--probe"), path(QStringLiteral("nothing.mp3"))});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QStringLiteral("unreadable\t") + path(QStringLiteral("nothing.mp3")) + QLatin1Char('\n'));

        run = runMix({QStringLiteral("--help")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains(QStringLiteral("--csv")));
        QVERIFY(run.out.contains(QStringLiteral("--ignore-space")));
        QVERIFY(run.out.contains(QStringLiteral("--edge-fade")));
        QVERIFY(run.out.contains(QStringLiteral("fade_out_seconds")));
        run = runMix({QStringLiteral("--version")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.startsWith(QStringLiteral("sonarel-mix ")));

        for (const QStringList& wrong :
             {QStringList{QStringLiteral("--rate"), QStringLiteral("7999"), QStringLiteral("-o"),
                          QStringLiteral("x.wav"), probe},
              QStringList{QStringLiteral("--channels"), QStringLiteral("3"), QStringLiteral("-o"),
                          QStringLiteral("x.wav"), probe},
              QStringList{QStringLiteral("--bits"), QStringLiteral("12"), QStringLiteral("-o"), QStringLiteral("x.wav"),
                          probe},
              QStringList{QStringLiteral("--frobnicate")}, QStringList{probe},
              QStringList{QStringLiteral("-o"), QStringLiteral("x.wav")},
              QStringList{QStringLiteral("-o"), QStringLiteral("x.wav"), probe + QStringLiteral("@1:1:-2")}}) {
            run = runMix(wrong);
            QVERIFY2(run.exitCode == 2, qPrintable(wrong.join(QLatin1Char(' ')) + QStringLiteral(" -> ") + run.err));
            QVERIFY(!run.err.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(MixCliTest)
#include "MixCliTest.moc"
