// SPDX-License-Identifier: GPL-3.0-or-later
// The one table of what a person sets for an entry: for each property of EntryProperties, its
// list-file column, its command-line key and the line --help gives it, its words in messages,
// its kind, its range, its default and the member that holds it. The list file's reader and
// writer, the command line's keys, undo's comparison, the messages about ranges and the audio
// settings dialog's "More" rows all loop over it; a new property is one more member of
// EntryProperties and one more row here, and the compiler checks that the two agree.
//
// Rules that tie properties together (an out point after the in point, ...) are not in the rows:
// checkShaping (model/MixListImport.h) holds them all.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "model/EntryLimits.h"
#include "model/MixItem.h"

namespace sonarel {

// The rows of the table, in reading order: the dialog's, --help's and the keys' order.
enum class EntryField {
    StartTime,
    Volume,
    Speed,
    InPoint,
    OutPoint,
    FadeIn,
    FadeOut,
    FadeCurve,
    KeepPitch,
    Pitch,
    Muted,
    Points,
    Duck,
    Chapter,
    Group
};
inline constexpr std::size_t kEntryFieldCount = 15;

enum class PropertyKind {
    ExactSeconds,  // a time read to the exact 100 ns
    Seconds,       // a time rounded to the nearest 100 ns
    Number,        // a double
    Switch,        // 0 or 1; on the command line the key alone is 1
    Curve,         // a fade curve: linear or equal_power
    Points,        // volume points: "T:L;T:L..." with T seconds of the file (rounded to 100 ns), L a level
    Text,          // a name or title: UTF-8 on one line, without control characters, blanks around it dropped
};

// Which list files hold the property's column: every one, those with a shaped entry (in the
// columns' order after the four classic ones), or only those where some entry holds other than
// the default (a column of its own, after those).
enum class ListColumn { Always, Shaped, WhenUsed };

// The values a list file or the command line accepts, and how a message tells the others:
// "the <words> <outside> <text>". A value at the default is always accepted.
struct PropertyRange {
    double lowest = 0.0;
    double highest = 0.0;
    std::string_view outside;  // "is too large", "must lie between", ...
    std::string_view text;     // what follows `outside`: "1000000", "-24 and 24 semitones"
    // Said instead for a value below zero (and for zero itself with zeroRefused), when not empty.
    std::string_view belowZero;
    bool zeroRefused = false;
};

// The default of volume points: none. The table holds this tag rather than an empty list, so that it
// stays a constant without a destructor, which every compiler (and sanitizer build) can evaluate.
struct NoPoints {
    friend constexpr bool operator==(NoPoints, NoPoints) = default;
};

// The default of a text: empty, held as a tag for the same reason.
struct NoText {
    friend constexpr bool operator==(NoText, NoText) = default;
};

using PropertyValue = std::variant<REFERENCE_TIME, double, bool, FadeCurve, NoPoints, NoText>;
using PropertyMember =
    std::variant<REFERENCE_TIME EntryProperties::*, double EntryProperties::*, bool EntryProperties::*,
                 FadeCurve EntryProperties::*, VolumePoints EntryProperties::*, std::string EntryProperties::*>;

struct EntryProperty {
    EntryField field;
    std::string_view column;       // the list file's header name
    std::string_view columnAlias;  // another header name read as the same column
    std::string_view key;          // the command line's key; empty: placed by FILE@START:VOLUME:SPEED
    std::string_view keyUsage;     // the key as --help shows it: "in=S"
    std::string_view keyHelp;      // --help's words; empty: shares the line of the row before
    std::string_view words;        // how messages name it: "in point"
    PropertyKind kind;
    ListColumn listColumn;
    PropertyRange range;
    PropertyValue defaultValue;
    PropertyMember member;
    std::optional<EntryField> needs = std::nullopt;  // a switch that must be on for another value than the default
};

// A time: from 0 to a thousand days.
inline constexpr PropertyRange kTimeRange{0.0, static_cast<double>(kLatestEntryStart), "is too large", "",
                                          "must not be negative"};
inline constexpr PropertyRange kVolumeRange{0.0, kHighestListVolume, "must be at most", "1000000",
                                            "must not be negative"};
inline constexpr PropertyRange kSpeedRange{kLowestSpeed,    kHighestSpeed,        "must lie between",
                                           kSpeedRangeText, "must be above zero", true};
inline constexpr PropertyRange kPitchRange{kLowestPitchSemitones, kHighestPitchSemitones, "must be between",
                                           "-24 and 24 semitones", ""};
// A volume point's level, and its time as kTimeRange.
inline constexpr PropertyRange kPointLevelRange{0.0, kHighestPointLevel, "must be at most", "100",
                                                "must not be negative"};
// A chosen value is never out of range.
inline constexpr PropertyRange kAnyChoice{};

inline constexpr std::array<EntryProperty, kEntryFieldCount> kEntryProperties{{
    {EntryField::StartTime, "start_seconds", "start", "", "", "", "start time", PropertyKind::ExactSeconds,
     ListColumn::Always, kTimeRange, REFERENCE_TIME{0}, &EntryProperties::startTime},
    {EntryField::Volume, "volume", "", "", "", "", "volume", PropertyKind::Number, ListColumn::Always, kVolumeRange,
     1.0, &EntryProperties::volume},
    {EntryField::Speed, "speed", "", "", "", "", "speed", PropertyKind::Number, ListColumn::Always, kSpeedRange, 1.0,
     &EntryProperties::speed},
    {EntryField::InPoint, "in_seconds", "", "in", "in=S", "play the file's own time from S to S seconds (default: all)",
     "in point", PropertyKind::Seconds, ListColumn::Shaped, kTimeRange, REFERENCE_TIME{0}, &EntryProperties::inPoint},
    {EntryField::OutPoint, "out_seconds", "", "out", "out=S", "", "out point", PropertyKind::Seconds,
     ListColumn::Shaped, kTimeRange, kToSourceEnd, &EntryProperties::outPoint},
    {EntryField::FadeIn, "fade_in_seconds", "", "fade-in", "fade-in=S",
     "fade lengths in seconds of the output (default 0)", "fade in", PropertyKind::Seconds, ListColumn::Shaped,
     kTimeRange, REFERENCE_TIME{0}, &EntryProperties::fadeIn},
    {EntryField::FadeOut, "fade_out_seconds", "", "fade-out", "fade-out=S", "", "fade out", PropertyKind::Seconds,
     ListColumn::Shaped, kTimeRange, REFERENCE_TIME{0}, &EntryProperties::fadeOut},
    {EntryField::FadeCurve, "fade_curve", "", "fade-curve", "fade-curve=C", "linear (default) or equal-power",
     "fade curve", PropertyKind::Curve, ListColumn::WhenUsed, kAnyChoice, FadeCurve::Linear,
     &EntryProperties::fadeCurve},
    {EntryField::KeepPitch, "keep_pitch", "", "keep-pitch", "keep-pitch",
     "the speed changes the tempo and keeps the pitch", "keep pitch", PropertyKind::Switch, ListColumn::Shaped,
     kAnyChoice, false, &EntryProperties::keepPitch},
    {EntryField::Pitch, "pitch_semitones", "", "pitch", "pitch=N",
     "shift the pitch by N semitones, -24 to 24 (needs keep-pitch)", "pitch", PropertyKind::Number, ListColumn::Shaped,
     kPitchRange, 0.0, &EntryProperties::pitchSemitones, EntryField::KeepPitch},
    {EntryField::Muted, "muted", "", "muted", "muted", "keep the entry but leave it out of the mix", "muted",
     PropertyKind::Switch, ListColumn::Shaped, kAnyChoice, false, &EntryProperties::muted},
    {EntryField::Points, "volume_points", "", "points", "points=T:L;T:L...",
     "level L times the volume at T s of the file (quote the ;)", "volume points", PropertyKind::Points,
     ListColumn::WhenUsed, kPointLevelRange, NoPoints{}, &EntryProperties::volumePoints},
    {EntryField::Duck, "duck", "", "duck", "duck", "the other entries duck under this one while it plays (a voice)",
     "duck", PropertyKind::Switch, ListColumn::WhenUsed, kAnyChoice, false, &EntryProperties::duck},
    {EntryField::Chapter, "chapter", "", "chapter", "chapter=TITLE",
     "a chapter of this title starts with the entry (commas allowed)", "chapter", PropertyKind::Text,
     ListColumn::WhenUsed, kAnyChoice, NoText{}, &EntryProperties::chapter},
    {EntryField::Group, "group", "", "group", "group=NAME", "the entry belongs to this group (its stem)", "group",
     PropertyKind::Text, ListColumn::WhenUsed, kAnyChoice, NoText{}, &EntryProperties::group},
}};

inline constexpr const EntryProperty& entryProperty(EntryField field)
{
    return kEntryProperties[static_cast<std::size_t>(field)];
}

// Whether a property is beyond start, volume and speed: only such a one makes an entry shaped.
inline constexpr bool isShaping(const EntryProperty& property)
{
    return property.listColumn != ListColumn::Always;
}

// Whether a property is typed as text (a time, a number, volume points) rather than chosen (a
// switch, a curve).
inline constexpr bool isTyped(const EntryProperty& property)
{
    return property.kind != PropertyKind::Switch && property.kind != PropertyKind::Curve;
}

namespace detail {

// Every row in its place, of a kind that fits its member.
consteval bool rowsFitTheirMembers()
{
    for (std::size_t i = 0; i < kEntryProperties.size(); ++i) {
        const EntryProperty& row = kEntryProperties[i];
        if (static_cast<std::size_t>(row.field) != i || row.member.index() != row.defaultValue.index())
            return false;
        const bool time = row.kind == PropertyKind::ExactSeconds || row.kind == PropertyKind::Seconds;
        const std::size_t expected = time                               ? 0
                                     : row.kind == PropertyKind::Number ? 1
                                     : row.kind == PropertyKind::Switch ? 2
                                     : row.kind == PropertyKind::Curve  ? 3
                                     : row.kind == PropertyKind::Points ? 4
                                                                        : 5;
        if (row.member.index() != expected || (row.needs && entryProperty(*row.needs).kind != PropertyKind::Switch))
            return false;
    }
    return true;
}

}  // namespace detail

static_assert(kEntryProperties.size() == kEntryFieldCount && kEntryFieldCount == std::size_t(EntryField::Group) + 1);
static_assert(detail::rowsFitTheirMembers(), "a row of kEntryProperties disagrees with EntryProperties");

// Whether every row's default is its member's own default. Checked by the table's test rather than
// at compile time: not every compiler can make an EntryProperties, which holds strings, as a constant.
bool defaultsAgreeWithTheEntry();

// The list file's columns after the path, in the order they are written (and read without a header).
inline constexpr std::array<EntryField, kEntryFieldCount> kListColumnOrder = [] {
    std::array<EntryField, kEntryFieldCount> order{};
    std::size_t next = 0;
    for (ListColumn group : {ListColumn::Always, ListColumn::Shaped, ListColumn::WhenUsed})
        for (const EntryProperty& row : kEntryProperties)
            if (row.listColumn == group)
                order[next++] = row.field;
    return order;
}();

// The two values are the same to the bit (a NaN equals itself, -0 differs from 0).
bool sameValue(const EntryProperty& property, const EntryProperties& a, const EntryProperties& b);
// The value is the property's default, to the bit.
bool holdsDefault(const EntryProperty& property, const EntryProperties& properties);

// The value equals the default as a number does (-0 equals 0).
bool equalsDefault(const EntryProperty& property, const EntryProperties& properties);

// A chosen property (a switch or a curve) as an index: 0 off or linear, 1 on or equal power.
int choiceOf(const EntryProperty& property, const EntryProperties& properties);
void setChoice(const EntryProperty& property, EntryProperties& properties, int choice);
// A number property's value, and setting it.
double numberOf(const EntryProperty& property, const EntryProperties& properties);
void setNumber(const EntryProperty& property, EntryProperties& properties, double value);
// Sets the property to its default.
void setDefault(const EntryProperty& property, EntryProperties& properties);

// The value as a list file writes it: times as exact decimal seconds, numbers in the shortest
// text that reads back the same, switches 0 or 1, curves linear or equal_power.
std::string valueText(const EntryProperty& property, const EntryProperties& properties);

// Reads `text` (trimmed, not empty) into the property; its range is not checked. Fails with
// the reason in `error`.
bool readValue(const EntryProperty& property, std::string_view text, EntryProperties& properties, std::string& error);

// Whether the value lies within the property's range (or is its default); otherwise `error`
// says so in the property's words.
bool checkRange(const EntryProperty& property, const EntryProperties& properties, std::string& error);

// Volume points as a list file writes them ("0:1;2.5:0.3"), and read back from such a text
// (blanks around each part allowed; an empty text is no points). Reading checks the form only;
// checkPoints the order, the levels and the count.
std::string pointsText(const VolumePoints& points);
bool readPoints(std::string_view text, VolumePoints& points, std::string& error);
bool checkPoints(const VolumePoints& points, std::string& error);

// A text property's longest value, in bytes of UTF-8.
inline constexpr std::size_t kLongestEntryText = 255;
// Whether `text` (trimmed) can be a text property's value: valid UTF-8, no control character
// (a tab or a line break among them), at most kLongestEntryText bytes. Otherwise `error` says why,
// in the property's words.
bool checkText(const EntryProperty& property, std::string_view text, std::string& error);

// Why `text` was refused as a number, in the words given.
std::string refusedNumber(const std::string& words, std::string_view text);

}  // namespace sonarel
