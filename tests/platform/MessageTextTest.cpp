// SPDX-License-Identifier: GPL-3.0-or-later
// Names and values as messages show them, and the check that tells why an output cannot be written.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/FileChecks.h"
#include "platform/MessageText.h"

using namespace sonarel;

// QString in failure reports as text.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

TEST(MessageText, ControlCharactersAreShownEscapedAndNothingElseChanges)
{
    EXPECT_EQ(escapeControlCharacters(QStringLiteral("a\x1b]0;title\x07z.wav")),
              QStringLiteral("a\\x1b]0;title\\x07z.wav"));
    EXPECT_EQ(escapeControlCharacters(QStringLiteral("one\rtwo\nthree\tfour")),
              QStringLiteral("one\\rtwo\\nthree\\tfour"));
    EXPECT_EQ(escapeControlCharacters(QString(QChar(0x7f)) + QChar(0x9b) + QChar(0xa0)),
              QStringLiteral("\\x7f\\x9b") + QChar(0xa0));
    const QString plain = QStringLiteral("Größe – 音楽 (1).mp3");
    EXPECT_EQ(escapeControlCharacters(plain), plain);
    // A whole message keeps its layout; a name inside it does not get to make one.
    EXPECT_EQ(safeMessageText(QStringLiteral("first\n\tsecond\r\x1b[2J")),
              QStringLiteral("first\n\tsecond\\r\\x1b[2J"));
    EXPECT_EQ(nameInMessage(std::string("x\ny")), "x\\ny");
}

TEST(MessageText, LongValuesKeepBothEndsAndSayHowLongTheyWere)
{
    const QString path = QStringLiteral("/music/") + QString(5000, QLatin1Char('d')) + QStringLiteral("/song.mp3");
    const QString shown = nameInMessage(path);
    EXPECT_LT(shown.size(), kLongestValueInMessage + 40);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("/music/ddd")));
    EXPECT_TRUE(shown.contains(QStringLiteral("d/song.mp3\u2026")) || shown.contains(QStringLiteral("d/song.mp3 (")));
    EXPECT_TRUE(shown.endsWith(QStringLiteral(" (%1 characters)").arg(path.size())));
    const QString exact(kLongestValueInMessage, QLatin1Char('x'));
    EXPECT_EQ(nameInMessage(exact), exact);
    // A character outside the basic plane is never cut in half.
    QString emoji;
    for (int i = 0; i < 200; ++i)
        emoji += QString::fromUcs4(U"\U0001F3B5");
    const QString cut = shortenForMessage(emoji, 101);
    for (qsizetype i = 0; i < cut.size(); ++i) {
        if (cut.at(i).isHighSurrogate())
            ASSERT_TRUE(i + 1 < cut.size() && cut.at(++i).isLowSurrogate()) << i;
        else
            ASSERT_FALSE(cut.at(i).isLowSurrogate()) << i;
    }
}

TEST(MessageText, ListsShowTwentyAndCountTheRest)
{
    QStringList names;
    for (int i = 1; i <= 20; ++i)
        names << QStringLiteral("file%1.wav").arg(i);
    EXPECT_EQ(listInMessage(names), names.join(QLatin1Char('\n')));
    names << QStringLiteral("file21.wav") << QStringLiteral("file22.wav");
    const QStringList lines = listInMessage(names).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines[19], QStringLiteral("file20.wav"));
    EXPECT_EQ(lines[20], QStringLiteral("... and 2 more"));
}

TEST(OutputChecks, AnOutputThatCannotBeWrittenIsNamedWithItsCause)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_TRUE(problemWritingFile(dir.filePath(QStringLiteral("out.wav"))).none());
    // A folder that is not there yet is made by the mix.
    EXPECT_TRUE(problemWritingFile(dir.filePath(QStringLiteral("new/deeper/out.wav"))).none());

    QFile file(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    WriteProblem problem = problemWritingFile(dir.filePath(QStringLiteral("plain/out.wav")));
    EXPECT_EQ(problem.where, dir.filePath(QStringLiteral("plain")));
    EXPECT_EQ(problem.cause, QStringLiteral("is not a folder"));
    problem = problemWritingFile(dir.filePath(QStringLiteral("plain/more/out.wav")));
    EXPECT_EQ(problem.where, dir.filePath(QStringLiteral("plain")));
    EXPECT_EQ(problem.cause, QStringLiteral("is not a folder"));

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken.wav")));
    problem = problemWritingFile(dir.filePath(QStringLiteral("taken.wav")));
    EXPECT_EQ(problem.cause, QStringLiteral("is a folder, not a file"));
}

TEST(OutputChecks, AFileExistsWhateverItsPermissionsAndALinkToNothingToo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString writeOnly = dir.filePath(QStringLiteral("w.wav"));
    QFile file(writeOnly);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_EQ(::chmod(QFile::encodeName(writeOnly).constData(), 0200), 0);
    EXPECT_TRUE(nameIsTaken(writeOnly));
    const QString dangling = dir.filePath(QStringLiteral("dangling.wav"));
    ASSERT_EQ(::symlink("nowhere.wav", QFile::encodeName(dangling).constData()), 0);
    EXPECT_TRUE(nameIsTaken(dangling));
    EXPECT_FALSE(nameIsTaken(dir.filePath(QStringLiteral("free.wav"))));
    EXPECT_FALSE(nameIsTaken(dir.path()));
}
