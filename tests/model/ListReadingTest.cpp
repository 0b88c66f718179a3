// SPDX-License-Identifier: GPL-3.0-or-later
// Reading list files as they come: line endings of every origin, limits that keep a hostile file
// small and quick to refuse, names that are not UTF-8, unknown columns reported.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <fstream>

#include "model/ListRecordReader.h"
#include "model/MixListFile.h"
#include "platform/NativePath.h"

using namespace sonarel;

namespace {

class ListReading : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    // QTemporaryDir cannot remove a name that is not UTF-8 (Qt changes it); the test does.
    void TearDown() override
    {
        for (const std::string& name : madeByBytes_)
            ::unlink(name.c_str());
    }

    // Written by its bytes: QFile would change a name that is not UTF-8.
    QString write(const QString& name, const QByteArray& content)
    {
        const std::string path = folder() + "/" + pathBytes(name);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(content.constData(), content.size());
        EXPECT_TRUE(out.good()) << path;
        madeByBytes_.push_back(path);
        return pathFromBytes(path);
    }
    std::string folder() const { return pathBytes(dir_.path()); }

    QTemporaryDir dir_;
    std::vector<std::string> madeByBytes_;
};

long peakMemoryKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

TEST_F(ListReading, LineEndingsOfEveryOriginReadAlike)
{
    const QByteArray lines[] = {
        "# made by hand",     "path,start_seconds,volume,speed", "a.wav,0,1,1", "", "\"two\nlines.wav\",1.5,0.5,2",
        "\"x, y.wav\",2,1,1",
    };
    std::vector<MixItem> expected;
    for (const char* ending : {"\n", "\r\n", "\r"}) {
        QByteArray text;
        for (const QByteArray& line : lines)
            text += QByteArray(line).replace("\n", ending) + ending;
        std::vector<MixItem> entries;
        ImportError error;
        ASSERT_TRUE(parseMixListCsv(text.toStdString(), "/m", entries, error)) << error.message;
        ASSERT_EQ(entries.size(), 3u) << "ending " << QByteArray(ending).toHex().constData();
        EXPECT_EQ(entries[1].startTime, 15'000'000);
        EXPECT_EQ(entries[1].filePath, std::string("/m/two") + ending + "lines.wav");  // kept as written
        EXPECT_EQ(entries[2].filePath, "/m/x, y.wav");

        // A fault is named by its line, however the lines end: the quoted break counts as one.
        text += QByteArray("b.wav,soon") + ending;
        EXPECT_FALSE(parseMixListCsv(text.toStdString(), "/m", entries, error));
        EXPECT_EQ(error.line, 8) << "ending " << QByteArray(ending).toHex().constData();
    }
}

TEST_F(ListReading, HugeValuesAreRefusedWithAShortMessage)
{
    const struct {
        QByteArray text;
        int line;
        const char* says;
    } cases[] = {
        // A 10 MB number: refused at the field limit, never parsed whole or shown whole.
        {"path,start\na.wav,1" + QByteArray(10'000'000, '5') + "\n", 2, "a field is longer than 16 KiB"},
        // A value short enough to be read, but far too long to be shown.
        {"a.wav," + QByteArray(10'000, '7') + "x\n", 1, "start"},
        {"a.wav,0\n\"" + QByteArray(5'000'000, 'q'), 2, "a field is longer than"},
        {"a.wav,0\n" + QByteArray(3'000'000, ','), 2, "more than 256 fields"},
        {"a.wav,0\n" + QByteArray(70 * 1024, ' ') + "b.wav" + QByteArray(8 * 1024, 'b') + ",1\n", 2,
         "the line is longer than 64 KiB"},
        {"#" + QByteArray(100'000, '#') + "\na.wav\n", 1, "the line is longer than"},
        {"path,start,path\n", 1, "twice"},
    };
    for (const auto& c : cases) {
        const QString list = write(QStringLiteral("huge.csv"), c.text);
        std::vector<MixItem> entries;
        ImportError error;
        EXPECT_FALSE(readMixListFile(list, entries, error));
        EXPECT_EQ(error.line, c.line) << error.message;
        EXPECT_LE(error.message.size(), 240u) << error.message;
        EXPECT_NE(error.message.find(c.says), std::string::npos) << error.message;
    }
}

TEST_F(ListReading, ALargeListCostsNoMoreThanItsLine)
{
    // 63 MB of commas in one line, and 60 MB of short lines that are not entries: each is refused
    // without its size ever being held in memory.
    const long before = peakMemoryKiB();
    const QString commas = write(QStringLiteral("commas.csv"), QByteArray(63'000'000, ','));
    QByteArray comments;
    while (comments.size() < 60'000'000)
        comments += "# a remark that is not an entry\n";
    comments += "a.wav,1,loud\n";
    const QString remarks = write(QStringLiteral("remarks.csv"), comments);
    comments = QByteArray();
    const long written = peakMemoryKiB();

    std::vector<MixItem> entries;
    ImportError error;
    EXPECT_FALSE(readMixListFile(commas, entries, error));
    EXPECT_EQ(error.line, 1);
    EXPECT_FALSE(readMixListFile(remarks, entries, error));
    EXPECT_EQ(error.line, 1'875'001);
    // Writing the files took ~120 MB at most once; reading them may add a few MB, not their size.
    EXPECT_LT(peakMemoryKiB() - std::max(before, written), 16 * 1024);

    // Beyond 64 MiB a file is not a list, whatever it holds.
    QFile big(write(QStringLiteral("big.csv"), "a.wav,0\n"));  // an ASCII name: QFile may open it
    ASSERT_TRUE(big.open(QIODevice::ReadWrite) && big.resize(kLargestListFile + 1));
    EXPECT_FALSE(readMixListFile(big.fileName(), entries, error));
    EXPECT_EQ(error.line, 0);
    EXPECT_NE(error.message.find("too large"), std::string::npos);
}

TEST_F(ListReading, AStreamIsReadAsItComes)
{
    // A pipe delivers the list in pieces (the byte-order mark among them) and says nothing of its
    // size: the same entries as from the file, and the same limit on the whole.
    const QString list = write(QStringLiteral("piped.csv"), "\xEF\xBB\xBFpath,start\r\na.wav,1\r\nb.wav,2\r\n");
    QProcess cat;
    cat.start(QStringLiteral("cat"), {list});
    ASSERT_TRUE(cat.waitForStarted());
    std::vector<MixItem> entries;
    ImportError error;
    ASSERT_TRUE(readMixList(cat, "/p", entries, error)) << error.message;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].filePath, "/p/a.wav");
    EXPECT_EQ(entries[1].startTime, 20'000'000);
    cat.waitForFinished();

    QProcess repeat;  // remarks without end
    repeat.start(QStringLiteral("yes"), {QStringLiteral("# ") + QString(1000, QLatin1Char('-'))});
    ASSERT_TRUE(repeat.waitForStarted());
    EXPECT_FALSE(readMixList(repeat, "/p", entries, error));
    EXPECT_EQ(error.line, 0);
    EXPECT_NE(error.message.find("too large"), std::string::npos);
    repeat.kill();
    repeat.waitForFinished();
}

TEST_F(ListReading, NamesKeepTheirBytes)
{
    // A Latin-1 name in a list on disk, and the list's own name in Latin-1 too: the bytes reach
    // the entry, and saving writes them back unchanged.
    const std::string latin1 = "caf\xE9 \xFF.wav";
    const QByteArray text = QByteArray("path,start_seconds,volume,speed\n") + latin1.c_str() + ",0,1,1\n";
    const QString list = write(pathFromBytes("li\xE9st.csv"), text);
    std::vector<MixItem> entries;
    ImportError error;
    ASSERT_TRUE(readMixListFile(list, entries, error)) << error.message;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].filePath, folder() + "/" + latin1);
    EXPECT_EQ(readablePath(entries[0].filePathText()).toStdString(), folder() + "/caf\\xe9 \\xff.wav");

    ASSERT_EQ(saveMixListFile(list, entries), QString());
    std::vector<MixItem> again;
    ASSERT_TRUE(readMixListFile(list, again, error)) << error.message;
    EXPECT_EQ(again, entries);
}

