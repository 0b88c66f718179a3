// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NativePath.h"

#include <unistd.h>
#include <algorithm>
#include <vector>

#include "platform/PathLimits.h"
#include "platform/media/core/Files.h"

namespace sonarel {

namespace {

constexpr char16_t kEscapedByteBase = 0xDC00;  // + a byte 0x80..0xFF

// The length of the valid UTF-8 sequence at the start of `bytes` and its code point, or 0 when
// the first byte does not start one (a stray continuation byte, an overlong form, a surrogate, a
// code point past U+10FFFF or a cut-off sequence).
std::size_t utf8Sequence(std::string_view bytes, char32_t& code)
{
    const auto at = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    std::size_t length = 0;
    char32_t lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, lowest = 0x80, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, lowest = 0x800, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, lowest = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((at(i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (at(i) & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

bool isEscapedByte(char16_t c)
{
    return c >= kEscapedByteBase + 0x80 && c <= kEscapedByteBase + 0xFF;
}

void appendHexByte(std::string& out, unsigned char byte)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
}

}  // namespace

QString pathFromBytes(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    while (!bytes.empty()) {
        char32_t code = 0;
        const std::size_t length = utf8Sequence(bytes, code);
        if (length == 0) {
            text += QChar(static_cast<char16_t>(kEscapedByteBase + static_cast<unsigned char>(bytes.front())));
            bytes.remove_prefix(1);
            continue;
        }
        if (code < 0x10000) {
            text += QChar(static_cast<char16_t>(code));
        } else {
            text += QChar(QChar::highSurrogate(code));
            text += QChar(QChar::lowSurrogate(code));
        }
        bytes.remove_prefix(length);
    }
    return text;
}

std::string pathBytes(const QString& path)
{
    return media::core::toUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(path.utf16()),
                                                   static_cast<std::size_t>(path.size())));
}

QString readablePath(const QString& path)
{
    if (std::none_of(path.begin(), path.end(), [](QChar c) { return isEscapedByte(c.unicode()); }))
        return path;
    QString text;
    for (const QChar c : path) {
        if (isEscapedByte(c.unicode())) {
            std::string hex;
            appendHexByte(hex, static_cast<unsigned char>(c.unicode() - kEscapedByteBase));
            text += QLatin1String(hex.data(), static_cast<qsizetype>(hex.size()));
        } else {
            text += c;
        }
    }
    return text;
}

std::string readableBytes(std::string_view bytes)
{
    std::string out;
    while (!bytes.empty()) {
        char32_t code = 0;
        const std::size_t length = utf8Sequence(bytes, code);
        if (length == 0) {
            appendHexByte(out, static_cast<unsigned char>(bytes.front()));
            bytes.remove_prefix(1);
        } else {
            out.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        }
    }
    return out;
}

std::string absolutePathBytes(std::string_view path)
{
    std::string whole;
    if (path.empty() || path.front() != kPathSeparator) {
        std::vector<char> folder(kPathBufferSize);
        if (::getcwd(folder.data(), folder.size()) != nullptr)
            whole = folder.data();
        whole += kPathSeparator;
    }
    whole += path;
    // Resolve the parts in the text: "." goes, ".." takes the part before it away.
    std::vector<std::string_view> parts;
    const std::string_view all(whole);
    std::size_t from = 0;
    while (from <= all.size()) {
        const std::size_t end = std::min(all.find(kPathSeparator, from), all.size());
        const std::string_view part = all.substr(from, end - from);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        from = end + 1;
    }
    std::string out;
    for (const std::string_view part : parts) {
        out += kPathSeparator;
        out += part;
    }
    return out.empty() ? std::string(1, kPathSeparator) : out;
}

}  // namespace sonarel
