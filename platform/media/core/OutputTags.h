// SPDX-License-Identifier: GPL-3.0-or-later
// What a mix's file says about itself: title, artist, album, date, genre, track and comment, in
// UTF-8, and a cover picture (PNG or JPEG). Each container keeps them in its own way
// (platform/media/core/ContainerTags.h; WAV's LIST/INFO chunk in WavWriter); a mix without any
// writes its file exactly as before.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonarel::media::core {

enum class TagField { Title, Artist, Album, Date, Genre, Track, Comment };
inline constexpr std::size_t kTagFieldCount = 7;

struct TagFieldInfo {
    TagField field;
    std::string_view name;  // as --tag and "#tag." lines take it, and FFmpeg's metadata key
    const char* riffInfo;   // the WAV LIST/INFO chunk's id
};

inline constexpr std::array<TagFieldInfo, kTagFieldCount> kTagFields = {{
    {TagField::Title, "title", "INAM"},
    {TagField::Artist, "artist", "IART"},
    {TagField::Album, "album", "IPRD"},
    {TagField::Date, "date", "ICRD"},
    {TagField::Genre, "genre", "IGNR"},
    {TagField::Track, "track", "ITRK"},
    {TagField::Comment, "comment", "ICMT"},
}};

std::optional<TagField> tagFieldByName(std::string_view name);
// "title, artist, album, date, genre, track, comment"
std::string tagNamesText();

enum class CoverFormat { None, Png, Jpeg };

inline constexpr std::size_t kLargestTagValue = 16 * 1024;      // bytes
inline constexpr std::size_t kLargestCover = 16 * 1024 * 1024;  // bytes

struct OutputTags {
    std::array<std::string, kTagFieldCount> values;  // empty: not set
    std::vector<std::uint8_t> cover;                 // the picture file's bytes; empty: none
    CoverFormat coverFormat = CoverFormat::None;

    const std::string& value(TagField field) const { return values[static_cast<std::size_t>(field)]; }
    std::string& value(TagField field) { return values[static_cast<std::size_t>(field)]; }
    bool hasCover() const { return !cover.empty(); }
    bool empty() const;

    friend bool operator==(const OutputTags&, const OutputTags&) = default;
};

// Why `value` cannot be the tag `field`, in words ("the track must be a number, or N/M"); empty
// when it can. Values are UTF-8 without control characters, at most kLargestTagValue bytes; a
// date is YYYY, YYYY-MM or YYYY-MM-DD; a track N or N/M.
std::string tagValueProblem(TagField field, std::string_view value);

// The picture's format by its first bytes; None for anything but PNG and JPEG.
CoverFormat coverFormatOf(const std::uint8_t* bytes, std::size_t size);
// "image/png", "image/jpeg"
const char* coverMimeType(CoverFormat format);

// Reads the cover picture at `path` into `tags`. Why it cannot be one, in words, or empty.
std::string readCoverImage(const std::string& path, OutputTags& tags);

}  // namespace sonarel::media::core
