// SPDX-License-Identifier: GPL-3.0-or-later
// What sonarel-mix says when something is wrong: the cause first and the file named, escaped where
// a name holds control characters, and said also with -q. Runs the real program; the cases that
// need another user run it as "nobody" (setpriv) and skip where that is not possible.
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

#include "app/cli/ConsoleDesktop.h"
#include "platform/media/FaultPoints.h"
#include "render/MixRunControl.h"
#include "support/SmallDisk.h"
#include "support/WavFile.h"

using namespace sonarel;

namespace {

constexpr uid_t kNobody = 65534;

struct Run {
    int exitCode = -1;
    QByteArray err;
};

// Runs sonarel-mix, as "nobody" when `asNobody`.
Run runMix(const QStringList& arguments, bool asNobody = false)
{
    QProcess process;
    if (asNobody)
        process.start(QStringLiteral("setpriv"),
                      QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                  QStringLiteral("--clear-groups"), QStringLiteral(SONAREL_MIX_PATH)} +
                          arguments);
    else
        process.start(QStringLiteral(SONAREL_MIX_PATH), arguments);
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.err = process.readAllStandardError();
    return run;
}

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class NoGraphView final : public MixRunView {
public:
    void mixStarted() override {}
    void mixFinished(MixOutcome) override {}
    void setStatusText(const QString&) override {}
    void postGraphNotice() override {}
};

}  // namespace

class MessagesCliTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString input_;

    QString path(const QString& name) const { return dir_.filePath(name); }

    // Whether this test may run the program as another user; a reason to skip when not.
    QString whyNoOtherUser() const
    {
        if (::geteuid() != 0)
            return QStringLiteral("running as another user needs root");
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            return QStringLiteral("setpriv is not installed");
        return {};
    }

    // A folder of the test that belongs to "nobody".
    QString nobodysFolder(const QString& name)
    {
        const QString folder = path(name);
        QDir().mkpath(folder);
        if (::chown(QFile::encodeName(folder).constData(), kNobody, kNobody) != 0)
            return {};
        return folder;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        // Another user must reach the input and the folders below.
        QVERIFY(QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                       QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                       QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                                       QFileDevice::ExeGroup));
        input_ = path(QStringLiteral("in.wav"));
        testing::writeWav16(input_.toStdString(), 2, 44100, testing::sine16(2, 44100, 0.3, 440, 8000));
    }

    void aReadOnlyFolderIsNamedWithItsCauseBeforeAnythingStarts()
    {
        testing::SmallDisk disk(QStringLiteral("1m,ro"));
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const QString out = disk.filePath(QStringLiteral("out.wav"));
        const Run run = runMix({QStringLiteral("-q"), QStringLiteral("--yes"), QStringLiteral("-o"), out, input_});
        QCOMPARE(run.exitCode, 1);
        const QString err = QString::fromLocal8Bit(run.err);
        QVERIFY2(err.contains(QStringLiteral("The output file %1 cannot be written: %2 is on a read-only file system.")
                                  .arg(out, disk.path())),
                 qPrintable(err));
        // Said once, before any step of the engine could fail on it.
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
        QVERIFY(!err.contains(QStringLiteral("pControl")) && !err.contains(QStringLiteral("hr =")));
    }

    void aFolderWithoutPermissionIsNamedWithItsCause()
    {
        if (const QString why = whyNoOtherUser(); !why.isEmpty())
            QSKIP(qPrintable(why));
        const QString folder = path(QStringLiteral("closed"));
        QVERIFY(QDir().mkpath(folder));  // root's, and nobody may not write in it
        const Run run = runMix(
            {QStringLiteral("-q"), QStringLiteral("-o"), folder + QStringLiteral("/out.wav"), input_}, true);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(
            run.err.contains(QStringLiteral("%1 may not be written by you (no permission)").arg(folder).toLocal8Bit()),
            run.err.constData());
        QVERIFY(!QFile::exists(folder + QStringLiteral("/out.wav")));
    }

    void quietStillSaysWhatItLeavesOut()
    {
        const QString out = path(QStringLiteral("quiet.wav"));
        const QString missing = path(QStringLiteral("gone.wav"));
        const Run run = runMix({QStringLiteral("-q"), QStringLiteral("--yes"), QStringLiteral("-o"), out, input_,
                                missing});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(missing.toLocal8Bit()), run.err.constData());
        QVERIFY(run.err.contains("Mix without them?"));
        QVERIFY(!run.err.contains("Done."));  // progress and the closing line stay hidden
        QVERIFY(QFileInfo(out).size() > 44);
    }

    void anOutputTheUserCannotReadIsStillAskedAbout()
    {
        if (const QString why = whyNoOtherUser(); !why.isEmpty())
            QSKIP(qPrintable(why));
        const QString folder = nobodysFolder(QStringLiteral("private"));
        QVERIFY(!folder.isEmpty());
        const QString out = folder + QStringLiteral("/kept.wav");
        QFile file(out);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("what was there before");
        file.close();
        QVERIFY(::chown(QFile::encodeName(out).constData(), kNobody, kNobody) == 0);
        QVERIFY(::chmod(QFile::encodeName(out).constData(), 0200) == 0);
        const Run run = runMix({QStringLiteral("-q"), QStringLiteral("-o"), out, input_}, true);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains((out + QStringLiteral(" exists. Do you want to replace it?")).toLocal8Bit()),
                 run.err.constData());
        QCOMPARE(contentsOf(out), QByteArray("what was there before"));
    }

    void controlCharactersInNamesAreShownEscaped()
    {
        const QString hostile = path(QStringLiteral("retitle\x1b]0;owned\x07\rclear\x1b[2J.wav"));
        const QString out = path(QStringLiteral("escaped.wav"));
        const Run run = runMix({QStringLiteral("--yes"), QStringLiteral("-q"), QStringLiteral("-o"), out, input_,
                                hostile});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains("retitle\\x1b]0;owned\\x07\\rclear\\x1b[2J.wav"), run.err.constData());
        QVERIFY(!run.err.contains('\x1b'));
        QVERIFY(!run.err.contains('\x07'));
        QVERIFY(!run.err.contains('\r'));
    }

    void aFileThatIsNotMediaIsDescribedTheSameWayEverywhere()
    {
        const QString junk = path(QStringLiteral("notes.mp3"));
        QFile file(junk);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("These are notes, not sound.\n");
        file.close();
        const Run run = runMix({QStringLiteral("--yes"), QStringLiteral("-q"), QStringLiteral("-o"),
                                path(QStringLiteral("junk-mix.wav")), input_, junk});
        QCOMPARE(run.exitCode, 0);
        const QString err = QString::fromLocal8Bit(run.err);
        // Named when it is measured and again when the mix leaves it out, in the same words.
        QCOMPARE(err.count(QStringLiteral("not a media file that can be played")), 2);
        QVERIFY2(!err.contains(QStringLiteral("not valid")), qPrintable(err));
    }

    void aFailedStepSaysTheFileAndTheCauseFirst()
    {
        media::MediaLibrary library;
        QCOMPARE(library.initialize(), media::kOk);
        MixItemStore store;
        QCOMPARE(store.append(input_.toStdString(), kReferenceUnitsPerSecond * 3 / 10), AppendResult::Appended);
        OutputSettings settings;
        settings.outputFile = path(QStringLiteral("step.wav"));
        std::FILE* sink = std::tmpfile();
        QVERIFY(sink != nullptr);
        ConsoleDesktop desktop(true, sink);
        NoGraphView view;
        MixRunControl control(library, desktop, view);
        library.faults().fail(media::fault::kRun, media::kErrAccessDenied);
        control.start(store, settings);
        QVERIFY(!control.isMixing());
        library.faults().clear();
        library.faults().fail(media::fault::kSetFileName, media::kErrPathNotFound);
        control.start(store, settings);
        QVERIFY(!control.isMixing());

        std::rewind(sink);
        char buffer[4096] = {};
        const std::size_t length = std::fread(buffer, 1, sizeof buffer - 1, sink);
        std::fclose(sink);
        const QStringList lines =
            QString::fromLocal8Bit(buffer, static_cast<qsizetype>(length)).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 3);  // one line per failure
        const QString prefix = applicationName() + QStringLiteral(": The mix into ") + settings.outputFile +
                               QStringLiteral(" could not be started: ");
        QCOMPARE(lines[0], prefix + QStringLiteral("Access to the file was denied. (can not pControl->Run()!!!)"));
        QCOMPARE(lines[1], prefix + QStringLiteral("The folder of the file could not be found. "
                                                   "(hr = pWriter->SetFileName( Filename, NULL );)"));
    }
};

QTEST_GUILESS_MAIN(MessagesCliTest)
#include "MessagesCliTest.moc"
