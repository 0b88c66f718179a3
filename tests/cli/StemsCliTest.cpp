// SPDX-License-Identifier: GPL-3.0-or-later
// sonarel-mix --stems on files that FFmpeg makes here, read back by ffmpeg: one file per group and
// "ungrouped", each of the mix's length, adding up to the mix through ducking, normalizing and the
// limiter; names made safe and said; the folder made; existing files replaced only with --yes.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>

#include "support/ProgramRun.h"

using namespace Qt::StringLiterals;

namespace {

using Run = sonarel::testing::ProgramRun;
using sonarel::testing::runProgram;

Run runMix(const QStringList& arguments)
{
    return runProgram(QStringLiteral(SONAREL_MIX_PATH), arguments);
}

// The samples ffmpeg decodes from `path`, as 32-bit floats, interleaved.
std::vector<float> decoded(const QString& path)
{
    const Run run = runProgram(u"ffmpeg"_s,
                               {u"-nostdin"_s, u"-loglevel"_s, u"error"_s, u"-i"_s, path, u"-f"_s, u"f32le"_s, u"-"_s});
    std::vector<float> samples(static_cast<std::size_t>(run.out.size()) / sizeof(float));
    std::memcpy(samples.data(), run.out.constData(), samples.size() * sizeof(float));
    return samples;
}

}  // namespace

class StemsCliTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString path(const QString& name) const { return dir_.filePath(name); }

    void make(const QString& name, const QString& source)
    {
        const Run run = runProgram(u"ffmpeg"_s, {u"-nostdin"_s, u"-loglevel"_s, u"error"_s, u"-y"_s, u"-f"_s,
                                                 u"lavfi"_s, u"-i"_s, source, path(name)});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    }

    // Two entries in "Music/Beds", two in "Effects", a voice in no group that the others duck
    // under, and a muted entry in a group of its own.
    QStringList entries() const
    {
        return {path(u"bed.wav"_s) + u"@0,group=Music/Beds"_s, path(u"tone.flac"_s) + u"@2:0.7,group=Music/Beds"_s,
                path(u"hits.wav"_s) + u"@0.5,group=Effects"_s, path(u"tone.flac"_s) + u"@5:0.4,group=Effects"_s,
                path(u"voice.wav"_s) + u"@1,duck"_s,           path(u"hits.wav"_s) + u"@3,group=Muted,muted"_s};
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        make(u"bed.wav"_s, u"aevalsrc=0.2*sin(2*PI*220*t)|0.2*sin(2*PI*330*t):s=44100:d=6"_s);
        make(u"tone.flac"_s, u"aevalsrc=0.3*sin(2*PI*440*t):s=48000:d=2"_s);
        make(u"hits.wav"_s, u"aevalsrc=0.9*sin(2*PI*2000*t)*lt(mod(t\\,0.5)\\,0.01):s=44100:d=3"_s);
        make(u"voice.wav"_s, u"aevalsrc=0.25*sin(2*PI*180*t)*sin(2*PI*3*t):s=44100:d=2"_s);
    }

    // 32-bit float, normalized with the limiter at work: the stems add up to the mix within 1e-6
    // in every sample and have its length; the folder is made; the renamed group is said.
    void floatStemsAddUpToTheMix()
    {
        const QString folder = path(u"made/stems"_s);
        const Run run = runMix(QStringList{u"--float"_s, u"--normalize"_s, u"-10"_s, u"-o"_s, path(u"mix.wav"_s),
                                           u"--stems"_s, folder} +
                               entries());
        const QString said = QString::fromLocal8Bit(run.out) + run.err;
        QVERIFY2(run.exitCode == 0, qPrintable(said));
        QVERIFY2(said.contains(u"The limiter lowered"_s) && !said.contains(u"lowered no peaks"_s), qPrintable(said));
        QVERIFY2(said.contains(u"The group \"Music/Beds\" is in Music_Beds.wav."_s), qPrintable(said));
        QStringList files = QDir(folder).entryList(QDir::Files);
        files.sort();
        QCOMPARE(files, (QStringList{u"Effects.wav"_s, u"Music_Beds.wav"_s, u"ungrouped.wav"_s}));
        const std::vector<float> mix = decoded(path(u"mix.wav"_s));
        QCOMPARE(mix.size(), static_cast<std::size_t>(7 * 44100 * 2));  // the last entry ends at 7 s
        std::vector<double> sum(mix.size(), 0.0);
        for (const QString& file : files) {
            const std::vector<float> stem = decoded(folder + u'/' + file);
            QCOMPARE(stem.size(), mix.size());
            for (std::size_t i = 0; i < stem.size(); ++i)
                sum[i] += stem[i];
        }
        double worst = 0.0;
        for (std::size_t i = 0; i < mix.size(); ++i)
            worst = std::max(worst, std::abs(sum[i] - mix[i]));
        QVERIFY2(worst <= 1e-6, qPrintable(QString::number(worst)));
    }

    // FLAC stems have the FLAC mix's length; files already there go only with --yes, and a refusal
    // leaves them and writes nothing; --dry-run names the files it would write.
    void encodedStemsAndExistingFiles()
    {
        const QString folder = path(u"flac"_s);
        const QStringList arguments = QStringList{u"-o"_s, path(u"mix.flac"_s), u"--stems"_s, folder} + entries();
        QVERIFY(runMix(arguments).exitCode == 0);
        const std::size_t frames = decoded(path(u"mix.flac"_s)).size();
        QCOMPARE(frames, static_cast<std::size_t>(7 * 44100 * 2));
        for (const QString& name : {u"Effects.flac"_s, u"Music_Beds.flac"_s, u"ungrouped.flac"_s})
            QCOMPARE(decoded(folder + u'/' + name).size(), frames);

        QVERIFY(QFile::remove(path(u"mix.flac"_s)));
        QFile stem(folder + u"/Effects.flac"_s);
        QVERIFY(stem.open(QIODevice::WriteOnly));
        stem.write("kept");
        stem.close();
        const Run refused = runMix(arguments);
        QVERIFY(refused.exitCode != 0);
        QVERIFY2(refused.err.contains(u"run with --yes"_s), qPrintable(refused.err));
        QVERIFY(!QFile::exists(path(u"mix.flac"_s)));
        QVERIFY(stem.open(QIODevice::ReadOnly));
        QCOMPARE(stem.readAll(), QByteArray("kept"));
        stem.close();

        const Run dry = runMix(QStringList{u"--dry-run"_s, u"--yes"_s} + arguments);
        QVERIFY2(dry.exitCode == 0, qPrintable(dry.err));
        QVERIFY2(dry.out.contains(("stem\t" + folder + "/Music_Beds.flac\tMusic/Beds").toUtf8()), dry.out.constData());
        QVERIFY(runMix(QStringList{u"--yes"_s} + arguments).exitCode == 0);
        QCOMPARE(decoded(folder + u"/Effects.flac"_s).size(), frames);
    }
};

QTEST_GUILESS_MAIN(StemsCliTest)
#include "StemsCliTest.moc"
