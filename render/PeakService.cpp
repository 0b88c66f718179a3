// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/PeakService.h"

#include <QMetaObject>

namespace sonarel {

PeakService::PeakService(const QString& cacheFolder, int threads, QObject* parent)
    : QObject(parent), cache_(cacheFolder), workers_(std::make_unique<media::PeakWorkers>(threads))
{
}

PeakService::~PeakService()
{
    // Join the workers while this object is whole; their late answers die with its event queue.
    workers_.reset();
}

PeakLookup PeakService::request(const QString& path)
{
    const std::optional<PeakKey> key = PeakCache::keyOf(path);
    if (!key)
        return {PeakState::Missing, nullptr};
    if (SharedPeakLevels levels = cache_.find(*key))
        return {PeakState::Ready, std::move(levels)};
    if (const auto failed = failed_.constFind(key->path); failed != failed_.constEnd() && failed.value() == *key)
        return {PeakState::Failed, nullptr};
    if (const auto pending = pending_.constFind(key->path); pending != pending_.constEnd() && pending.value() == *key)
        return {PeakState::Pending, nullptr};
    pending_.insert(key->path, *key);
    // The callback runs on a worker thread and only posts to this object's thread; the workers are
    // joined before this object goes, and a posted call dies with it.
    workers_->post(key->path.toStdString(), [this, key = *key](media::Status status, media::PeakLevels&& levels) {
        SharedPeakLevels shared;
        if (media::succeeded(status))
            shared = std::make_shared<const media::PeakLevels>(std::move(levels));
        QMetaObject::invokeMethod(
            this, [this, key, status, shared] { finished(key, status, shared); }, Qt::QueuedConnection);
    });
    return {PeakState::Pending, nullptr};
}

void PeakService::dropQueued()
{
    workers_->dropQueued();
    // What still runs will answer; everything else is asked for again on the next request.
    pending_.clear();
}

void PeakService::finished(const PeakKey& key, media::Status status, SharedPeakLevels levels)
{
    ++measured_;
    if (const auto pending = pending_.constFind(key.path); pending != pending_.constEnd() && pending.value() == key)
        pending_.erase(pending);  // a newer version of the file may still be on its way
    if (levels)
        cache_.store(key, std::move(levels));
    else if (status != media::kErrAbort)
        failed_.insert(key.path, key);
    Q_EMIT peaksArrived(key.path);
}

}  // namespace sonarel
