// SPDX-License-Identifier: GPL-3.0-or-later
// Identifiers of the main window's controls. Each widget carries its number as object name, so
// code and tests find a control by its identifier.
#pragma once

#include <QString>

namespace sonarel {

enum ControlId : int {
    kIdExit = 1,
    kIdMix = 1000,
    kIdOptions = 1003,
    kIdAdd = 1007,
    kIdMixList = 1009,
    kIdStatusLine = 1021,
    kIdDeleteSelected = 1038,
    kIdDeleteAll = 1039,
    kIdAbout = 1042,
    kIdHomepage = 1047,
    kIdProperties = 1061,
    kIdHelp = 57670,
    kIdProgress = 2000,  // the progress bar shown while mixing
};

inline QString objectNameOf(int id)
{
    return QString::number(id);
}

}  // namespace sonarel
