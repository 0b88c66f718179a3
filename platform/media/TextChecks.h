// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a text a person gave (a tag, a chapter title, a group name) can be written into files
// other programs read: well-formed UTF-8 without control characters.
#pragma once

#include <string_view>

namespace sonarel::media {

enum class TextFault {
    None,
    Control,  // a C0 or C1 control character (a tab, a line break) or DEL
    NotUtf8,  // a stray or missing continuation byte, an overlong form, a surrogate, past U+10FFFF
};

// The first fault of `text`, reading from its start.
TextFault textFault(std::string_view text);

}  // namespace sonarel::media
