// SPDX-License-Identifier: GPL-3.0-or-later
// sonarel-mix and the output a list names, as an attacker would use it: a list downloaded into a
// folder of the home folder and mixed from the home folder, a NUL in the name, a FIFO as the
// output. Real runs of the built program in a home folder of the test's own; what is left on the
// disk is read back.
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "support/WavFile.h"

namespace {

struct Run {
    int exitCode = -1;
    QString err;
};

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class ListOutputCliTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString home_;
    QString show_;  // where the downloaded list lies, with its one source

    // sonarel-mix started in the home folder, with HOME pointing at it. A run that does not end
    // within the limit is killed and reported as such: a hang is a failure, not a wait.
    Run runMix(const QStringList& arguments, int limitMs = 30000)
    {
        QProcess process;
        process.setWorkingDirectory(home_);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home_);
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(SONAREL_MIX_PATH), arguments);
        Run run;
        if (!process.waitForFinished(limitMs)) {
            process.kill();
            process.waitForFinished();
            run.err = QStringLiteral("did not end within %1 ms").arg(limitMs);
            return run;
        }
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.err = QString::fromLocal8Bit(process.readAllStandardOutput());
        return run;
    }

    // A list in the download folder: its output lines, then one entry.
    QString writeList(const QString& name, const QByteArray& outputLines)
    {
        const QString list = show_ + QLatin1Char('/') + name;
        QFile file(list);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write(outputLines + "path,start_seconds\nline.wav,0\n");
        return list;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        home_ = dir_.filePath(QStringLiteral("home"));
        show_ = home_ + QStringLiteral("/Downloads/show");
        QVERIFY(QDir().mkpath(show_));
        // An 8-bit source whose bytes spell a line of text, as the attack had it.
        std::vector<std::int16_t> samples;
        for (const char c : std::string("ssh-ed25519 AAAA attacker@example\n"))
            samples.push_back(static_cast<std::int16_t>((static_cast<unsigned char>(c) - 128) * 256));
        sonarel::testing::writeWav16((show_ + QStringLiteral("/line.wav")).toStdString(), 1, 8000, samples);
        QFile bashrc(home_ + QStringLiteral("/.bashrc"));
        QVERIFY(bashrc.open(QIODevice::WriteOnly));
        bashrc.write("export PATH\n");
    }

    // A relative name is taken from the list's folder, and a name that is no output file is
    // refused and named: nothing is written, in the home folder or anywhere.
    void aListCannotWriteALoginKeyOrReplaceBashrc()
    {
        const QByteArray eightBit = "#output.rate=8000\n#output.channels=1\n#output.bits=8\n";
        const struct {
            QByteArray file;
            QStringList options;
            QString said;
        } cases[] = {
            {".ssh/authorized_keys", {}, QStringLiteral("must end in one of these extensions")},
            {"../../.ssh/authorized_keys", {QStringLiteral("--yes")}, QStringLiteral("must end in one of")},
            {".bashrc%00.wav",
             {QStringLiteral("--yes")},
             QStringLiteral("\"file=.bashrc\\x00.wav\" is refused: "
                            "the name holds a control character")},
            {"~/.bashrc.wav", {QStringLiteral("--yes")}, QStringLiteral("~ and $NAME are not expanded")},
            {"$HOME/x.wav", {}, QStringLiteral("~ and $NAME are not expanded")},
        };
        const QByteArray bashrc = contentOf(home_ + QStringLiteral("/.bashrc"));
        for (const auto& c : cases) {
            const QString list = writeList(QStringLiteral("list.csv"), "#output.file=" + c.file + "\n" + eightBit);
            const Run run = runMix(c.options +
                                   QStringList{QStringLiteral("--csv"), QStringLiteral("Downloads/show/list.csv")});
            QVERIFY2(run.exitCode == 2, qPrintable(run.err));
            QVERIFY2(run.err.contains(QStringLiteral("warning: Downloads/show/list.csv: the output line \"file=")),
                     qPrintable(run.err));
            QVERIFY2(run.err.contains(c.said), qPrintable(run.err));
            QVERIFY2(run.err.contains(QStringLiteral("no output file")), qPrintable(run.err));
            QVERIFY(!QFileInfo::exists(home_ + QStringLiteral("/.ssh")));
            QVERIFY(!QFileInfo::exists(show_ + QStringLiteral("/.ssh")));
            QCOMPARE(contentOf(home_ + QStringLiteral("/.bashrc")), bashrc);
            QCOMPARE(QDir(home_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     (QStringList{QStringLiteral(".bashrc"), QStringLiteral("Downloads")}));
        }
        // -o names the output as ever, whatever the list says.
        const QString chosen = home_ + QStringLiteral("/chosen.wav");
        const Run run = runMix({QStringLiteral("-q"), QStringLiteral("--csv"), show_ + QStringLiteral("/list.csv"),
                                QStringLiteral("-o"), chosen});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(!run.err.contains(QStringLiteral("names the output")), qPrintable(run.err));
        QCOMPARE(sonarel::testing::readWav(chosen.toStdString()).frames(), std::int64_t{34});
        QVERIFY(QFile::remove(chosen));
    }

    // An output the list names goes where the list lies, said before the mix starts; no folder is
    // made for it, and a file there is replaced only when -o names it (--yes is not enough).

    // An output name too long to be a file's is refused by its line; one too long for a list's
    // line makes the list unreadable, and that is said rather than that the output is missing.
    void anOverlongOutputLineIsNamed()
    {
        const struct {
            int length;
            QString said;
        } cases[] = {
            {5000, QStringLiteral("is refused: the name is too long")},
            {70000, QStringLiteral("Downloads/show/list.csv, line 1: the line is longer than 64 KiB")},
        };
        for (const auto& c : cases) {
            writeList(QStringLiteral("list.csv"), "#output.file=" + QByteArray(c.length, 'd') + ".wav\n");
            const Run run = runMix({QStringLiteral("--csv"), QStringLiteral("Downloads/show/list.csv")});
            QVERIFY2(run.exitCode == 2, qPrintable(run.err));
            QVERIFY2(run.err.contains(c.said), qPrintable(run.err.left(400)));
        }
    }
    void aListsOutputIsSaidAndReplacesNothingWithoutO()
    {
        const QString list = writeList(QStringLiteral("named.csv"), "#output.file=mix.wav\n");
        const QString mix = show_ + QStringLiteral("/mix.wav");
        Run run = runMix({QStringLiteral("-q"), QStringLiteral("--csv"), list});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.err.startsWith(
                     QStringLiteral("sonarel-mix: %1 names the output: the mix goes to %2.\n").arg(list, mix)),
                 qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(home_ + QStringLiteral("/mix.wav")));
        QCOMPARE(sonarel::testing::readWav(mix.toStdString()).sampleRate, 44100);

        const QByteArray first = contentOf(mix);
        run = runMix({QStringLiteral("--yes"), QStringLiteral("--rate"), QStringLiteral("8000"),
                      QStringLiteral("--csv"), list});
        QVERIFY2(run.exitCode == 1, qPrintable(run.err));
        QVERIFY2(run.err.contains(QStringLiteral("%1 exists, and only the list names it as the output, so it is not "
                                                 "replaced.")
                                      .arg(mix)),
                 qPrintable(run.err));
        QCOMPARE(contentOf(mix), first);
        run = runMix({QStringLiteral("--dry-run"), QStringLiteral("--yes"), QStringLiteral("--csv"), list});
        QVERIFY2(run.exitCode == 1 && run.err.contains(QStringLiteral("is not replaced")), qPrintable(run.err));
        run = runMix({QStringLiteral("-q"), QStringLiteral("--yes"), QStringLiteral("--rate"), QStringLiteral("8000"),
                      QStringLiteral("--csv"), list, QStringLiteral("-o"), mix});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(sonarel::testing::readWav(mix.toStdString()).frames(), std::int64_t{34});

        const QString away = writeList(QStringLiteral("away.csv"), "#output.file=../new/mix.wav\n");
        run = runMix({QStringLiteral("--csv"), away});
        QVERIFY2(run.exitCode == 1, qPrintable(run.err));
        QVERIFY2(run.err.contains(QStringLiteral("A folder is not made for an output that a list names")),
                 qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(home_ + QStringLiteral("/Downloads/new")));

        // A list on standard input has no folder to take a relative name from.
        QProcess piped;
        piped.setWorkingDirectory(show_);
        piped.setProcessChannelMode(QProcess::MergedChannels);
        piped.start(QStringLiteral(SONAREL_MIX_PATH), {QStringLiteral("--csv"), QStringLiteral("-")});
        piped.write("#output.file=piped.wav\nline.wav,0\n");
        piped.closeWriteChannel();
        QVERIFY(piped.waitForFinished(30000));
        QCOMPARE(piped.exitCode(), 2);
        QVERIFY(piped.readAll().contains("a relative name is taken from the list's folder, and this list has none"));
        QVERIFY(!QFileInfo::exists(show_ + QStringLiteral("/piped.wav")));
    }

    // A FIFO, a device or a socket is no output, for every format, the dry run and a list alike:
    // refused at once instead of waiting for a reader that never comes.
    void aPipeOrADeviceIsRefusedBeforeItIsOpened()
    {
        const QString source = show_ + QStringLiteral("/line.wav");
        for (const QString& extension : {QStringLiteral("wav"), QStringLiteral("flac"), QStringLiteral("opus"),
                                         QStringLiteral("mp3"), QStringLiteral("ogg"), QStringLiteral("m4a")}) {
            const QString fifo = dir_.filePath(QStringLiteral("out.") + extension);
            QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
            for (const QStringList& extra : {QStringList{}, QStringList{QStringLiteral("--dry-run")}}) {
                const Run run = runMix(extra + QStringList{QStringLiteral("--yes"), QStringLiteral("-o"), fifo, source},
                                       10000);
                QVERIFY2(run.exitCode == 1, qPrintable(extension + QLatin1Char(' ') + run.err));
                QVERIFY2(run.err.contains(QStringLiteral("%1 is a named pipe (FIFO), not a file").arg(fifo)),
                         qPrintable(run.err));
            }
        }
        const QString list = writeList(QStringLiteral("fifo.csv"), "#output.file=../../../out.flac\n");
        Run run = runMix({QStringLiteral("--csv"), list}, 10000);
        QVERIFY2(run.exitCode == 1 && run.err.contains(QStringLiteral("is a named pipe (FIFO), not a file")),
                 qPrintable(run.err));
        run = runMix({QStringLiteral("-o"), QStringLiteral("/dev/null"), source}, 10000);
        QVERIFY2(run.exitCode == 1 && run.err.contains(QStringLiteral("/dev/null is a device, not a file")),
                 qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(ListOutputCliTest)
#include "ListOutputCliTest.moc"
