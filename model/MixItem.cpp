// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/MixItem.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "model/EntryPropertyTable.h"

namespace sonarel {

bool sameProperties(const EntryProperties& a, const EntryProperties& b)
{
    return std::all_of(kEntryProperties.begin(), kEntryProperties.end(),
                       [&a, &b](const EntryProperty& property) { return sameValue(property, a, b); });
}

bool usesShaping(const EntryProperties& p)
{
    return std::any_of(kEntryProperties.begin(), kEntryProperties.end(), [&p](const EntryProperty& property) {
        return isShaping(property) && !holdsDefault(property, p);
    });
}

double pointsLevelAt(const VolumePoints& points, REFERENCE_TIME time)
{
    if (points.empty())
        return 1.0;
    const auto after = std::upper_bound(points.begin(), points.end(), time,
                                        [](REFERENCE_TIME t, const VolumePoint& point) { return t < point.time; });
    if (after == points.begin())
        return points.front().level;
    if (after == points.end())
        return points.back().level;
    const VolumePoint& a = *(after - 1);
    const VolumePoint& b = *after;
    const double x = static_cast<double>(time - a.time) / static_cast<double>(b.time - a.time);
    return a.level + (b.level - a.level) * x;
}

REFERENCE_TIME playedStart(const MixItem& item)
{
    return std::max<REFERENCE_TIME>(item.inPoint, 0);
}

REFERENCE_TIME playedStop(const MixItem& item)
{
    if (item.outPoint == kToSourceEnd || item.outPoint >= item.duration)
        return item.duration;
    return std::max<REFERENCE_TIME>(item.outPoint, 0);
}

REFERENCE_TIME outputEnd(const MixItem& item)
{
    const double stop = static_cast<double>(item.startTime) +
                        static_cast<double>(playedStop(item) - playedStart(item)) / item.speed;
    // The cast truncates toward zero; keep it inside the 64-bit range whatever the speed.
    const double limit = 9.2e18;
    return static_cast<REFERENCE_TIME>(std::clamp(stop, -limit, limit));
}

bool outputLengthKnown(const MixItem& item)
{
    return item.duration > 0 && std::isfinite(item.speed) && item.speed > 0.0;
}

bool cutsAtStart(const MixItem& item)
{
    return playedStart(item) > 0;
}

bool cutsAtEnd(const MixItem& item)
{
    return item.outPoint != kToSourceEnd && item.outPoint < item.duration;
}

std::vector<MixItem> entriesOf(const MixItemStore& store)
{
    std::vector<MixItem> entries;
    entries.reserve(static_cast<std::size_t>(store.audioCount()));
    for (int i = 0; i < store.audioCount(); ++i)
        entries.push_back(store.at(i));
    return entries;
}

bool fitsPathBuffer(std::string_view path)
{
    return path.size() < kPathBufferSize && path.find('\0') == std::string_view::npos;
}

MixItemStore::MixItemStore(int capacity) : capacity_(capacity)
{
    if (capacity_ >= 0)
        items_.reserve(static_cast<std::size_t>(capacity_));
}

bool MixItemStore::isFull() const
{
    if (capacity_ >= 0)
        return audioCount() >= capacity_;
    return items_.size() >= static_cast<std::size_t>(std::numeric_limits<int>::max());
}

AppendResult MixItemStore::append(MixItem item)
{
    if (isFull())
        return AppendResult::ListFull;
    if (!fitsPathBuffer(item.filePath))
        return AppendResult::PathTooLong;
    items_.push_back(std::move(item));
    return AppendResult::Appended;
}

AppendResult MixItemStore::append(std::string_view path, REFERENCE_TIME duration)
{
    MixItem item;
    item.filePath = path;
    item.duration = duration;
    return append(item);
}

MixItem& MixItemStore::at(int index)
{
    if (index < 0 || index >= audioCount())
        throw std::out_of_range("mix list index out of range");
    return items_[static_cast<std::size_t>(index)];
}

const MixItem& MixItemStore::at(int index) const
{
    return const_cast<MixItemStore*>(this)->at(index);
}

void MixItemStore::removeAt(int index)
{
    if (index < 0 || index >= audioCount())
        return;
    items_.erase(items_.begin() + index);
}

}  // namespace sonarel
