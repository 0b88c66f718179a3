// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/EntryEditing.h"

namespace sonarel {

bool setEntryProperties(MixItemStore& store, int index, const EntryProperties& properties)
{
    if (index < 0 || index >= store.audioCount())
        return false;
    store.at(index).properties() = properties;
    return true;
}

}  // namespace sonarel
