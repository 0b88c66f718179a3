// SPDX-License-Identifier: GPL-3.0-or-later
// Memory freed after many small allocations (as opening and closing decoders leaves it) goes back
// to the system when asked: long lists rely on it to stay within their memory.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <memory>
#include <vector>

#include "platform/media/FreedMemory.h"

namespace sonarel::media {
namespace {

[[maybe_unused]] long residentKiB()  // unused where the sanitizers skip the test
{
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TEST(FreedMemoryTest, ScatteredFreedBlocksAreGivenBack)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers keep freed memory in their own allocator";
#else
    // 40 MB in blocks of 400 bytes, one in a hundred kept: the heap cannot shrink from its top, so
    // only pages freed inside it can go back.
    std::vector<std::unique_ptr<char[]>> blocks(100'000);
    for (auto& block : blocks) {
        block = std::make_unique<char[]>(400);
        block[0] = 1;
    }
    for (std::size_t i = 0; i < blocks.size(); ++i)
        if (i % 100 != 0)
            blocks[i].reset();
    const long before = residentKiB();
    returnFreedMemory();
    EXPECT_LT(residentKiB(), before - 20'000);
#endif
}

}  // namespace
}  // namespace sonarel::media