TEST_F(ListReading, UnknownColumnsAreNamed)
{
    std::vector<MixItem> entries;
    ImportError error;
    std::vector<std::string> unknown;
    ASSERT_TRUE(parseMixListCsv("path,start_seconds,volume,speed,notes,muted,,Gain \xFF\na.wav,0,1,1,x,1,,2\n", "/",
                                entries, error, nullptr, &unknown));
    EXPECT_EQ(unknown, (std::vector<std::string>{"notes", "Gain \xFF"}));  // an unnamed column is no loss
    EXPECT_EQ(unknownColumnsText(unknown),
              "the columns \"notes\" and \"Gain \\xff\" are not ones this version knows; they are ignored");
    EXPECT_TRUE(entries[0].muted);

    std::string many = "path,start";
    for (int i = 0; i < 9; ++i)
        many += ",extra" + std::to_string(i);
    ASSERT_TRUE(parseMixListCsv(many + "\n", "/", entries, error, nullptr, &unknown));
    // The first two extra names stand where volume and speed stand, and are read as those.
    EXPECT_EQ(unknownColumnsText(unknown),
              "the columns \"extra2\", \"extra3\", \"extra4\", \"extra5\", "
              "\"extra6\" and 2 more are not ones this version knows; they are ignored");
    ASSERT_TRUE(parseMixListCsv("path,start,volume,speed\n", "/", entries, error, nullptr, &unknown));
    EXPECT_TRUE(unknown.empty());
}

// Only a first line that names a known column is a header; any other first line is an entry, kept
// or refused by its line, never dropped.
TEST_F(ListReading, AFirstEntryIsNeverTakenForAHeader)
{
    const struct {
        const char* text;
        std::vector<std::string> paths;  // empty with `refusal`
        const char* refusal;
    } cases[] = {
        {"a.wav,l.5,1,1\nb.wav,2,1,1\n", {}, "the start time \"l.5\" is not a number"},
        {"# notes first\nnotes.wav,soon\n", {}, "the start time \"soon\" is not a number"},
        {"path\n", {}, nullptr},
        {"path\nc.wav\n", {"/m/c.wav"}, nullptr},
        {"take one.wav\nb.wav,2\n", {"/m/take one.wav", "/m/b.wav"}, nullptr},
        {"File,Start,Vol,Speed\na.wav,1\n", {"/m/a.wav"}, nullptr},
        {"volume,1,1,1\n", {"/m/volume"}, nullptr},
    };
    for (const auto& c : cases) {
        std::vector<MixItem> entries;
        ImportError error;
        const bool read = parseMixListCsv(c.text, "/m", entries, error);
        if (c.refusal) {
            EXPECT_FALSE(read) << c.text;
            EXPECT_EQ(error.message, c.refusal) << c.text;
            EXPECT_EQ(error.line, std::string_view(c.text).starts_with("#") ? 2 : 1) << c.text;
            continue;
        }
        ASSERT_TRUE(read) << c.text << error.message;
        std::vector<std::string> paths;
        for (const MixItem& entry : entries)
            paths.push_back(entry.filePath);
        EXPECT_EQ(paths, c.paths) << c.text;
    }
}
