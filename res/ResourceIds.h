// SPDX-License-Identifier: GPL-3.0-or-later
// The program's resources by number. Icons, the background picture, the button cursor and the
// hover sound keep the numeric identifiers that the windows and their control tables use; this
// header maps each to its path in the Qt resource system. The resources are compiled into
// sonarel_resources: call initSonarelResources() (res/Resources.h) once before loading any.
#pragma once

#include <QString>

namespace sonarel::res {

enum ResourceId : int {
    kIconProgram = 128,       // window icon of the main window and the dialogs
    kBitmapBackground = 139,  // tiled behind the main window
    kIconAdd = 140,
    kCursorButton = 141,  // shown over image buttons; hot spot stored in the PNG
    kSoundHover = 144,    // played when the pointer enters an image button
    kIconOptions = 146,
    kIconHelp = 148,
    kIconDeleteSelected = 152,
    kIconDeleteAll = 154,
    kIconProperties = 155,
    kIconExit = 159,
    kIconMix = 160,
};

// The resource path (":/...") of an identifier, or nullptr for a number that names no resource.
// Each icon path names the picture at its natural size; QIcon picks up the "@2x" file beside it
// on high-density screens.
constexpr const char* resourcePath(int id) noexcept
{
    switch (id) {
    case kIconProgram: return ":/icons/sonarel.png";
    case kBitmapBackground: return ":/images/background.png";
    case kIconAdd: return ":/icons/add.png";
    case kCursorButton: return ":/cursors/hand.png";
    case kSoundHover: return ":/sounds/hover.wav";
    case kIconOptions: return ":/icons/options.png";
    case kIconHelp: return ":/icons/help.png";
    case kIconDeleteSelected: return ":/icons/delete-selected.png";
    case kIconDeleteAll: return ":/icons/delete-all.png";
    case kIconProperties: return ":/icons/properties.png";
    case kIconExit: return ":/icons/exit.png";
    case kIconMix: return ":/icons/mix.png";
    default: return nullptr;
    }
}

// resourcePath() as a QString; empty for an unknown identifier.
inline QString resourceFile(int id)
{
    const char* path = resourcePath(id);
    return path ? QString::fromLatin1(path) : QString();
}

inline QString iconPath(int iconId)
{
    return resourceFile(iconId);
}

}  // namespace sonarel::res
