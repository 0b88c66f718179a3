// SPDX-License-Identifier: GPL-3.0-or-later
// Giving memory back to the system after work that opens many files one after the other. Each
// file leaves the decoder's freed blocks scattered over the heap; over a thousand short files that
// adds up to tens of megabytes nobody uses, which the C library keeps unless asked.
#pragma once

namespace sonarel::media {

// Returns the heap's free pages to the system (glibc); does nothing elsewhere. Takes well under a
// millisecond on a small heap: call it every few files, not every block.
void returnFreedMemory();

}  // namespace sonarel::media
