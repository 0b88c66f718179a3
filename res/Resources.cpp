// SPDX-License-Identifier: GPL-3.0-or-later
#include "res/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerSonarelResources()
{
    Q_INIT_RESOURCE(sonarel);
}

void sonarel::initSonarelResources()
{
    registerSonarelResources();
}
