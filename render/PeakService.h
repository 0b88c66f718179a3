// SPDX-License-Identifier: GPL-3.0-or-later
// Peak levels for the window: answers at once from the cache, and otherwise has the file measured
// on worker threads and announces the answer on the owner's thread (a queued call), so the
// user-interface thread never decodes. Each version of a file is measured at most once.
#pragma once

#include <QHash>
#include <QObject>
#include <memory>

#include "render/PeakCache.h"

namespace sonarel {

enum class PeakState {
    Pending,  // being measured; peaksArrived() follows
    Ready,    // levels available
    Failed,   // the file exists but cannot be decoded
    Missing,  // there is no such file
};

struct PeakLookup {
    PeakState state = PeakState::Pending;
    SharedPeakLevels levels;  // set when Ready
};

class PeakService : public QObject {
    Q_OBJECT

public:
    // `cacheFolder` empty: memory only. `threads` 0: one per core, at most four.
    explicit PeakService(const QString& cacheFolder, int threads = 0, QObject* parent = nullptr);
    ~PeakService() override;

    // The levels of `path` as far as they are known; starts measuring when they are not.
    PeakLookup request(const QString& path);
    // Forgets work that has not started (the view closed); a later request asks again.
    void dropQueued();

    int measuredCount() const { return measured_; }  // files decoded since construction
    int pendingCount() const { return static_cast<int>(pending_.size()); }

Q_SIGNALS:
    // The answer for the file at the absolute path `path` is known (levels or failure).
    void peaksArrived(const QString& path);

private:
    void finished(const PeakKey& key, media::Status status, SharedPeakLevels levels);

    PeakCache cache_;
    QHash<QString, PeakKey> pending_;  // absolute path -> the version being measured
    QHash<QString, PeakKey> failed_;   // absolute path -> the version that could not be decoded
    int measured_ = 0;
    std::unique_ptr<media::PeakWorkers> workers_;
};

}  // namespace sonarel
