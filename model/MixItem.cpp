// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/MixItem.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <stdexcept>

namespace sonarel {

namespace {

bool sameDouble(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

}  // namespace

bool sameProperties(const EntryProperties& a, const EntryProperties& b)
{
    return a.startTime == b.startTime && sameDouble(a.volume, b.volume) && sameDouble(a.speed, b.speed);
}

bool fitsPathBuffer(std::string_view path)
{
    return path.size() < kPathBufferSize && path.find('\0') == std::string_view::npos;
}

MixItemStore::MixItemStore() : items_(std::make_unique<std::array<MixItem, kMixItemCapacity>>()) {}

AppendResult MixItemStore::append(const MixItem& item)
{
    if (isFull())
        return AppendResult::ListFull;
    if (!fitsPathBuffer(item.filePath))
        return AppendResult::PathTooLong;
    (*items_)[static_cast<std::size_t>(audioCount_)] = item;
    ++audioCount_;
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
