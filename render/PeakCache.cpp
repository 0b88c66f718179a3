// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/PeakCache.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/AtomicFile.h"
#include "platform/FileChecks.h"

namespace sonarel {

namespace {

constexpr quint32 kMagic = 0x534E504B;  // "SNPK"
constexpr quint32 kVersion = 1;
// Enough for every entry of a full list several times over; beyond it the disk still answers.
constexpr qsizetype kMemoryLimit = 4096;
// A cache file holds its key (a path of at most a few thousand characters) and 4096 levels.
constexpr qint64 kLargestFile = 64 * 1024;

}  // namespace

QString PeakKey::text() const
{
    return QStringLiteral("%1\n%2\n%3").arg(path, QString::number(size), QString::number(modifiedMs));
}

PeakCache::PeakCache(QString folder) : folder_(std::move(folder)) {}

QString PeakCache::defaultFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/peaks");
}

std::optional<PeakKey> PeakCache::keyOf(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return std::nullopt;
    return PeakKey{info.absoluteFilePath(), info.size(), info.lastModified().toMSecsSinceEpoch()};
}

SharedPeakLevels PeakCache::find(const PeakKey& key)
{
    const QString text = key.text();
    if (const auto found = memory_.constFind(text); found != memory_.constEnd())
        return found.value();
    SharedPeakLevels levels = readFile(key);
    if (levels) {
        if (memory_.size() >= kMemoryLimit)
            memory_.clear();
        memory_.insert(text, levels);
    }
    return levels;
}

void PeakCache::store(const PeakKey& key, SharedPeakLevels levels)
{
    if (!levels)
        return;
    if (memory_.size() >= kMemoryLimit)
        memory_.clear();
    memory_.insert(key.text(), levels);
    writeFile(key, *levels);
}

QString PeakCache::fileFor(const PeakKey& key) const
{
    const QByteArray hash = QCryptographicHash::hash(key.text().toUtf8(), QCryptographicHash::Sha1).toHex();
    return folder_ + QLatin1Char('/') + QString::fromLatin1(hash) + QStringLiteral(".peaks");
}

SharedPeakLevels PeakCache::readFile(const PeakKey& key) const
{
    if (folder_.isEmpty())
        return nullptr;
    // Only a regular file of our own: a link is not followed, and a FIFO put in its place is
    // passed over without waiting for a writer that never comes.
    QByteArray content;
    if (!readRegularFile(fileFor(key), kLargestFile, false, content).isEmpty())
        return nullptr;
    QDataStream in(content);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    quint32 version = 0;
    QString keyText;
    qint64 framesPerLevel = 0;
    qint64 frames = 0;
    QByteArray levels;
    in >> magic >> version >> keyText >> framesPerLevel >> frames >> levels;
    // A damaged or foreign file is ignored: the levels are measured again and the file replaced.
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion || keyText != key.text() ||
        framesPerLevel <= 0 || frames <= 0 || levels.isEmpty() ||
        static_cast<std::size_t>(levels.size()) > media::PeakLevels::kMaxLevels || !in.atEnd())
        return nullptr;
    auto out = std::make_shared<media::PeakLevels>();
    out->framesPerLevel = framesPerLevel;
    out->frames = frames;
    out->levels.assign(levels.begin(), levels.end());
    return out;
}

void PeakCache::writeFile(const PeakKey& key, const media::PeakLevels& levels) const
{
    // The cache only saves work: when it cannot be written, the levels are measured again next time.
    if (folder_.isEmpty() || !QDir().mkpath(folder_))
        return;
    QByteArray content;
    QDataStream out(&content, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << kVersion << key.text() << static_cast<qint64>(levels.framesPerLevel)
        << static_cast<qint64>(levels.frames)
        << QByteArray(reinterpret_cast<const char*>(levels.levels.data()),
                      static_cast<qsizetype>(levels.levels.size()));
    // Whatever else has the file's name (a link, a FIFO) is left as it is.
    if (out.status() == QDataStream::Ok)
        static_cast<void>(writeOwnFileAtomically(fileFor(key), content));
}

}  // namespace sonarel
