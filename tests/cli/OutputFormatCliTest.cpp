// SPDX-License-Identifier: GPL-3.0-or-later
// sonarel-mix's output formats end to end: every kind of file and class of rate is written and read
// back by the ffmpeg and ffprobe commands (format, rate, channels, sample format, exact length);
// deeper samples against the 16-bit mix; loudness normalization checked by ffmpeg's own meter;
// refusals that must leave the disk alone; dither; the output a list names.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <cstring>

#include "support/ProgramRun.h"
#include "support/WavFile.h"

namespace {

using Run = sonarel::testing::ProgramRun;
using sonarel::testing::runProgram;

const auto runMix = sonarel::testing::runQuietMix;

// What ffprobe says of the first audio stream: codec_name, sample_rate, channels, sample_fmt,
// duration_ts.
QMap<QString, QString> probeStream(const QString& file)
{
    const Run run = runProgram(QStringLiteral("ffprobe"),
                               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                                QStringLiteral("a:0"), QStringLiteral("-show_entries"),
                                QStringLiteral("stream=codec_name,sample_rate,channels,sample_fmt,duration_ts"),
                                QStringLiteral("-of"), QStringLiteral("default=noprint_wrappers=1"), file});
    QMap<QString, QString> fields;
    for (const QByteArray& line : run.out.split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            fields.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)).trimmed());
    }
    return fields;
}

// The samples the ffmpeg command decodes, as raw `sampleFormat` ("s16le", "s32le", "f32le").
QByteArray decoded(const QString& file, const QString& sampleFormat)
{
    return runProgram(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                                                 file, QStringLiteral("-f"), sampleFormat, QStringLiteral("-")})
        .out;
}

std::int64_t decodedFrames(const QString& file, int channels)
{
    return decoded(file, QStringLiteral("s16le")).size() / (2 * channels);
}

// The integrated loudness that ffmpeg's ebur128 filter measures.
double ffmpegIntegratedLoudness(const QString& file)
{
    const Run run = runProgram(QStringLiteral("ffmpeg"),
                               {QStringLiteral("-nostats"), QStringLiteral("-i"), file, QStringLiteral("-af"),
                                QStringLiteral("ebur128"), QStringLiteral("-f"), QStringLiteral("null"),
                                QStringLiteral("-")});
    const QRegularExpression integrated(QStringLiteral("I:\\s+(-?[0-9.]+) LUFS"));
    double value = NAN;
    for (auto it = integrated.globalMatch(run.err); it.hasNext();)
        value = it.next().captured(1).toDouble();  // the summary comes last
    return value;
}

struct Loudness {
    double integrated = NAN;
    double truePeak = NAN;
};

// "Loudness: -16.2 LUFS, range 4.1 LU, true peak -0.8 dBTP" as sonarel-mix prints it.
Loudness printedLoudness(const QByteArray& out)
{
    const QRegularExpression line(
        QStringLiteral("Loudness: (-?[0-9.]+|-inf) LUFS, range [0-9.]+ LU, true peak (-?[0-9.]+|-inf) dBTP"));
    const QRegularExpressionMatch m = line.match(QString::fromUtf8(out));
    if (!m.hasMatch())
        return {};
    return {m.captured(1).toDouble(), m.captured(2).toDouble()};
}

}  // namespace

class OutputFormatCliTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString tone_;   // 1.37 s stereo sine at 44100 Hz
    QString noise_;  // 0.8 s stereo noise, placed at 0.9 s: the mix is 1.7 s long

    QString path(const QString& name) const { return dir_.filePath(name); }

    QString writeWav(const QString& name, int rate, const std::vector<std::int16_t>& samples)
    {
        sonarel::testing::writeWav16(path(name).toStdString(), 2, rate, samples);
        return path(name);
    }

    std::vector<std::int16_t> noise(double seconds, int amplitude)
    {
        std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * 44100) * 2);
        std::uint32_t seed = 7;
        for (std::int16_t& s : samples) {
            seed = seed * 1664525u + 1013904223u;
            s = static_cast<std::int16_t>(static_cast<int>(seed >> 16) % (2 * amplitude + 1) - amplitude);
        }
        return samples;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        tone_ = writeWav(QStringLiteral("tone.wav"), 44100, sonarel::testing::sine16(2, 44100, 1.37, 440.0, 6000));
        noise_ = writeWav(QStringLiteral("noise.wav"), 44100, noise(0.8, 3000));
    }

    void everyFormatAndRateDecodesToTheMixLength()
    {
        struct Case {
            QString file;
            QStringList options;
            QString codec;
            int rate;
            int channels;
            QString sampleFormat;  // as ffprobe names the decoder's; empty: not checked
        };
        const QList<Case> cases = {
            {QStringLiteral("plain.wav"), {}, QStringLiteral("pcm_s16le"), 44100, 2, QStringLiteral("s16")},
            {QStringLiteral("low.wav"),
             {QStringLiteral("--rate"), QStringLiteral("8000"), QStringLiteral("--channels"), QStringLiteral("1"),
              QStringLiteral("--bits"), QStringLiteral("8")},
             QStringLiteral("pcm_u8"),
             8000,
             1,
             QStringLiteral("u8")},
            {QStringLiteral("video.wav"),
             {QStringLiteral("--rate"), QStringLiteral("48000")},
             QStringLiteral("pcm_s16le"),
             48000,
             2,
             QStringLiteral("s16")},
            {QStringLiteral("master.wav"),
             {QStringLiteral("--rate"), QStringLiteral("96000"), QStringLiteral("--bits"), QStringLiteral("24")},
             QStringLiteral("pcm_s24le"),
             96000,
             2,
             QStringLiteral("s32")},
            {QStringLiteral("float.wav"),
             {QStringLiteral("--rate"), QStringLiteral("192000"), QStringLiteral("--float")},
             QStringLiteral("pcm_f32le"),
             192000,
             2,
             QStringLiteral("flt")},
            {QStringLiteral("odd.wav"),
             {QStringLiteral("--rate"), QStringLiteral("37800")},
             QStringLiteral("pcm_s16le"),
             37800,
             2,
             QStringLiteral("s16")},
            {QStringLiteral("lossless.flac"), {}, QStringLiteral("flac"), 44100, 2, QStringLiteral("s16")},
            {QStringLiteral("deep.flac"),
             {QStringLiteral("--rate"), QStringLiteral("88200"), QStringLiteral("--bits"), QStringLiteral("24")},
             QStringLiteral("flac"),
             88200,
             2,
             QStringLiteral("s32")},
            // Opus is always 48000 Hz, whatever the rate asked.
            {QStringLiteral("web.opus"), {}, QStringLiteral("opus"), 48000, 2, {}},
            {QStringLiteral("result.mp3"), {}, QStringLiteral("mp3"), 44100, 2, {}},
            {QStringLiteral("mono.mp3"),
             {QStringLiteral("--rate"), QStringLiteral("22050"), QStringLiteral("--channels"), QStringLiteral("1"),
              QStringLiteral("--bitrate"), QStringLiteral("64")},
             QStringLiteral("mp3"),
             22050,
             1,
             {}},
            {QStringLiteral("vorbis.ogg"),
             {QStringLiteral("--rate"), QStringLiteral("48000")},
             QStringLiteral("vorbis"),
             48000,
             2,
             {}},
            {QStringLiteral("aac.m4a"), {}, QStringLiteral("aac"), 44100, 2, {}},
            // --format wins over the extension.
            {QStringLiteral("named.take"),
             {QStringLiteral("--format"), QStringLiteral("FLAC")},
             QStringLiteral("flac"),
             44100,
             2,
             {}},
        };
        for (const Case& c : cases) {
            const QString out = path(c.file);
            const Run run = runMix(QStringList{QStringLiteral("-o"), out} + c.options +
                                   QStringList{tone_, noise_ + QStringLiteral("@0.9")});
            QVERIFY2(run.exitCode == 0, qPrintable(c.file + QStringLiteral(": ") + run.err));
            const auto stream = probeStream(out);
            QCOMPARE(stream.value(QStringLiteral("codec_name")), c.codec);
            QCOMPARE(stream.value(QStringLiteral("sample_rate")).toInt(), c.rate);
            QCOMPARE(stream.value(QStringLiteral("channels")).toInt(), c.channels);
            if (!c.sampleFormat.isEmpty())
                QCOMPARE(stream.value(QStringLiteral("sample_fmt")), c.sampleFormat);
            const std::int64_t mixFrames = std::llround(1.7 * c.rate);
            const std::int64_t frames = decodedFrames(out, c.channels);
            if (c.codec == QStringLiteral("aac")) {
                // The edit list holds the exact length; FFmpeg 5's decoder trims only its start, and
                // plays out the last frame.
                QCOMPARE(stream.value(QStringLiteral("duration_ts")).toLongLong(), mixFrames);
                QVERIFY2(frames >= mixFrames && frames < mixFrames + 1024, qPrintable(QString::number(frames)));
            } else {
                QVERIFY2(
                    frames == mixFrames,
                    qPrintable(QStringLiteral("%1: %2 frames, the mix has %3").arg(c.file).arg(frames).arg(mixFrames)));
            }
        }
    }

    // One source at half volume: the 16-bit file must round the half step, the deeper ones keep it.
    void deeperSamplesHoldTheSixteenBitMixExactly()
    {
        std::vector<std::int16_t> odd(4410 * 2);
        for (std::size_t i = 0; i < odd.size(); ++i)
            odd[i] = static_cast<std::int16_t>((static_cast<int>(i) * 37) % 2001 - 1000);
        const QString source = writeWav(QStringLiteral("odd.wav"), 44100, odd);
        const QString halfVolume = source + QStringLiteral("@0:0.5");
        QVERIFY(runMix({QStringLiteral("-o"), path(QStringLiteral("s16.wav")), halfVolume}).exitCode == 0);
        QVERIFY(runMix({QStringLiteral("--bits"), QStringLiteral("24"), QStringLiteral("-o"),
                        path(QStringLiteral("s24.wav")), halfVolume})
                    .exitCode == 0);
        QVERIFY(runMix({QStringLiteral("--float"), QStringLiteral("-o"), path(QStringLiteral("f32.wav")), halfVolume})
                    .exitCode == 0);
        QVERIFY(runMix({QStringLiteral("--bits"), QStringLiteral("24"), QStringLiteral("-o"),
                        path(QStringLiteral("s24.flac")), halfVolume})
                    .exitCode == 0);

        std::string error;
        sonarel::testing::WavData s16;
        sonarel::testing::WavData s24;
        QVERIFY(sonarel::testing::readWav(path(QStringLiteral("s16.wav")).toStdString(), s16, error));
        QVERIFY2(sonarel::testing::readWav(path(QStringLiteral("s24.wav")).toStdString(), s24, error), error.c_str());
        QCOMPARE(s24.bitsPerSample, 24);
        QCOMPARE(s24.samples.size(), odd.size());
        const QByteArray floats = decoded(path(QStringLiteral("f32.wav")), QStringLiteral("f32le"));
        const QByteArray flac = decoded(path(QStringLiteral("s24.flac")), QStringLiteral("s32le"));
        QCOMPARE(floats.size(), static_cast<qsizetype>(odd.size() * 4));
        QCOMPARE(flac.size(), static_cast<qsizetype>(odd.size() * 4));
        for (std::size_t i = 0; i < odd.size(); ++i) {
            QCOMPARE(s24.samples[i], odd[i] * 128);  // exactly half, in 24 bits
            QCOMPARE(s16.samples[i], static_cast<std::int32_t>(std::nearbyint(odd[i] / 2.0)));
            float f = 0;
            std::memcpy(&f, floats.constData() + 4 * i, 4);
            QCOMPARE(f, static_cast<float>(odd[i]) / 65536.0f);
            std::int32_t v = 0;
            std::memcpy(&v, flac.constData() + 4 * i, 4);
            QCOMPARE(v, odd[i] * 128 * 256);  // FLAC's 24 bits decode to the top of 32
        }
    }

    void normalizeBringsQuietAndLoudListsToTheTarget()
    {
        const QString quiet = writeWav(QStringLiteral("quiet.wav"), 44100,
                                       sonarel::testing::sine16(2, 44100, 4.0, 997.0, 900));
        const QString loud = writeWav(QStringLiteral("loud.wav"), 44100, noise(4.0, 26000));
        for (const QStringList& list : {QStringList{quiet, tone_ + QStringLiteral("@1:0.1")}, QStringList{loud}}) {
            const QString out = path(QStringLiteral("normalized.wav"));
            QFile::remove(out);
            const Run run = runMix(
                QStringList{QStringLiteral("--normalize"), QStringLiteral("-16"), QStringLiteral("-o"), out} + list);
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
            const Loudness printed = printedLoudness(run.out);
            QVERIFY2(std::abs(printed.integrated + 16.0) <= 0.1, run.out.constData());
            QVERIFY2(printed.truePeak <= -1.0, run.out.constData());
            QVERIFY2(!run.out.contains("below the target"), run.out.constData());
            const double measured = ffmpegIntegratedLoudness(out);
            QVERIFY2(std::abs(measured + 16.0) <= 0.2, qPrintable(QString::number(measured)));
        }
    }

    // A quiet tone with one full-scale click: reaching -16 LUFS would put the click far above -1 dBTP.
    // The limiter lowers the click and the mix reaches its target; without it the ceiling holds
    // the gain and the mix falls short, as said.
    void aPeakThatForbidsTheTargetHoldsTheMixBelowIt()
    {
        std::vector<std::int16_t> samples = sonarel::testing::sine16(2, 44100, 3.0, 440.0, 300);
        for (std::size_t i = 44100; i < 44100 + 40; ++i)
            samples[i] = static_cast<std::int16_t>(i % 4 < 2 ? 32000 : -32000);
        const QString clicked = writeWav(QStringLiteral("click.wav"), 44100, samples);
        const QString out = path(QStringLiteral("held.flac"));
        const QStringList normalize{QStringLiteral("--normalize"),
                                    QStringLiteral("-16"),
                                    QStringLiteral("--true-peak"),
                                    QStringLiteral("-2"),
                                    QStringLiteral("-o"),
                                    out,
                                    clicked};
        const Run limited = runMix(normalize);
        QVERIFY2(limited.exitCode == 0, qPrintable(limited.err));
        const Loudness reached = printedLoudness(limited.out);
        QVERIFY2(std::abs(reached.integrated + 16.0) <= 0.2 && reached.truePeak <= -2.0, limited.out.constData());
        QVERIFY2(limited.out.contains("The limiter lowered 1 peak, at most"), limited.out.constData());
        QVERIFY2(std::abs(ffmpegIntegratedLoudness(out) + 16.0) <= 0.2, limited.out.constData());

        const Run run = runMix(
            QStringList{QStringLiteral("--limiter"), QStringLiteral("off"), QStringLiteral("--yes")} + normalize);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const Loudness printed = printedLoudness(run.out);
        QVERIFY2(printed.truePeak <= -2.0 && printed.truePeak > -2.2, run.out.constData());
        QVERIFY2(printed.integrated < -17.0, run.out.constData());
        const QRegularExpression held(QStringLiteral("held the mix ([0-9.]+) LU below the target of -16.0 LUFS"));
        const QRegularExpressionMatch m = held.match(QString::fromUtf8(run.out));
        QVERIFY2(m.hasMatch(), run.out.constData());
        QVERIFY(std::abs(m.captured(1).toDouble() - (-16.0 - printed.integrated)) <= 0.15);
    }

    void unwritableNamesAreRefusedBeforeAnythingIsWritten()
    {
        const QString kept = path(QStringLiteral("kept.xyz"));
        {
            QFile file(kept);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("keep me");
        }
        struct Case {
            QStringList arguments;
            QString file;
            QString says;
        };
        const QList<Case> cases = {
            {{QStringLiteral("-o"), path(QStringLiteral("mix.xyz"))},
             path(QStringLiteral("mix.xyz")),
             QStringLiteral("wav, flac, opus, mp3, ogg, m4a")},
            {{QStringLiteral("--yes"), QStringLiteral("-o"), kept}, kept, QStringLiteral(".xyz")},
            {{QStringLiteral("--format"), QStringLiteral("aiff"), QStringLiteral("-o"), path(QStringLiteral("a.wav"))},
             path(QStringLiteral("a.wav")),
             QStringLiteral("--format")},
            {{QStringLiteral("--rate"), QStringLiteral("96000"), QStringLiteral("-o"), path(QStringLiteral("hi.mp3"))},
             path(QStringLiteral("hi.mp3")),
             QStringLiteral("96000 Hz")},
            {{QStringLiteral("--bits"), QStringLiteral("8"), QStringLiteral("-o"), path(QStringLiteral("low.flac"))},
             path(QStringLiteral("low.flac")),
             QStringLiteral("16 or 24 bits")},
            {{QStringLiteral("--float"), QStringLiteral("--bits"), QStringLiteral("24"), QStringLiteral("-o"),
              path(QStringLiteral("both.wav"))},
             path(QStringLiteral("both.wav")),
             QStringLiteral("--float")},
        };
        for (const Case& c : cases) {
            const bool existed = QFile::exists(c.file);
            const Run run = runMix(c.arguments + QStringList{tone_});
            QVERIFY2(run.exitCode == 2, qPrintable(c.arguments.join(QLatin1Char(' '))));
            QVERIFY2(run.err.contains(c.says), qPrintable(run.err));
            QCOMPARE(QFile::exists(c.file), existed);
        }
        QFile file(kept);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("keep me"));
    }

    // A level of 0.3 of an 8-bit step: rounding alone silences it, dither keeps it on average.
    void ditherKeepsLevelsBelowOneStepAndIsReproducible()
    {
        const QString faint = writeWav(QStringLiteral("faint.wav"), 44100,
                                       sonarel::testing::constant16(2, 44100, 1.0, 77));
        const auto mean = [](const sonarel::testing::WavData& wav) {
            double sum = 0;
            for (std::int32_t s : wav.samples)
                sum += s - 128;
            return sum / static_cast<double>(wav.samples.size());
        };
        std::string error;
        sonarel::testing::WavData plain;
        QVERIFY(runMix({QStringLiteral("--bits"), QStringLiteral("8"), QStringLiteral("-o"),
                        path(QStringLiteral("plain8.wav")), faint})
                    .exitCode == 0);
        QVERIFY(sonarel::testing::readWav(path(QStringLiteral("plain8.wav")).toStdString(), plain, error));
        QCOMPARE(mean(plain), 0.0);
        for (const QString& name : {QStringLiteral("dither1.wav"), QStringLiteral("dither2.wav")})
            QVERIFY(runMix({QStringLiteral("--bits"), QStringLiteral("8"), QStringLiteral("--dither"),
                            QStringLiteral("-o"), path(name), faint})
                        .exitCode == 0);
        sonarel::testing::WavData dithered;
        QVERIFY(sonarel::testing::readWav(path(QStringLiteral("dither1.wav")).toStdString(), dithered, error));
        QVERIFY2(std::abs(mean(dithered) - 77.0 / 256.0) < 0.02, qPrintable(QString::number(mean(dithered))));
        for (std::int32_t s : dithered.samples)
            QVERIFY(s >= 127 && s <= 129);  // TPDF of one step moves a sample by at most one step
        QFile first(path(QStringLiteral("dither1.wav")));
        QFile second(path(QStringLiteral("dither2.wav")));
        QVERIFY(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
        QVERIFY(first.readAll() == second.readAll());
    }

    // A list that names its output: sonarel-mix needs no -o, normalizes as the list says, and each
    // option given replaces its own part only. A list without output lines still needs -o.
    void aListsOutputLinesAreUsedUntilAnOptionOverrides()
    {
        const QString list = path(QStringLiteral("named.csv"));
        const QString listed = path(QStringLiteral("named.mp3"));
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#output.file=" + listed.toUtf8() +
                   "\n#output.format=mp3\n#output.rate=22050\n#output.channels=1\n#output.bits=16\n"
                   "#output.bitrate=64\n#output.normalize=-20\n#output.true_peak=-1\n#output.dither=off\n"
                   "path,start_seconds,volume,speed\ntone.wav,0,1,1\n");
        file.close();
        Run run = runMix({QStringLiteral("--csv"), list});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QMap<QString, QString> stream = probeStream(listed);
        QCOMPARE(stream.value(QStringLiteral("codec_name")), QStringLiteral("mp3"));
        QCOMPARE(stream.value(QStringLiteral("sample_rate")), QStringLiteral("22050"));
        QCOMPARE(stream.value(QStringLiteral("channels")), QStringLiteral("1"));
        QVERIFY(std::abs(ffmpegIntegratedLoudness(listed) + 20.0) < 1.0);

        // -o with another extension takes that format; --channels and --normalize replace the list's.
        const QString flac = path(QStringLiteral("override.flac"));
        run = runMix({QStringLiteral("--csv"), list, QStringLiteral("-o"), flac, QStringLiteral("--channels"),
                      QStringLiteral("2"), QStringLiteral("--normalize"), QStringLiteral("-30")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        stream = probeStream(flac);
        QCOMPARE(stream.value(QStringLiteral("codec_name")), QStringLiteral("flac"));
        QCOMPARE(stream.value(QStringLiteral("sample_rate")), QStringLiteral("22050"));
        QCOMPARE(stream.value(QStringLiteral("channels")), QStringLiteral("2"));
        QVERIFY(std::abs(ffmpegIntegratedLoudness(flac) + 30.0) < 1.0);

        const QString plain = path(QStringLiteral("plain list.csv"));
        QFile plainFile(plain);
        QVERIFY(plainFile.open(QIODevice::WriteOnly));
        plainFile.write("path,start_seconds,volume,speed\ntone.wav,0,1,1\n");
        plainFile.close();
        run = runMix({QStringLiteral("--csv"), plain});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("no output file")), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(OutputFormatCliTest)
#include "OutputFormatCliTest.moc"
