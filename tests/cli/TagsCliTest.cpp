// SPDX-License-Identifier: GPL-3.0-or-later
// Tags and cover pictures in every kind of file sonarel-mix writes, read back by outside readers:
// ffprobe (the tags FFmpeg finds, the attached picture) and mutagen (each format's own frames,
// comments and atoms, through tests/cli/read_tags.py). Also: the sound is the same with tags as
// without, the tags of a --csv list and --tag over them, and refusals before anything is written.
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "support/ProgramRun.h"
#include "support/WavFile.h"

namespace {

using Run = sonarel::testing::ProgramRun;
using sonarel::testing::runProgram;

const auto runMix = sonarel::testing::runQuietMix;

QJsonObject json(const QByteArray& text)
{
    return QJsonDocument::fromJson(text).object();
}

// ffprobe's format tags merged with the audio stream's (Ogg keeps its comments there), keys in
// lower case, and whether a stream is an attached picture.
struct Probed {
    QMap<QString, QString> tags;
    bool attachedPicture = false;
};

Probed probe(const QString& file)
{
    const Run run = runProgram(QStringLiteral("ffprobe"),
                               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_format"),
                                QStringLiteral("-show_streams"), QStringLiteral("-of"), QStringLiteral("json"), file});
    const QJsonObject all = json(run.out);
    Probed probed;
    const auto take = [&probed](const QJsonObject& tags) {
        for (auto it = tags.begin(); it != tags.end(); ++it)
            probed.tags.insert(it.key().toLower(), it.value().toString());
    };
    take(all.value(QStringLiteral("format")).toObject().value(QStringLiteral("tags")).toObject());
    for (const QJsonValue& stream : all.value(QStringLiteral("streams")).toArray()) {
        // A picture's stream names its kind in a comment tag of its own.
        if (stream.toObject().value(QStringLiteral("codec_type")).toString() == QLatin1String("audio"))
            take(stream.toObject().value(QStringLiteral("tags")).toObject());
        if (stream.toObject()
                .value(QStringLiteral("disposition"))
                .toObject()
                .value(QStringLiteral("attached_pic"))
                .toInt())
            probed.attachedPicture = true;
    }
    return probed;
}

