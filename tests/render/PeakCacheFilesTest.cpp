// SPDX-License-Identifier: GPL-3.0-or-later
// The peak cache on disk writes only regular files of its own and reads only those: whatever else
// takes a cache file's name (a link, a FIFO) is passed over and left exactly as it is.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <future>

#include "render/PeakCache.h"

using namespace sonarel;

namespace {

SharedPeakLevels someLevels(std::uint8_t level)
{
    auto levels = std::make_shared<media::PeakLevels>();
    levels->frames = 44100;
    levels->levels.assign(100, level);
    return levels;
}

// A real file to key the levels by.
PeakKey keyOfNewFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("sound");
    file.close();
    return PeakCache::keyOf(path).value();
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool isFifo(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

}  // namespace

TEST(PeakCacheFiles, LevelsOutlastTheCacheAndALinkInTheFolderIsLeftAlone)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("peaks"));
    const PeakKey key = keyOfNewFile(dir.filePath(QStringLiteral("a.wav")));
    const PeakKey linked = keyOfNewFile(dir.filePath(QStringLiteral("b.wav")));
    {
        PeakCache cache(folder);
        cache.store(key, someLevels(7));
    }
    PeakCache fresh(folder);
    const SharedPeakLevels read = fresh.find(key);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->levels, std::vector<std::uint8_t>(100, 7));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1);  // no temporary left over

    // Someone puts a link where the levels of b.wav go, pointing at a file of theirs.
    const QString victim = dir.filePath(QStringLiteral("victim.txt"));
    QFile out(victim);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("not a cache file");
    out.close();
    ASSERT_TRUE(QFile::link(victim, fresh.fileFor(linked)));
    fresh.store(linked, someLevels(9));
    EXPECT_EQ(contentOf(victim), QByteArray("not a cache file"));
    EXPECT_TRUE(QFileInfo(fresh.fileFor(linked)).isSymLink());
    // Nor is it read through: the levels come from memory only, and a new cache finds none.
    EXPECT_FALSE(PeakCache(folder).find(linked));

    // A dangling link is not followed to create its target either.
    const PeakKey dangling = keyOfNewFile(dir.filePath(QStringLiteral("c.wav")));
    const QString nowhere = dir.filePath(QStringLiteral("created-through-link"));
    ASSERT_TRUE(QFile::link(nowhere, fresh.fileFor(dangling)));
    fresh.store(dangling, someLevels(3));
    EXPECT_FALSE(QFileInfo::exists(nowhere));
}

TEST(PeakCacheFiles, AFifoInPlaceOfACacheFileNeverBlocks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("peaks"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const PeakKey key = keyOfNewFile(dir.filePath(QStringLiteral("a.wav")));
    PeakCache cache(folder);
    const QString fifo = cache.fileFor(key);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    auto lookup = std::async(std::launch::async, [&cache, &key] {
        const bool found = cache.find(key) != nullptr;
        cache.store(key, someLevels(5));
        return found;
    });
    if (lookup.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Let the stuck reader go (a writer that closes at once) so the test can end.
        const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
        lookup.wait();
        FAIL() << "the cache waited on a FIFO";
    }
    EXPECT_FALSE(lookup.get());
    EXPECT_TRUE(isFifo(fifo));
    EXPECT_TRUE(cache.find(key));  // answered from memory
}
