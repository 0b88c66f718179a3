// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ShortenedMessage.h"

namespace sonarel {

namespace {

bool continuesCharacter(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string shortenedMessage(std::string_view text, std::size_t most)
{
    constexpr std::string_view kGap = " ... ";
    if (text.size() <= most)
        return std::string(text);
    if (most <= kGap.size() + 2)
        return std::string(text.substr(0, most));
    const std::size_t kept = most - kGap.size();
    std::size_t head = kept * 2 / 3;
    std::size_t tail = text.size() - (kept - head);
    while (head > 0 && continuesCharacter(text[head]))
        --head;
    while (tail < text.size() && continuesCharacter(text[tail]))
        ++tail;
    return std::string(text.substr(0, head)).append(kGap).append(text.substr(tail));
}

}  // namespace sonarel
