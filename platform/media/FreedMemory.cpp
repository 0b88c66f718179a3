// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/FreedMemory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace sonarel::media {

void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

}  // namespace sonarel::media
