// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/FreedMemory.h"

#include <cstdlib>  // defines __GLIBC__ where it applies: without a C library header, the test below is always false

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
