// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "model/RelinkSearch.h"

using namespace sonarel;

TEST(RelinkSearch, FindsMovedFilesByNamePreferringTheirOwnFolders)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QStringList files{"a/take1/voice.wav", "a/take2/voice.wav", "b/deep/er/music.mp3",
                            "c/music.mp3",       "c/.hidden.wav",     "x/take2/other.wav"};
    for (const QString& file : files) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(dir.filePath(file)).path()));
        QFile f(dir.filePath(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    // A link back up the tree must not trap the search.
    ASSERT_TRUE(QFile::link(dir.path(), dir.filePath(QStringLiteral("a/loop"))));

    const std::vector<std::string> missing{"/old/take2/voice.wav", "/old/take1/voice.wav", "/old/music.mp3",
                                           "/old/gone.wav", "/old/.hidden.wav"};
    const std::vector<std::string> found = findMovedFiles(missing, dir.path());
    const auto at = [&dir](const char* file) { return dir.filePath(QString::fromLatin1(file)).toStdString(); };
    ASSERT_EQ(found.size(), missing.size());
    EXPECT_EQ(found[0], at("a/take2/voice.wav"));
    EXPECT_EQ(found[1], at("a/take1/voice.wav"));
    EXPECT_EQ(found[2], at("c/music.mp3"));  // the nearer of two equal matches
    EXPECT_EQ(found[3], "");
    EXPECT_EQ(found[4], at("c/.hidden.wav"));

    // Stopping at once finds nothing more, and returns.
    int calls = 0;
    findMovedFiles(missing, QStringLiteral("/usr"), [&calls] { return ++calls < 2; });
    EXPECT_EQ(calls, 2);
}
