#include "model/MixItem.h"

#include <algorithm>
#include <cassert>
#include <stdexcept>

namespace sonarel {

bool MixItem::setFilePath(std::string_view path)
{
    // A NUL inside would silently cut the path; refuse it like one that is too long.
    if (path.size() >= path_.size() || path.find('\0') != std::string_view::npos)
        return false;
    std::copy(path.begin(), path.end(), path_.begin());
    path_[path.size()] = '\0';
    return true;
}

MixItemStore::MixItemStore() : items_(std::make_unique<std::array<MixItem, kMixItemCapacity>>()) {}

AppendResult MixItemStore::append(std::string_view path, REFERENCE_TIME duration)
{
    if (isFull())
        return AppendResult::ListFull;
    MixItem& item = (*items_)[static_cast<std::size_t>(audioCount_)];
    if (!item.setFilePath(path))
        return AppendResult::PathTooLong;
    item.duration = duration;
    item.startTime = 0;
    item.volume = 1.0;
    item.speed = 1.0;
    ++audioCount_;
    return AppendResult::Appended;
}

MixItem& MixItemStore::at(int index)
{
    if (index < 0 || index >= audioCount_)
        throw std::out_of_range("mix list index out of range");
    return (*items_)[static_cast<std::size_t>(index)];
}

const MixItem& MixItemStore::at(int index) const
{
    return const_cast<MixItemStore*>(this)->at(index);
}

void MixItemStore::removeAt(int index)
{
    if (index < 0 || index >= audioCount_)
        return;
    const auto first = items_->begin() + index;
    std::move(first + 1, items_->begin() + audioCount_, first);
    --audioCount_;
}

}  // namespace sonarel
