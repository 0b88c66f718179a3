// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a browser's command line from its .desktop file, splitting it without a shell, and
// naming why a program could not be started (with real files).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/BrowserCommand.h"
#include "platform/QtDesktop.h"

using namespace sonarel;

TEST(DesktopEntryExec, ReadsTheEntryGroupsExecWithItsEscapes)
{
    const QString entry = QStringLiteral(
        "# a comment\n"
        "[Desktop Action new-window]\n"
        "Exec=wrong --new-window %u\n"
        "[Desktop Entry]\n"
        "Name=Browser\n"
        "Exec[de]=wrong too\n"
        "TryExec=browser\n"
        "Exec = \"/opt/My\\sBrowser/run\" --flag=a\\\\b %u\n"
        "[Other]\n"
        "Exec=wrong again\n");
    EXPECT_EQ(desktopEntryExec(entry), QStringLiteral(R"("/opt/My Browser/run" --flag=a\b %u)"));
    EXPECT_TRUE(desktopEntryExec(QStringLiteral("[Desktop Entry]\nName=No program\n")).isEmpty());
    EXPECT_TRUE(desktopEntryExec(QStringLiteral("Exec=outside any group\n")).isEmpty());
}

TEST(SplitExecLine, FollowsTheQuotingRules)
{
    EXPECT_EQ(splitExecLine(QStringLiteral(R"(  prog   "two words"  "q\"uote" "back\\slash" "\$HOME" plain)")),
              (QStringList{"prog", "two words", "q\"uote", "back\\slash", "$HOME", "plain"}));
    EXPECT_EQ(splitExecLine(QStringLiteral(R"(prog "" %k 100%%)")), (QStringList{"prog", "", "100%"}));
    EXPECT_TRUE(splitExecLine(QStringLiteral("   ")).isEmpty());
}

TEST(BrowserLaunch, NeverRunsTheAddressAsAProgram)
{
    EXPECT_TRUE(browserLaunchArguments(QString(), QStringLiteral("https://a.example/")).isEmpty());
    EXPECT_TRUE(browserLaunchArguments(QStringLiteral("\"%u\""), QStringLiteral("https://a.example/")).isEmpty());
    EXPECT_EQ(browserLaunchArguments(QStringLiteral("b %u"), QStringLiteral("-x; rm -rf ~")),
              (QStringList{"b", "-x; rm -rf ~"}));
}

TEST(ProgramStartFailure, NamesWhyFromTheFileSystem)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile plain(dir.filePath(QStringLiteral("not-executable")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("data");
    plain.close();
    QFile broken(dir.filePath(QStringLiteral("broken-program")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(
        "\x7f"
        "ELF but not really");
    broken.close();
    ASSERT_TRUE(broken.setPermissions(broken.permissions() | QFileDevice::ExeOwner));

    EXPECT_EQ(programStartFailureCode(QStringLiteral("sonarel-no-such-program-anywhere")), 2);
    EXPECT_EQ(programStartFailureCode(dir.filePath(QStringLiteral("missing"))), 2);
    EXPECT_EQ(programStartFailureCode(dir.filePath(QStringLiteral("no-folder/program"))), 3);
    EXPECT_EQ(programStartFailureCode(plain.fileName()), 5);
    EXPECT_EQ(programStartFailureCode(dir.path()), 5);
    EXPECT_EQ(programStartFailureCode(broken.fileName()), 11);
}

// The window's desktop asks the real xdg-mime on the PATH; here a stand-in script answers with a
// desktop file id, and the entry lies in a private data folder, in a vendor subfolder.
TEST(QtDesktopBrowser, FindsTheDefaultHandlersEntry)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("bin"))));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("data/applications/vendor"))));
    const QString answerFile = dir.filePath(QStringLiteral("answer"));
    QFile script(dir.filePath(QStringLiteral("bin/xdg-mime")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(
        QStringLiteral("#!/bin/sh\n[ \"$*\" = \"query default text/html\" ] && cat '%1'\n").arg(answerFile).toUtf8());
    script.close();
    ASSERT_TRUE(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
    QFile entry(dir.filePath(QStringLiteral("data/applications/vendor/browser.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nExec=\"/opt/Web Browser/run\" --new %u\n");
    entry.close();

    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", dir.filePath(QStringLiteral("bin")).toLocal8Bit() + ':' + oldPath);
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
    auto answer = [&](const char* text) {
        QFile file(answerFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    QtDesktop desktop;
    answer("vendor-browser.desktop\n");
    EXPECT_EQ(desktop.webBrowserCommand(),
              std::optional<QString>(QStringLiteral(R"("/opt/Web Browser/run" --new %u)")));
    answer("");
    EXPECT_EQ(desktop.webBrowserCommand(), std::nullopt);
    answer("uninstalled.desktop\n");
    EXPECT_EQ(desktop.webBrowserCommand(), std::nullopt);
    qputenv("PATH", oldPath);
    qunsetenv("XDG_DATA_HOME");
}