QJsonObject mutagenRead(const QString& file)
{
    const Run run = runProgram(QStringLiteral("/usr/bin/python3"),
                               {QStringLiteral(SONAREL_TESTS_CLI_DIR "/read_tags.py"), file});
    if (run.exitCode != 0)
        qWarning("%s", qPrintable(run.err));
    return json(run.out);
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray decoded(const QString& file)
{
    return runProgram(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                                                 file, QStringLiteral("-map"), QStringLiteral("0:a"),
                                                 QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")})
        .out;
}

const QString kTitle = QStringLiteral("Stürme über Ōsaka ☂");  // outside Latin-1 too
const QString kComment = QStringLiteral("Mixed for the 50% edition");

QStringList tagOptions()
{
    return {QStringLiteral("--tag"), QStringLiteral("title=") + kTitle,
            QStringLiteral("--tag"), QStringLiteral("artist=The Sonarels"),
            QStringLiteral("--tag"), QStringLiteral("album=Tests"),
            QStringLiteral("--tag"), QStringLiteral("date=2024-05-17"),
            QStringLiteral("--tag"), QStringLiteral("genre=Ambient"),
            QStringLiteral("--tag"), QStringLiteral("track=3/12"),
            QStringLiteral("--tag"), QStringLiteral("comment=") + kComment};
}

}  // namespace

class TagsCliTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString tone_;
    QString png_;
    QString jpeg_;

    QString path(const QString& name) const { return dir_.filePath(name); }

    QString picture(const QString& name)
    {
        const Run run = runProgram(QStringLiteral("ffmpeg"),
                                   {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
                                    QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("testsrc=size=40x30"),
                                    QStringLiteral("-frames:v"), QStringLiteral("1"), path(name)});
        return run.exitCode == 0 ? path(name) : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        tone_ = path(QStringLiteral("tone.wav"));
        sonarel::testing::writeWav16(tone_.toStdString(), 2, 44100, sonarel::testing::sine16(2, 44100, 0.6, 440, 6000));
        png_ = picture(QStringLiteral("cover.png"));
        jpeg_ = picture(QStringLiteral("cover.jpg"));
        QVERIFY(!png_.isEmpty() && !jpeg_.isEmpty());
    }

    // Every format: the tags as ffprobe and mutagen read them in the format's own terms, the
    // cover (where the format holds one) byte for byte, and the same sound as without tags.
    void everyFormatCarriesTheTagsAndCover()
    {
        struct Case {
            QString file;
            QString cover;
            QString mutagenKind;  // empty: mutagen reads no tags of this kind of file
            bool picture;
        };
        const QList<Case> cases = {
            {QStringLiteral("t.wav"), png_, {}, false},
            {QStringLiteral("t.flac"), png_, QStringLiteral("FLAC"), true},
            {QStringLiteral("t.opus"), jpeg_, QStringLiteral("OggOpus"), true},
            {QStringLiteral("t.mp3"), jpeg_, QStringLiteral("MP3"), true},
            {QStringLiteral("t.ogg"), png_, QStringLiteral("OggVorbis"), true},
            {QStringLiteral("t.m4a"), jpeg_, QStringLiteral("MP4"), true},
        };
        const QMap<QString, QString> expected = {
            {QStringLiteral("title"), kTitle},
            {QStringLiteral("artist"), QStringLiteral("The Sonarels")},
            {QStringLiteral("album"), QStringLiteral("Tests")},
            {QStringLiteral("genre"), QStringLiteral("Ambient")},
            {QStringLiteral("comment"), kComment},
        };
        for (const Case& c : cases) {
            const QString tagged = path(c.file);
            const QString plain = path(QStringLiteral("plain-") + c.file);
            const Run run = runMix(QStringList{QStringLiteral("-o"), tagged, tone_} + tagOptions() +
                                   QStringList{QStringLiteral("--cover"), c.cover});
            QVERIFY2(run.exitCode == 0, qPrintable(c.file + QLatin1Char(' ') + run.err));
            // What the format cannot keep is named, and only then.
            QCOMPARE(run.err.contains(QStringLiteral("cannot keep the list's cover")), !c.picture);
            QCOMPARE(runMix({QStringLiteral("-o"), plain, tone_}).exitCode, 0);
            QVERIFY2(decoded(tagged) == decoded(plain), qPrintable(c.file));

            const Probed probed = probe(tagged);
            for (auto it = expected.begin(); it != expected.end(); ++it)
                QVERIFY2(probed.tags.value(it.key()) == it.value(), qPrintable(c.file + QLatin1Char(' ') + it.key()));
            QVERIFY2(probed.tags.value(QStringLiteral("date")).startsWith(QStringLiteral("2024")), qPrintable(c.file));
            QVERIFY2(probed.tags.value(QStringLiteral("track")).startsWith(QLatin1Char('3')), qPrintable(c.file));
            QCOMPARE(probed.attachedPicture, c.picture);
            QVERIFY2(!probe(plain).attachedPicture, qPrintable(c.file));

            if (c.mutagenKind.isEmpty())
                continue;
            const QJsonObject read = mutagenRead(tagged);
            QCOMPARE(read.value(QStringLiteral("kind")).toString(), c.mutagenKind);
            const QJsonObject tags = read.value(QStringLiteral("tags")).toObject();
            for (auto it = expected.begin(); it != expected.end(); ++it)
                QVERIFY2(tags.value(it.key()).toString() == it.value(),
                         qPrintable(c.file + QLatin1Char(' ') + it.key()));
            QCOMPARE(tags.value(QStringLiteral("date")).toString(), QStringLiteral("2024-05-17"));
            QCOMPARE(tags.value(QStringLiteral("track")).toString(), QStringLiteral("3/12"));
            const QJsonArray pictures = read.value(QStringLiteral("pictures")).toArray();
            QCOMPARE(pictures.size(), 1);
            const QJsonObject cover = pictures[0].toObject();
            QCOMPARE(
                cover.value(QStringLiteral("md5")).toString(),
                QString::fromLatin1(QCryptographicHash::hash(contentOf(c.cover), QCryptographicHash::Md5).toHex()));
            QCOMPARE(cover.value(QStringLiteral("mime")).toString(),
                     c.cover == png_ ? QStringLiteral("image/png") : QStringLiteral("image/jpeg"));
            QCOMPARE(cover.value(QStringLiteral("type")).toInt(), 3);  // the front cover
            if (c.mutagenKind == QLatin1String("MP3")) {
                QCOMPARE(read.value(QStringLiteral("id3")).toInt(), 3);
                QCOMPARE(read.value(QStringLiteral("txxx")).toInt(), 0);  // the comment is COMM, nothing else
            }
        }
    }

    // A WAV file's LIST chunk keeps the RIFF sizes right, also with an odd-length value.
    void wavTagsKeepTheRiffSizes()
    {
        const QString file = path(QStringLiteral("sizes.wav"));
        QCOMPARE(
            runMix({QStringLiteral("-o"), file, tone_, QStringLiteral("--tag"), QStringLiteral("title=odd")}).exitCode,
            0);
        const QByteArray bytes = contentOf(file);
        const auto le32 = [&bytes](qsizetype at) {
            return qFromLittleEndian<quint32>(reinterpret_cast<const uchar*>(bytes.constData()) + at);
        };
        QCOMPARE(qsizetype(le32(4)) + 8, bytes.size());
        const qsizetype list = bytes.indexOf("LIST");
        QVERIFY(list > 0 && bytes.mid(list + 8, 4) == "INFO");
        QCOMPARE(bytes.mid(list + 12, 4), QByteArray("INAM"));
        QCOMPARE(le32(list + 4), quint32(4 + 8 + 4 + 0));  // "odd" and its NUL: no pad byte needed
        QCOMPARE(bytes.mid(list + 8 + le32(list + 4), 4), QByteArray("data"));
        const QString plain = path(QStringLiteral("sizes-plain.wav"));
        QCOMPARE(runMix({QStringLiteral("-o"), plain, tone_}).exitCode, 0);
        QVERIFY(contentOf(plain).indexOf("LIST") < 0);
        QVERIFY(sonarel::testing::readWav(plain.toStdString()).samples ==
                sonarel::testing::readWav(file.toStdString()).samples);
    }

    // A list's tags and cover (relative to the list), and --tag and --cover over them.
    void aListsTagsAndTheOptionsOverThem()
    {
        QDir().mkpath(path(QStringLiteral("project/art")));
        QVERIFY(QFile::copy(png_, path(QStringLiteral("project/art/front.png"))));
        const QString list = path(QStringLiteral("project/tagged.csv"));
        QFile csv(list);
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("#tag.title=From the list\n#tag.genre=Jazz\n#cover=art/front.png\npath,start_seconds,volume,speed\n");
        csv.write(tone_.toUtf8() + ",0,1,1\n");
        csv.close();
        const QString out = path(QStringLiteral("listed.flac"));
        QCOMPARE(runMix({QStringLiteral("-o"), out, QStringLiteral("--csv"), list}).exitCode, 0);
        QJsonObject read = mutagenRead(out);
        QCOMPARE(read.value(QStringLiteral("tags")).toObject().value(QStringLiteral("title")).toString(),
                 QStringLiteral("From the list"));
        QCOMPARE(read.value(QStringLiteral("pictures")).toArray().size(), 1);

        const QString over = path(QStringLiteral("over.flac"));
        QCOMPARE(runMix({
                            QStringLiteral("-o"),
                            over,
                            QStringLiteral("--csv"),
                            list,
                            QStringLiteral("--tag"),
                            QStringLiteral("title=Given"),
                            QStringLiteral("--tag"),
                            QStringLiteral("genre="),
                            QStringLiteral("--cover="),
                        })
                     .exitCode,
                 0);
        read = mutagenRead(over);
        const QJsonObject tags = read.value(QStringLiteral("tags")).toObject();
        QCOMPARE(tags.value(QStringLiteral("title")).toString(), QStringLiteral("Given"));
        QVERIFY(!tags.contains(QStringLiteral("genre")));
        QCOMPARE(read.value(QStringLiteral("pictures")).toArray().size(), 0);
    }

    // Refused before anything is written, with the reason.
    void badTagsAndCoversAreRefusedBeforeMixing()
    {
        const QString text = path(QStringLiteral("notes.png"));
        QFile notes(text);
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("not a picture at all");
        notes.close();
        const QString huge = path(QStringLiteral("huge.png"));
        QFile big(huge);
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write(contentOf(png_));
        QVERIFY(big.resize(17 * 1024 * 1024));
        big.close();
        struct Case {
            QStringList options;
            QString message;
        };
        const QList<Case> cases = {
            {{QStringLiteral("--tag"), QStringLiteral("title=two\nlines")}, QStringLiteral("control character")},
            {{QStringLiteral("--tag"), QStringLiteral("composer=Me")}, QStringLiteral("KEY one of title, artist")},
            {{QStringLiteral("--tag"), QStringLiteral("date=May 2024")}, QStringLiteral("YYYY-MM-DD")},
            {{QStringLiteral("--tag"), QStringLiteral("track=A1")}, QStringLiteral("N/M")},
            {{QStringLiteral("--cover"), path(QStringLiteral("none.png"))}, QStringLiteral("does not exist")},
            {{QStringLiteral("--cover"), text}, QStringLiteral("not a PNG or JPEG picture")},
            {{QStringLiteral("--cover"), huge}, QStringLiteral("larger than 16 MiB")},
            {{QStringLiteral("--cover"), dir_.path()}, QStringLiteral("not a file")},
        };
        const QString out = path(QStringLiteral("refused.mp3"));
        for (const Case& c : cases) {
            const Run run = runMix(QStringList{QStringLiteral("-o"), out, tone_} + c.options);
            QVERIFY2(run.exitCode != 0, qPrintable(c.message));
            QVERIFY2(run.err.contains(c.message), qPrintable(run.err));
            QVERIFY(!QFile::exists(out));
        }
    }
};

QTEST_GUILESS_MAIN(TagsCliTest)
#include "TagsCliTest.moc"
