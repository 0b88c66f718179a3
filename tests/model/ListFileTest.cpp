// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#if defined(__linux__)
#include <sys/fsuid.h>
#endif

#include "model/MixListFile.h"
#include "model/NumberText.h"
#include "platform/AtomicFile.h"
#include "support/OddLists.h"

using namespace sonarel;

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeContent(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QStringList leftovers(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace

TEST(ListFileNumbers, SecondsAreReadFromTheirDigits)
{
    struct Case {
        const char* text;
        std::optional<REFERENCE_TIME> units;
    };
    const Case cases[] = {
        {"0", 0},
        {"1.5", 15'000'000},
        {"1.5000001", 15'000'001},
        {"0.0000001", 1},
        {"0.00000019", 1},
        {"2.5e-3", 25'000},
        {"1E2", 1'000'000'000},
        {"+3", 30'000'000},
        {" 7 ", 70'000'000},
        {"-1", -10'000'000},
        {"4.", 40'000'000},
        {".25", 2'500'000},
        {"", {}},
        {"abc", {}},
        {".", {}},
        {"1.2.3", {}},
        {"1e", {}},
        {"nan", {}},
        {"inf", {}},
        {"0x10", {}},
        {"123456789012345678901", {}},
        {"1e999", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readExactSeconds(c.text), c.units) << c.text;

    const std::pair<REFERENCE_TIME, const char*> written[] = {
        {0, "0"}, {15'000'001, "1.5000001"}, {20'000'000, "2"}, {1, "0.0000001"}, {-15'000'000, "-1.5"},
    };
    for (const auto& [units, text] : written) {
        EXPECT_EQ(secondsDecimal(units), text);
        EXPECT_EQ(readExactSeconds(secondsDecimal(units)), units);
    }
}

TEST(ListFileFormat, ThousandOddEntriesComeBackTheSameByteForByte)
{
    std::vector<std::string> paths;
    for (const std::string& name : sonarel::testing::oddFileNames())
        paths.push_back("/lists/media/" + name);
    paths.push_back("/lists/line\nbreak.wav");
    paths.push_back("/lists2/not under the list.wav");  // shares a prefix, not the folder
    paths.push_back("/elsewhere/x.wav");
    const std::vector<MixItem> entries = sonarel::testing::oddEntries(paths, 1000);

    const std::string text = formatMixListCsv(entries, "/lists");
    EXPECT_TRUE(text.starts_with("path,start_seconds,volume,speed\n"));
    EXPECT_NE(text.find("\nmedia/plain.wav,"), std::string::npos);
    EXPECT_NE(text.find("\n\"media/quote \"\"live\"\".wav\","), std::string::npos);
    EXPECT_NE(text.find("\n/lists2/not under the list.wav,"), std::string::npos);
    EXPECT_NE(text.find("\n/elsewhere/x.wav,1.3580241,0.3333333333333333,"), std::string::npos);

    std::vector<MixItem> read;
    ImportError error;
    ASSERT_TRUE(parseMixListCsv(text, "/lists", read, error)) << error.line << ": " << error.message;
    ASSERT_EQ(read.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        ASSERT_EQ(read[i], entries[i]) << "entry " << i << " " << entries[i].filePath;
    EXPECT_EQ(formatMixListCsv(read, "/lists"), text);
}

// Output values may hold anything a path can: each stays on its own line and comes back whole,
// and the entries read the same with or without the lines.
TEST(ListFileFormat, OutputLinesKeepAnyValueOnItsLine)
{
    const ListOutputLines output{
        {"file", "/m/100% loud\nmix,\r\"x\".flac"}, {"rate", "48000"}, {"empty", ""}, {"blanks", "\t a b "}};
    MixItem entry;
    entry.filePath = "/m/a.wav";
    const std::string text = formatMixListCsv({entry}, "/m", output);
    EXPECT_EQ(text,
              "#output.file=/m/100%25 loud%0Amix,%0D\"x\".flac\n#output.rate=48000\n#output.empty=\n"
              "#output.blanks=%09 a b%20\npath,start_seconds,volume,speed\na.wav,0,1,1\n");
    std::vector<MixItem> entries;
    ImportError error;
    ListOutputLines read;
    ASSERT_TRUE(parseMixListCsv(text, "/m", entries, error, &read)) << error.message;
    EXPECT_EQ(read, output);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].filePath, "/m/a.wav");
    // Without output lines the text is what it always was; other comments are not output lines.
    EXPECT_EQ(formatMixListCsv({entry}, "/m"), "path,start_seconds,volume,speed\na.wav,0,1,1\n");
    ASSERT_TRUE(parseMixListCsv("# output.rate=8000\n#output.=1\n#outputs.rate=1\n#output.rate\na.wav,0,1,1\n", "/m",
                                entries, error, &read));
    EXPECT_TRUE(read.empty());
    // A stray '%' written by hand is kept as it is.
    ASSERT_TRUE(parseMixListCsv("#output.file=/m/50%.wav\n#output.x=%4\na.wav,0,1,1\n", "/m", entries, error, &read));
    EXPECT_EQ(read, (ListOutputLines{{"file", "/m/50%.wav"}, {"x", "%4"}}));
    EXPECT_EQ(entries.size(), 1u);
}

TEST(ListFileFormat, LinesAreCountedAcrossQuotedLineBreaks)
{
    std::vector<MixItem> entries;
    ImportError error;
    EXPECT_FALSE(parseMixListCsv("path,start\n\"a\nb.wav\",1\nc.wav,soon\n", "/", entries, error));
    EXPECT_EQ(error.line, 4);
    EXPECT_NE(error.message.find("start time"), std::string::npos);
    EXPECT_FALSE(parseMixListCsv("a.wav,1e30\n", "/", entries, error));
    EXPECT_EQ(error.message, "the start time \"1e30\" is too large");
}

class AtomicSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        folder_ = dir_.filePath(QStringLiteral("lists"));
        ASSERT_TRUE(QDir().mkpath(folder_));
        list_ = folder_ + QStringLiteral("/mix.csv");
        writeContent(list_, "old list\n");
    }
    QTemporaryDir dir_;
    QString folder_;
    QString list_;
};

TEST_F(AtomicSave, ReplacesTheFileKeepingItsPermissionsAndLinks)
{
    ASSERT_EQ(::chmod(QFile::encodeName(list_).constData(), 0640), 0);
    ASSERT_EQ(writeFileAtomically(list_, "new list\n"), QString());
    EXPECT_EQ(contentOf(list_), "new list\n");
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(list_).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(leftovers(folder_), QStringList{QStringLiteral("mix.csv")});

    const QString link = dir_.filePath(QStringLiteral("link.csv"));
    ASSERT_TRUE(QFile::link(list_, link));
    ASSERT_EQ(writeFileAtomically(link, "through the link\n"), QString());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(contentOf(list_), "through the link\n");
}

TEST_F(AtomicSave, AFullDiskLeavesThePreviousFileWhole)
{
    // /dev/full fails every write with "no space left", as a full disk does.
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (full < 0)
        GTEST_SKIP() << "/dev/full is not available here";
    EXPECT_EQ(writeAllAndSync(full, QByteArray(100, 'x')), ENOSPC);
    ::close(full);

    // A file-size limit makes the kernel refuse the write part-way, as a disk that fills up does.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString error = writeFileAtomically(list_, QByteArray(100'000, 'y'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(contentOf(list_), "old list\n");
    EXPECT_EQ(leftovers(folder_), QStringList{QStringLiteral("mix.csv")});
}

TEST_F(AtomicSave, AnUnwritableFolderLeavesThePreviousFileWhole)
{
    ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder_).constData(), 0555), 0);
    QString error;
