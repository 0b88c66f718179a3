#include "model/EntryEditing.h"

namespace sonarel {

EntryProperties propertiesOf(const MixItem& item)
{
    return {item.startTime, item.volume, item.speed};
}

bool setEntryProperties(MixItemStore& store, int index, const EntryProperties& properties)
{
    if (index < 0 || index >= store.audioCount())
        return false;
    MixItem& item = store.at(index);
    item.startTime = properties.startTime;
    item.volume = properties.volume;
    item.speed = properties.speed;
    return true;
}

}  // namespace sonarel
