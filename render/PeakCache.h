// SPDX-License-Identifier: GPL-3.0-or-later
// Peak levels kept for reuse, keyed by a file's path, size and modification time, so that a file
// measured once is never decoded again until it changes. Levels live in memory and, when a folder
// is given, on disk (one small file per key), so they also outlast the program.
// Used on the user-interface thread only.
#pragma once

#include <QHash>
#include <QString>
#include <memory>
#include <optional>

#include "platform/media/core/PeakLevels.h"

namespace sonarel {

using SharedPeakLevels = std::shared_ptr<const media::PeakLevels>;

struct PeakKey {
    QString path;
    qint64 size = 0;
    qint64 modifiedMs = 0;  // milliseconds since the epoch

    QString text() const;  // one line that names the file's version
    bool operator==(const PeakKey&) const = default;
};

class PeakCache {
public:
    // `folder` empty: memory only. The folder is created when the first levels are stored.
    explicit PeakCache(QString folder);
    // The user's cache folder for peak levels.
    static QString defaultFolder();
    // The key of the file as it is now; none when it does not exist or is not a regular file.
    static std::optional<PeakKey> keyOf(const QString& path);

    SharedPeakLevels find(const PeakKey& key);
    void store(const PeakKey& key, SharedPeakLevels levels);

    // The file in the folder that holds the levels of `key`.
    QString fileFor(const PeakKey& key) const;

private:
    SharedPeakLevels readFile(const PeakKey& key) const;
    void writeFile(const PeakKey& key, const media::PeakLevels& levels) const;

    QString folder_;
    QHash<QString, SharedPeakLevels> memory_;
};

}  // namespace sonarel