#if defined(__linux__)
    // Root passes every permission check; an ordinary user's file-system identity does not.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot)
        ::setfsuid(65534);
    error = writeFileAtomically(list_, "new list\n");
    if (asRoot)
        ::setfsuid(0);
#else
    error = writeFileAtomically(list_, "new list\n");
#endif
    ::chmod(QFile::encodeName(folder_).constData(), 0755);
    if (error.isEmpty())
        GTEST_SKIP() << "this machine lets the test write into a read-only folder";
    EXPECT_EQ(contentOf(list_), "old list\n");
    EXPECT_EQ(leftovers(folder_), QStringList{QStringLiteral("mix.csv")});

    // A folder where no file can be made at all, even by root.
    EXPECT_FALSE(writeFileAtomically(QStringLiteral("/proc/sonarel-list.csv"), "x").isEmpty());
}

TEST_F(AtomicSave, ListFilesRoundTripThroughTheDisk)
{
    std::vector<std::string> paths;
    for (const std::string& name : sonarel::testing::oddFileNames())
        paths.push_back(QDir(folder_).filePath(QString::fromStdString(name)).toStdString());
    const std::vector<MixItem> entries = sonarel::testing::oddEntries(paths, 50);
    ASSERT_EQ(saveMixListFile(list_, entries), QString());
    const QByteArray first = contentOf(list_);
    EXPECT_TRUE(first.contains("\nsub folder/deeper/take.wav,"));

    std::vector<MixItem> read;
    ImportError error;
    ASSERT_TRUE(readMixListFile(list_, read, error)) << error.message;
    EXPECT_EQ(read, entries);
    ASSERT_EQ(saveMixListFile(list_, read), QString());
    EXPECT_EQ(contentOf(list_), first);

    EXPECT_FALSE(readMixListFile(folder_ + QStringLiteral("/none.csv"), read, error));
    EXPECT_EQ(error.line, 0);
    EXPECT_EQ(error.message, "it does not exist");
    EXPECT_FALSE(readMixListFile(folder_, read, error));
    EXPECT_EQ(error.message, "it is not a file");
}
