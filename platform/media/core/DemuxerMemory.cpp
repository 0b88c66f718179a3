// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/DemuxerMemory.h"

#include <sys/stat.h>

#include <mutex>
#include <tuple>
#include <unordered_map>

namespace sonarel::media::core {

namespace {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const FileIdentity& o) const
    {
        return std::tie(device, inode, size, modified.tv_sec, modified.tv_nsec) ==
               std::tie(o.device, o.inode, o.size, o.modified.tv_sec, o.modified.tv_nsec);
    }
};

struct IdentityHash {
    std::size_t operator()(const FileIdentity& id) const
    {
        std::size_t h = std::hash<unsigned long long>{}(id.inode);
        for (const unsigned long long part :
             {static_cast<unsigned long long>(id.device), static_cast<unsigned long long>(id.size),
              static_cast<unsigned long long>(id.modified.tv_nsec)})
            h = h * 1099511628211ULL ^ std::hash<unsigned long long>{}(part);
        return h;
    }
};

// Enough for the longest lists; past it the memory starts again rather than grow without end.
constexpr std::size_t kMostRemembered = 16384;

std::mutex mutex;
std::unordered_map<FileIdentity, const AVInputFormat*, IdentityHash> remembered;

bool identify(int fd, FileIdentity& id)
{
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0)
        return false;
    id = {info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    return true;
}

}  // namespace

const AVInputFormat* rememberedDemuxer(int fd)
{
    FileIdentity id;
    if (!identify(fd, id))
        return nullptr;
    const std::lock_guard lock(mutex);
    const auto found = remembered.find(id);
    return found == remembered.end() ? nullptr : found->second;
}

void rememberDemuxer(int fd, const AVInputFormat* demuxer)
{
    FileIdentity id;
    if (!demuxer || !identify(fd, id))
        return;
    const std::lock_guard lock(mutex);
    if (remembered.size() >= kMostRemembered)
        remembered.clear();
    remembered[id] = demuxer;
}

}  // namespace sonarel::media::core
