// SPDX-License-Identifier: GPL-3.0-or-later
// Registration of the program's compiled-in resources (icons, background, cursor, sounds).
#pragma once

namespace sonarel {

// Registers the resources of sonarel_resources with the Qt resource system. The library is
// static, so the linker would otherwise drop the resource data: the program and every test that
// loads a ":/..." path call this once before the first load. Calling it again is harmless.
void initSonarelResources();

}  // namespace sonarel
