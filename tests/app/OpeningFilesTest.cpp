// SPDX-License-Identifier: GPL-3.0-or-later
// Files reaching the mix list from outside: the command line (and so a file manager's "Open
// With"), the Add dialog's filters as the real file dialog shows and applies them, and drops.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QMimeData>
#include <QUrl>
#include <QtTest>

#include "app/AddFilesCommand.h"
#include "app/CommandLine.h"
#include "platform/QtDesktop.h"
#include "support/MainWindowFixture.h"

using namespace sonarel;
using sonarel::testing::MainWindowFixture;
using Action = SonarelCommandLine::Action;

namespace {

const QStringList kFilterLabels{
    QStringLiteral("Media Files (all types)"),
    QStringLiteral("Audio files (*.mp3;*.wav;*.ac3;*.ogg;*.mpa;*.mp2;*.au;*.aif;*.aiff;*.snd)"),
    QStringLiteral("Video Files (*.avi;*.mpg;*.mpeg;*.vob;*.dat;*.mp4;*.divx;*.div;*.ogm;*.qt;*.mov)"),
    QStringLiteral("Windows Media Files (*.asf;*.wma;*.wmv)"),
    QStringLiteral("Any Files (*.*)"),
};

// The names the dialog lists in its current folder, once its model has read the folder.
QStringList namesShown(QFileDialog& dialog)
{
    auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
    QStringList names;
    if (!view)
        return names;
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(root); ++row)
        names << view->model()->index(row, 0, root).data().toString();
    names.sort();
    return names;
}

}  // namespace

class OpeningFilesTest : public QObject {
    Q_OBJECT

private:
    sonarel::testing::MainWindowScratch scratch_;
    const QTemporaryDir& dir_ = scratch_.dir;

    std::unique_ptr<MainWindowFixture> make() { return scratch_.makeWindow(); }
    QString tone(const QString& name, double seconds) { return scratch_.tone(name, seconds); }

    // A copy of a file of the generated test media (tone.flac and tone.ogg last 3 s).
    QString media(const QString& source, const QString& name)
    {
        const QString path = dir_.filePath(name);
        QFile::remove(path);
        return QFile::copy(qEnvironmentVariable("SONAREL_TEST_MEDIA") + QLatin1Char('/') + source, path) ? path
                                                                                                         : QString();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(scratch_.setUp()); }

