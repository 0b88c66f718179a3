// SPDX-License-Identifier: GPL-3.0-or-later
// Texts read from files, made fit for a message: a value of megabytes is not shown whole.
#pragma once

#include <string>
#include <string_view>

namespace sonarel {

// `text` when it has at most `most` bytes; otherwise its start and its end around " ... ", cut at
// character boundaries, so that the reason at the end of a message survives a long value in it.
std::string shortenedMessage(std::string_view text, std::size_t most = 240);

}  // namespace sonarel
