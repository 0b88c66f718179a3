// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/OutputTags.h"

#include "platform/media/TextChecks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace sonarel::media::core {

namespace {

bool digits(std::string_view text, std::size_t at, std::size_t count)
{
    if (at + count > text.size())
        return false;
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at),
                       text.begin() + static_cast<std::ptrdiff_t>(at + count),
                       [](char c) { return c >= '0' && c <= '9'; });
}

bool isDate(std::string_view text)
{
    if (text.size() != 4 && text.size() != 7 && text.size() != 10)
        return false;
    if (!digits(text, 0, 4))
        return false;
    for (std::size_t at = 4; at < text.size(); at += 3)
        if (text[at] != '-' || !digits(text, at + 1, 2))
            return false;
    return true;
}

// A positive whole number of at most six digits.
bool isCount(std::string_view text)
{
    return !text.empty() && text.size() <= 6 && digits(text, 0, text.size()) &&
           text.find_first_not_of('0') != std::string_view::npos;
}

bool isTrack(std::string_view text)
{
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos)
        return isCount(text);
    return isCount(text.substr(0, slash)) && isCount(text.substr(slash + 1));
}

}  // namespace

std::optional<TagField> tagFieldByName(std::string_view name)
{
    for (const TagFieldInfo& info : kTagFields)
        if (info.name == name)
            return info.field;
    return std::nullopt;
}

std::string tagNamesText()
{
    std::string text;
    for (const TagFieldInfo& info : kTagFields)
        text.append(text.empty() ? "" : ", ").append(info.name);
    return text;
}

bool OutputTags::empty() const
{
    return cover.empty() && std::all_of(values.begin(), values.end(), [](const std::string& v) { return v.empty(); });
}

std::string tagValueProblem(TagField field, std::string_view value)
{
    const std::string name(kTagFields[static_cast<std::size_t>(field)].name);
    if (value.size() > kLargestTagValue)
        return "the " + name + " is longer than " + std::to_string(kLargestTagValue) + " bytes";
    if (textFault(value) != TextFault::None)
        return "the " + name + " holds a control character or bytes that are not UTF-8";
    if (field == TagField::Date && !value.empty() && !isDate(value))
        return "the date must be written YYYY, YYYY-MM or YYYY-MM-DD";
    if (field == TagField::Track && !value.empty() && !isTrack(value))
        return "the track must be a number, or a number and the count of tracks: N/M";
    return {};
}

CoverFormat coverFormatOf(const std::uint8_t* bytes, std::size_t size)
{
    static const std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    static const std::uint8_t kJpeg[] = {0xFF, 0xD8, 0xFF};
    if (size >= sizeof kPng && std::memcmp(bytes, kPng, sizeof kPng) == 0)
        return CoverFormat::Png;
    if (size >= sizeof kJpeg && std::memcmp(bytes, kJpeg, sizeof kJpeg) == 0)
        return CoverFormat::Jpeg;
    return CoverFormat::None;
}

const char* coverMimeType(CoverFormat format)
{
    return format == CoverFormat::Png ? "image/png" : format == CoverFormat::Jpeg ? "image/jpeg" : "";
}

std::string readCoverImage(const std::string& path, OutputTags& tags)
{
    tags.cover.clear();
    tags.coverFormat = CoverFormat::None;
    // O_NONBLOCK: a FIFO named as the picture is refused below rather than waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? "it does not exist" : std::string("it cannot be read: ") + std::strerror(errno);
    struct stat info {};
    std::string problem;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        problem = "it is not a file";
    else if (static_cast<std::uint64_t>(info.st_size) > kLargestCover)
        problem = "it is larger than 16 MiB";
    else if (info.st_size == 0)
        problem = "it is empty";
    std::vector<std::uint8_t> bytes(problem.empty() ? static_cast<std::size_t>(info.st_size) : 0);
    std::size_t done = 0;
    while (problem.empty() && done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            problem = std::string("it cannot be read: ") + std::strerror(errno);
        else if (n == 0)
            problem = "it became shorter while it was read";
        else
            done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (!problem.empty())
        return problem;
    const CoverFormat format = coverFormatOf(bytes.data(), bytes.size());
    if (format == CoverFormat::None)
        return "it is not a PNG or JPEG picture";
    tags.cover = std::move(bytes);
    tags.coverFormat = format;
    return {};
}

}  // namespace sonarel::media::core
