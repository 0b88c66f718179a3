// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/PlaybackFeed.h"

#include <algorithm>
#include <exception>
#include <new>

#include "platform/media/core/PlaybackRender.h"

namespace sonarel {

namespace {
// How far the render runs ahead of the device: enough to ride over a dear block (many sources
// starting at once), and dropped on a change, so it adds nothing to how soon a change is heard.
constexpr int kQueueMs = 500;
// What a change keeps of the old render's frames: the device plays them while the first block of
// the new one is rendered, so a dear block (many sources to seek) does not leave it without sound.
constexpr int kChangeLeadMs = 80;
// How long a volume changed while playing takes to reach its new level: long enough to make no
// click, short enough to be heard as at once.
constexpr int kVolumeRampMs = 10;

bool sameButVolume(const media::core::SourceEntry& a, const media::core::SourceEntry& b)
{
    return a.fileName() == b.fileName() && a.timelineStart == b.timelineStart && a.timelineStop == b.timelineStop &&
           a.mediaStart == b.mediaStart && a.mediaStop == b.mediaStop && a.shaping == b.shaping;
}

// Per entry of `now`: the volume it sounded at in `before`, when it is the same entry there.
std::vector<double> volumesBefore(const std::vector<media::core::SourceEntry>& before,
                                  const std::vector<media::core::SourceEntry>& now)
{
    std::vector<double> volumes;
    volumes.reserve(now.size());
    for (std::size_t i = 0; i < now.size(); ++i)
        volumes.push_back(i < before.size() && sameButVolume(before[i], now[i]) ? before[i].volume : now[i].volume);
    return volumes;
}
}  // namespace

PlaybackFeed::PlaybackFeed(int workers) : workers_(std::max(workers, 1))
{
    thread_ = std::thread([this] { run(); });
}

PlaybackFeed::~PlaybackFeed()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        if (render_)
            render_->abandon();
    }
    wake_.notify_all();
    thread_.join();
}

void PlaybackFeed::start(std::vector<media::core::SourceEntry> entries, const media::WaveFormat& format,
                         std::int64_t fromFrame)
{
    std::lock_guard lock(mutex_);
    firstRead_ = {};
    starved_ = 0;
    totalFrames_ = -1;
    restart(std::move(entries), format, std::max<std::int64_t>(fromFrame, 0));
}

void PlaybackFeed::change(std::vector<media::core::SourceEntry> entries)
{
    std::lock_guard lock(mutex_);
    if (!active_)
        return;
    const std::size_t frame = std::max<std::size_t>(format_.blockAlign, 1);
    const std::size_t lead = std::min(queue_.size(),
                                      static_cast<std::size_t>(format_.avgBytesPerSec) * kChangeLeadMs / 1000) /
                             frame;
    std::deque<char> kept(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(lead * frame));
    const std::int64_t read = readPosition_;
    std::vector<double> volumes = volumesBefore(entries_, entries);
    restart(std::move(entries), format_, read + static_cast<std::int64_t>(lead));
    rampFrom_ = std::move(volumes);
    queue_ = std::move(kept);
    readPosition_ = read;
}

// Called under the lock.
void PlaybackFeed::restart(std::vector<media::core::SourceEntry> entries, const media::WaveFormat& format,
                           std::int64_t from)
{
    entries_ = std::move(entries);
    format_ = format;
    from_ = from;
    rampFrom_.clear();
    readPosition_ = from;
    requested_ = true;
    active_ = true;
    ended_ = false;
    failure_.clear();
    queue_.clear();
    capacity_ = static_cast<std::size_t>(format.avgBytesPerSec) * kQueueMs / 1000;
    if (render_)
        render_->abandon();  // its block in progress is of no use now
    wake_.notify_all();
}

void PlaybackFeed::stop()
{
    std::lock_guard lock(mutex_);
    requested_ = false;
    active_ = false;
    queue_.clear();
    if (render_)
        render_->abandon();
    wake_.notify_all();
}

std::size_t PlaybackFeed::read(char* data, std::size_t size)
{
    std::lock_guard lock(mutex_);
    const std::size_t frame = std::max<std::size_t>(format_.blockAlign, 1);
    const std::size_t n = std::min(size, queue_.size()) / frame * frame;
    if (n == 0) {
        if (active_ && !ended_ && failure_.empty() && !requested_ && firstRead_ != Clock::time_point{})
            ++starved_;
        return 0;
    }
    std::copy_n(queue_.begin(), n, data);
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
    readPosition_ += static_cast<std::int64_t>(n / frame);
    if (firstRead_ == Clock::time_point{})
        firstRead_ = Clock::now();
    wake_.notify_all();
    return n;
}

bool PlaybackFeed::atEnd() const
{
    std::lock_guard lock(mutex_);
    return !active_ || ((ended_ || !failure_.empty()) && !requested_ && queue_.empty());
}

std::int64_t PlaybackFeed::readPosition() const
{
    std::lock_guard lock(mutex_);
    return readPosition_;
}

std::int64_t PlaybackFeed::totalFrames() const
{
    std::lock_guard lock(mutex_);
    return totalFrames_;
}

std::string PlaybackFeed::failure() const
{
    std::lock_guard lock(mutex_);
    return failure_;
}

int PlaybackFeed::starvedReads() const
{
    std::lock_guard lock(mutex_);
    return starved_;
}

PlaybackFeed::Clock::time_point PlaybackFeed::firstRead() const
{
    std::lock_guard lock(mutex_);
    return firstRead_;
}

// Takes up each request, then renders blocks while the queue has room. The render is made and its
// blocks rendered outside the lock; a block finished after a newer request is dropped.
void PlaybackFeed::run()
{
    std::vector<std::uint8_t> block;
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (requested_) {
            requested_ = false;
            auto previous = std::move(render_);
            auto entries = entries_;
            const media::WaveFormat format = format_;
            const std::int64_t from = from_;
            std::vector<double> rampFrom = rampFrom_;
            lock.unlock();
            previous.reset();
            std::unique_ptr<media::core::PlaybackRender> made;
            try {
                made = std::make_unique<media::core::PlaybackRender>(std::move(entries), format, from, workers_);
                if (!rampFrom.empty())  // a live edit: heard at once, also in stretched entries
                    made->stretchFromStart();
                made->rampVolumes(std::move(rampFrom), format.samplesPerSec * kVolumeRampMs / 1000);
            } catch (const std::exception&) {  // no memory, or no thread for its workers
            }
            lock.lock();
            if (!made) {
                failure_ = "Playback could not start: the system is short of memory or threads.";
                continue;
            }
            totalFrames_ = made->totalFrames();
            render_ = std::move(made);
            continue;
        }
        if (!render_ || !active_ || ended_ || !failure_.empty() || queue_.size() >= capacity_) {
            wake_.wait(lock);
            continue;
        }
        media::core::PlaybackRender* render = render_.get();
        lock.unlock();
        std::int64_t frames = 0;
        const media::Status status = render->next(block, frames);
        lock.lock();
        if (requested_ || !active_ || quit_)
            continue;  // rendered for what is no longer wanted
        if (media::failed(status))
            failure_ = render->failureDetail().empty() ? media::errorText(status) : render->failureDetail();
        else if (frames == 0)
            ended_ = true;
        else
            try {
                queue_.insert(queue_.end(), block.begin(), block.end());
            } catch (const std::bad_alloc&) {
                failure_ = "Playback ran out of memory.";
            }
    }
}

}  // namespace sonarel
