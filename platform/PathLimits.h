// SPDX-License-Identifier: GPL-3.0-or-later
// How long a path may be on this platform.
#pragma once

#include <climits>
#include <cstddef>

namespace sonarel {

#if defined(PATH_MAX)
inline constexpr std::size_t kPathBufferSize = PATH_MAX;  // bytes, terminator included
#else
inline constexpr std::size_t kPathBufferSize = 260;
#endif

#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

}  // namespace sonarel
