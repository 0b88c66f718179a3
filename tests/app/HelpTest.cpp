// SPDX-License-Identifier: GPL-3.0-or-later
// Help, About and Homepage: the manual is found in the build tree and in an installed tree, every
// link of every page leads somewhere real, and both ways to About show the same box with the
// build's version and working links.
#include <QContextMenuEvent>
#include <QDirIterator>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QXmlStreamReader>
#include <QtTest>
#include <functional>
#include <map>
#include <set>

#include "app/AboutDialog.h"
#include "app/InfoCommands.h"
#include "app/MainDialog.h"
#include "app/ProductInfo.h"
#include "controls/ControlIds.h"
#include "controls/HyperLinkStatic.h"
#include "res/Resources.h"
#include "settings/ProfileStore.h"
#include "support/RecordingDesktop.h"

using namespace sonarel;
using sonarel::testing::RecordingDesktop;

namespace {

const QString kManualDir = QStringLiteral(SONAREL_HELP_DIR);
const QString kProgramDir = QStringLiteral(SONAREL_APP_DIR);

struct Page {
    std::set<QString> ids;
    QStringList references;  // href and src values
    QString title;
    bool usesStylesheet = false;
    bool hasScript = false;
    QString error;
};

Page readPage(const QString& path)
{
    Page page;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        page.error = QStringLiteral("cannot open");
        return page;
    }
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (attributes.hasAttribute(QStringLiteral("id")))
            page.ids.insert(attributes.value(QStringLiteral("id")).toString());
        for (const char* name : {"href", "src"}) {
            if (attributes.hasAttribute(QLatin1String(name)))
                page.references << attributes.value(QLatin1String(name)).toString();
        }
        if (xml.name() == QLatin1String("title"))
            page.title = xml.readElementText();
        else if (xml.name() == QLatin1String("link") &&
                 attributes.value(QStringLiteral("href")) == QLatin1String("help.css"))
            page.usesStylesheet = true;
        else if (xml.name() == QLatin1String("script"))
            page.hasScript = true;
    }
    if (xml.hasError())
        page.error = QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
    return page;
}

// Runs `open`, which shows a modal window, and hands the first window of type W that appears to
// `inspect`, then closes it.
template <typename W>
void whileModal(const std::function<void()>& open, const std::function<void(W&)>& inspect)
{
    bool seen = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<W*>(widget);
            if (window && window->isVisible() && !seen) {
                seen = true;
                inspect(*window);
                window->close();
            }
        }
    });
    poll.start();
    open();
    poll.stop();
    QVERIFY2(seen, "no window appeared");
}

QString versionOf(AboutDialog& about)
{
    return about.findChild<QLabel*>(QStringLiteral("version"))->text();
}

}  // namespace

class HelpTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        ::setenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("config")).toLocal8Bit().constData(), 1);
        initSonarelResources();
    }

    void everyLinkOfEveryPageFindsItsTarget()
    {
        std::map<QString, Page> pages;
        QDirIterator files(kManualDir, {QStringLiteral("*.html")}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = QDir::cleanPath(files.next());
            pages[path] = readPage(path);
        }
        const QStringList needed{"Introduction", "AddingFiles",      "EditingEntries", "OutputOptions",
                                 "Mixing",       "CommandLineMixer", "Settings",       "Troubleshooting"};
        for (const QString& name : needed)
            QVERIFY2(pages.count(QDir::cleanPath(kManualDir + QLatin1Char('/') + name + QStringLiteral(".html"))),
                     qPrintable(name));

        std::set<QString> used;
        for (const auto& [path, page] : pages) {
            QVERIFY2(page.error.isEmpty(), qPrintable(path + QStringLiteral(": ") + page.error));
            QVERIFY2(!page.title.isEmpty() && page.usesStylesheet && !page.hasScript, qPrintable(path));
            for (const QString& reference : page.references) {
                const QUrl url(reference);
                const QString where = path + QStringLiteral(" -> ") + reference;
                if (!url.scheme().isEmpty()) {
                    QVERIFY2(url.scheme() == QLatin1String("https"), qPrintable(where));
                    continue;
                }
                const QString target = url.path().isEmpty()
                                           ? path
                                           : QDir::cleanPath(QFileInfo(path).dir().filePath(url.path()));
                QVERIFY2(target.startsWith(kManualDir + QLatin1Char('/')), qPrintable(where));
                QVERIFY2(QFileInfo(target).isFile(), qPrintable(where));
                used.insert(target);
                if (url.hasFragment()) {
                    QVERIFY2(pages.count(target), qPrintable(where));
                    QVERIFY2(pages[target].ids.count(url.fragment()), qPrintable(where));
                }
            }
        }
        // Every page and picture is reachable; nothing lies unused in the folder.
        QDirIterator all(kManualDir, QDir::Files, QDirIterator::Subdirectories);
        while (all.hasNext()) {
            const QString path = QDir::cleanPath(all.next());
            QVERIFY2(used.count(path), qPrintable(path + QStringLiteral(" is not linked from any page")));
        }
    }

    void helpOpensTheManualBesideTheProgram()
    {
        RecordingDesktop desktop;
        helpCommand(desktop, kProgramDir);
        QCOMPARE(desktop.openedDocuments.size(), std::size_t(1));
        QCOMPARE(desktop.openedDocuments.front(), QDir::cleanPath(kManualDir + QStringLiteral("/Introduction.html")));
        QVERIFY(QFileInfo(desktop.openedDocuments.front()).isFile());
        QVERIFY(desktop.messages.empty());
    }

    void helpOpensTheInstalledManual()
    {
        QTemporaryDir prefix;
        const QString installed = prefix.filePath(QStringLiteral("share/doc/sonarel/help"));
        QVERIFY(QDir().mkpath(installed));
        QVERIFY(QDir().mkpath(prefix.filePath(QStringLiteral("bin"))));
        QDirIterator files(kManualDir, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString source = files.next();
            const QString copy = installed + QLatin1Char('/') + QDir(kManualDir).relativeFilePath(source);
            QVERIFY(QDir().mkpath(QFileInfo(copy).path()));
            QVERIFY(QFile::copy(source, copy));
        }
        RecordingDesktop desktop;
        helpCommand(desktop, prefix.filePath(QStringLiteral("bin")));
        QCOMPARE(desktop.openedDocuments, std::vector<QString>{installed + QStringLiteral("/Introduction.html")});

        // A manual beside the program comes first.
        QVERIFY(QDir().mkpath(prefix.filePath(QStringLiteral("bin/help"))));
        QVERIFY(QFile::copy(installed + QStringLiteral("/Introduction.html"),
                            prefix.filePath(QStringLiteral("bin/help/Introduction.html"))));
        helpCommand(desktop, prefix.filePath(QStringLiteral("bin")));
        QCOMPARE(desktop.openedDocuments.back(), prefix.filePath(QStringLiteral("bin/help/Introduction.html")));
    }

    void helpSaysWhereItLookedOrWhatFailed()
    {
        QTemporaryDir empty;
        RecordingDesktop desktop;
        helpCommand(desktop, empty.filePath(QStringLiteral("bin")));
        QVERIFY(desktop.openedDocuments.empty());
        QCOMPARE(desktop.texts(),
                 QStringList{QStringLiteral(
                                 "The manual was not found. Sonarel looks for it in:\n%1/bin/help/Introduction.html\n"
                                 "%1/share/doc/sonarel/help/Introduction.html")
                                 .arg(empty.path())});

        RecordingDesktop noBrowser;
        noBrowser.openSucceeds = false;
        helpCommand(noBrowser, kProgramDir);
        QCOMPARE(noBrowser.texts().size(), 1);
        QVERIFY(noBrowser.texts().front().endsWith(QDir::cleanPath(kManualDir + QStringLiteral("/Introduction.html"))));
    }

    void homepageOpensTheProductPage()
    {
        RecordingDesktop desktop;
        homepageCommand(desktop);
        QCOMPARE(desktop.openedDocuments, std::vector<QString>{QString::fromUtf8(kHomepageAddress)});
        QVERIFY(desktop.messages.empty());
        desktop.openSucceeds = false;
        homepageCommand(desktop);
        QCOMPARE(desktop.texts().size(), 1);
    }

    void aboutBoxShowsTheBuildsVersionAndWorkingLinks()
    {
        RecordingDesktop desktop;
        AboutDialog about(desktop);
        QCOMPARE(about.objectName(), QStringLiteral("100"));
        QCOMPARE(about.windowTitle(), QStringLiteral("About Sonarel"));

        // The version is the one sonarel-mix reports: one number for the whole build.
        QProcess mixer;
        mixer.start(QStringLiteral(SONAREL_MIX_PROGRAM), {QStringLiteral("--version")});
        QVERIFY(mixer.waitForFinished(30000));
        const QString mixerVersion =
            QString::fromUtf8(mixer.readAllStandardOutput()).section(u'\n', 0, 0).section(u' ', 1);
        QVERIFY(!mixerVersion.isEmpty());
        QCOMPARE(versionOf(about), QStringLiteral("Sonarel Version ") + mixerVersion);

        const struct {
            HyperLinkStatic& link;
            int id;
            const char* text;
            const char* address;
        } links[] = {{about.webSiteLink(), AboutDialog::kIdWebSiteLink, kMakerAddress, kMakerAddress},
                     {about.contactLink(), AboutDialog::kIdContactLink, "Support Email: Click here", kContactAddress}};
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        for (const auto& entry : links) {
            QCOMPARE(entry.link.objectName(), QString::number(entry.id));
            QCOMPARE(entry.link.text(), QString::fromUtf8(entry.text));
            QCOMPARE(entry.link.toolTip(), QString::fromUtf8(entry.address));
            QVERIFY(entry.link.font().underline());
            QVERIFY(about.rect().contains(entry.link.geometry()));
            QTest::mouseClick(&entry.link, Qt::LeftButton, {}, entry.link.rect().center());
            QCOMPARE(desktop.openedDocuments.back(), QString::fromUtf8(entry.address));
            QVERIFY(entry.link.isVisited());
            QVERIFY(entry.link.font().underline());
        }
        QVERIFY(about.findChild<QPushButton*>(QStringLiteral("1"))->isDefault());
    }

    void theButtonAndTheContextMenuShowTheSameAboutBox()
    {
        RecordingDesktop desktop;
        ProfileStore profile(QStringLiteral("sonarel-help-test"));
        media::MediaLibrary library;
        MainDialog window(desktop, profile, library, dir_.filePath(QStringLiteral("Music")));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QStringList versions;
        auto record = [&](AboutDialog& about) {
            QCOMPARE(about.parentWidget(), &window);
            versions << versionOf(about);
        };
        auto* button = window.findChild<QPushButton*>(objectNameOf(kIdAbout));
        whileModal<AboutDialog>([&] { button->click(); }, record);

        // A keyboard user: the context menu's About item by its mnemonic.
        whileModal<QMenu>(
            [&] {
                QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), window.mapToGlobal(QPoint(5, 5)));
                QApplication::sendEvent(&window, &event);
            },
            [&](QMenu& menu) { whileModal<AboutDialog>([&] { QTest::keyClick(&menu, Qt::Key_A); }, record); });

        QCOMPARE(versions.size(), 2);
        QCOMPARE(versions[0], productVersionText());
        QCOMPARE(versions[1], versions[0]);
    }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(HelpTest)
#include "HelpTest.moc"
