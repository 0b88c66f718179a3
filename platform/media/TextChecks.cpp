// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/TextChecks.h"

#include <cstdint>

namespace sonarel::media {

TextFault textFault(std::string_view text)
{
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char first = byte(at);
        if (first < 0x80) {
            if (first < 0x20 || first == 0x7F)
                return TextFault::Control;
            ++at;
            continue;
        }
        const std::size_t length = first >= 0xC2 && first <= 0xDF   ? 2
                                   : first >= 0xE0 && first <= 0xEF ? 3
                                   : first >= 0xF0 && first <= 0xF4 ? 4
                                                                    : 0;
        if (length == 0 || at + length > text.size())
            return TextFault::NotUtf8;
        std::uint32_t code = first & (0xFFu >> (length + 1));
        for (std::size_t i = 1; i < length; ++i) {
            if ((byte(at + i) & 0xC0) != 0x80)
                return TextFault::NotUtf8;
            code = (code << 6) | (byte(at + i) & 0x3F);
        }
        static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return TextFault::NotUtf8;
        if (code <= 0x9F)  // the C1 controls
            return TextFault::Control;
        at += length;
    }
    return TextFault::None;
}

}  // namespace sonarel::media