    void commandLineArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QStringList>("files");
        const QString cwd = QStringLiteral("/home/ann/music");
        QTest::newRow("none") << QStringList{} << int(Action::Run) << QStringList{};
        QTest::newRow("relative and absolute, in order")
            << QStringList{QStringLiteral("b.flac"), QStringLiteral("/tmp/a.wav"), QStringLiteral("./x/../c.mp3")}
            << int(Action::Run)
            << QStringList{cwd + QStringLiteral("/b.flac"), QStringLiteral("/tmp/a.wav"),
                           cwd + QStringLiteral("/c.mp3")};
        QTest::newRow("file URL") << QStringList{QStringLiteral("file:///tmp/my%20song.ogg")} << int(Action::Run)
                                  << QStringList{QStringLiteral("/tmp/my song.ogg")};
        QTest::newRow("a dash name after --")
            << QStringList{QStringLiteral("--"), QStringLiteral("-take2.wav"), QStringLiteral("--help")}
            << int(Action::Run) << QStringList{cwd + QStringLiteral("/-take2.wav"), cwd + QStringLiteral("/--help")};
        QTest::newRow("help wins") << QStringList{QStringLiteral("a.wav"), QStringLiteral("--bogus"),
                                                  QStringLiteral("-h")}
                                   << int(Action::ShowHelp) << QStringList{cwd + QStringLiteral("/a.wav")};
        QTest::newRow("version") << QStringList{QStringLiteral("--version")} << int(Action::ShowVersion)
                                 << QStringList{};
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus"), QStringLiteral("a.wav")}
                                        << int(Action::Refuse) << QStringList{cwd + QStringLiteral("/a.wav")};
    }

    void commandLineArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(QStringList, files);
        const SonarelCommandLine line = parseSonarelCommandLine(arguments, QStringLiteral("/home/ann/music"));
        QCOMPARE(int(line.action), action);
        QCOMPARE(line.files, files);
        if (line.action == Action::Refuse)
            QVERIFY(line.error.contains(QStringLiteral("--bogus")));
        QVERIFY(sonarelVersionText().startsWith(QStringLiteral("sonarel ") + QLatin1String(SONAREL_VERSION)));
    }

    void commandLineFilesStartTheListInOrder()
    {
        QDir::setCurrent(dir_.path());
        tone(QStringLiteral("a.wav"), 0.5);
        QVERIFY(!media(QStringLiteral("tone.flac"), QStringLiteral("b.flac")).isEmpty());
        const SonarelCommandLine line = parseSonarelCommandLine(
            {QStringLiteral("a.wav"), QStringLiteral("b.flac"), QStringLiteral("missing.mp3")}, QDir::currentPath());
        QCOMPARE(line.action, Action::Run);

        auto f = make();
        f->dialog.addFiles(line.files);
        QCOMPARE(f->rows(), 2);
        QCOMPARE(f->cell(0, 0), QStringLiteral("a.wav"));
        QCOMPARE(f->cell(0, 1), QStringLiteral("0.500"));
        QCOMPARE(f->cell(1, 0), QStringLiteral("b.flac"));
        QCOMPARE(f->cell(1, 1), QStringLiteral("3.000"));
        QCOMPARE(f->desktop.messages.size(), size_t{1});
        const QString message = f->desktop.messages[0].text;
        QVERIFY2(message.contains(dir_.filePath(QStringLiteral("missing.mp3"))), qPrintable(message));
        QVERIFY2(!message.contains(QStringLiteral("a.wav")) && !message.contains(QStringLiteral("b.flac")),
                 qPrintable(message));
    }

    void refusedFilesAreNamedNeverDropped()
    {
        auto f = make();
        const QString folder = dir_.filePath(QStringLiteral("takes.wav"));
        QVERIFY(QDir().mkpath(folder));
        const QString good = tone(QStringLiteral("good.wav"), 0.25);
        const QString missing = dir_.filePath(QStringLiteral("gone.opus"));

        // Dropped from a file manager: the readable file is added, the others named together.
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(folder), QUrl::fromLocalFile(good), QUrl::fromLocalFile(missing)});
        QWidget* viewport = f->dialog.mixList().viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
        QCOMPARE(f->rows(), 1);
        QCOMPARE(f->cell(0, 0), QStringLiteral("good.wav"));
        QCOMPARE(f->desktop.messages.size(), size_t{1});
        const QString message = f->desktop.messages[0].text;
        QVERIFY2(message.contains(folder + QStringLiteral(": this is a folder")), qPrintable(message));
        QVERIFY2(message.contains(missing + QStringLiteral(": the file does not exist")), qPrintable(message));

        // What the dialog returns goes the same way.
        f->desktop.filesToOpen = {{missing}};
        QTest::mouseClick(f->button(kIdAdd), Qt::LeftButton);
        QCOMPARE(f->rows(), 1);
        QCOMPARE(f->desktop.messages.size(), size_t{2});
        QVERIFY(f->desktop.messages[1].text.contains(missing));
    }

    void addDialogOffersEveryDecodedKind()
    {
        auto f = make();
        QTest::mouseClick(f->button(kIdAdd), Qt::LeftButton);
        QCOMPARE(f->desktop.dialogRequests.size(), size_t{1});
        const FileDialogRequest request = f->desktop.dialogRequests[0];
        QStringList labels;
        for (const FileFilter& filter : request.filters)
            labels << filter.displayText;
        QCOMPARE(labels, kFilterLabels);
        QCOMPARE(request.selectedFilter, 0);

        struct Expectation {
            int filter;
            QStringList extensions;
        };
        const QStringList audio{QStringLiteral("flac"), QStringLiteral("opus"), QStringLiteral("m4a"),
                                QStringLiteral("mp3"),  QStringLiteral("wav"),  QStringLiteral("oga"),
                                QStringLiteral("aac"),  QStringLiteral("wma"),  QStringLiteral("mka"),
                                QStringLiteral("wv"),   QStringLiteral("ape"),  QStringLiteral("caf"),
                                QStringLiteral("amr")};
        const QStringList video{QStringLiteral("mkv"), QStringLiteral("webm"), QStringLiteral("mp4"),
                                QStringLiteral("m4v"), QStringLiteral("3gp"),  QStringLiteral("ts"),
                                QStringLiteral("flv"), QStringLiteral("avi")};
        for (const Expectation& expected :
             {Expectation{0, audio + video}, Expectation{1, audio}, Expectation{2, video}}) {
            const QStringList& patterns = request.filters[expected.filter].patterns;
            for (const QString& extension : expected.extensions) {
                for (const QString& pattern :
                     {QStringLiteral("*.") + extension, QStringLiteral("*.") + extension.toUpper()})
                    QVERIFY2(patterns.contains(pattern),
                             qPrintable(labels[expected.filter] + QStringLiteral(": ") + pattern));
            }
        }
        QVERIFY(!request.filters[1].patterns.contains(QStringLiteral("*.mkv")));
        QVERIFY(!request.filters[2].patterns.contains(QStringLiteral("*.flac")));
    }

    void fileDialogShowsEachLabelOnceAndAppliesThePatterns()
    {
        const QString folder = dir_.filePath(QStringLiteral("browse"));
        QVERIFY(QDir().mkpath(folder));
        for (const char* name : {"song.FLAC", "voice.opus", "clip.MKV", "film.webm", "notes.txt", "take.m4a"}) {
            QFile file(folder + QLatin1Char('/') + QLatin1String(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        FileDialogRequest request = addFilesDialogRequest(folder);
        const auto dialog = makeFileDialog(nullptr, request, QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFiles);

        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(types);
        QStringList shownLabels;
        for (int i = 0; i < types->count(); ++i)
            shownLabels << types->itemText(i);
        QCOMPARE(shownLabels, kFilterLabels);
        QCOMPARE(types->currentIndex(), 0);

        const QStringList media{QStringLiteral("clip.MKV"), QStringLiteral("film.webm"), QStringLiteral("song.FLAC"),
                                QStringLiteral("take.m4a"), QStringLiteral("voice.opus")};
        QTRY_COMPARE(namesShown(*dialog), media);
        dialog->selectNameFilter(dialog->nameFilters()[2]);  // video
        QTRY_COMPARE(namesShown(*dialog), (QStringList{QStringLiteral("clip.MKV"), QStringLiteral("film.webm")}));
        dialog->selectNameFilter(dialog->nameFilters()[4]);  // any
        QStringList everything = media + QStringList{QStringLiteral("notes.txt")};
        everything.sort();
        QTRY_COMPARE(namesShown(*dialog), everything);
    }

    // The picture of the window that the software centre shows (res/tools/make_screenshot.sh
    // saves it into res/desktop/ through SONAREL_SCREENSHOT).
    void picturesTheWindowWithOpenedFiles()
    {
        const QStringList files{media(QStringLiteral("tone.flac"), QStringLiteral("Morning Birds.flac")),
                                tone(QStringLiteral("Voice over.wav"), 2.25),
                                media(QStringLiteral("tone.ogg"), QStringLiteral("Jingle.ogg"))};
        auto f = make();
        OutputSettings settings = f->dialog.outputSettings();
        settings.outputFile = QStringLiteral("/home/ann/Music/audio_mix.wav");
        f->dialog.setOutputSettings(settings);
        f->dialog.addFiles(parseSonarelCommandLine(files, dir_.path()).files);
        QCOMPARE(f->rows(), 3);
        MixItemStore& store = f->dialog.store();
        store.at(1).startTime = 15'000'000;
        store.at(1).volume = 0.8;
        store.at(2).startTime = 30'000'000;
        store.at(2).speed = 1.25;
        f->dialog.mixList().refresh(store);
        f->dialog.mixList().selectRow(1);
        f->dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f->dialog));

        const QImage picture = f->dialog.grab().toImage();
        QString path = qEnvironmentVariable("SONAREL_SCREENSHOT");
        if (path.isEmpty())
            path = QCoreApplication::applicationDirPath() + QStringLiteral("/software-centre.png");
        QVERIFY(picture.save(path));
        QCOMPARE(QImage(path).size(), f->dialog.size() * f->dialog.devicePixelRatio());
        qInfo("window picture: %s", qPrintable(path));
    }
};

QTEST_MAIN(OpeningFilesTest)
#include "OpeningFilesTest.moc"
