// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/MixListImport.h"

#include <array>
#include <cmath>

#include "model/MixListRows.h"
#include "model/NumberText.h"
#include "model/SequencePlacing.h"

namespace sonarel {

namespace {

// The latest time a list may ask for (a start, an in or out point, a fade's length): a thousand days.
constexpr REFERENCE_TIME kLatestStart = kLatestEntryStart;

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos)
            return parts;
        from = at + 1;
    }
}

// The command line's shaping keys.
struct ShapingKey {
    std::string_view name;
    ShapingField field;
    bool flag;  // may stand alone, meaning 1
};
constexpr std::array<ShapingKey, 8> kShapingKeys{{
    {"in", ShapingField::In, false},
    {"out", ShapingField::Out, false},
    {"fade-in", ShapingField::FadeIn, false},
    {"fade-out", ShapingField::FadeOut, false},
    {"fade-curve", ShapingField::FadeCurve, false},
    {"keep-pitch", ShapingField::KeepPitch, true},
    {"pitch", ShapingField::Pitch, false},
    {"muted", ShapingField::Muted, true},
}};

const ShapingKey* shapingKeyOf(std::string_view name)
{
    for (const ShapingKey& key : kShapingKeys)
        if (key.name == name)
            return &key;
    return nullptr;
}

// The known key that `segment` ("in=2", "muted") starts with, if it has the key's form.
const ShapingKey* knownKeyIn(std::string_view segment)
{
    const std::size_t equals = segment.find('=');
    const ShapingKey* key = shapingKeyOf(trimmedText(segment.substr(0, equals)));
    if (key == nullptr || (equals == std::string_view::npos && !key->flag))
        return nullptr;
    return key;
}

// Reads "KEY[=VALUE],..." into `entry`.
bool readShapingKeys(const std::vector<std::string_view>& segments, EntryProperties& entry, std::string& error)
{
    for (std::string_view segment : segments) {
        const std::size_t equals = segment.find('=');
        const std::string_view name = trimmedText(segment.substr(0, equals));
        const ShapingKey* key = shapingKeyOf(name);
        if (key == nullptr) {
            error = "unknown entry option \"" + std::string(name) +
                    "\" (known: in, out, fade-in, fade-out, fade-curve, keep-pitch, pitch, muted)";
            return false;
        }
        if (equals == std::string_view::npos && !key->flag) {
            error = "the entry option \"" + std::string(name) + "\" needs a value (" + std::string(name) + "=...)";
            return false;
        }
        const std::string_view value = equals == std::string_view::npos ? "1" : segment.substr(equals + 1);
        if (trimmedText(value).empty()) {
            error = "the entry option \"" + std::string(name) + "\" has an empty value";
            return false;
        }
        if (!readShapingValue(key->field, value, entry, error))
            return false;
    }
    return checkShaping(entry, error);
}

const char* fieldWords(ShapingField field)
{
    switch (field) {
    case ShapingField::In: return "in point";
    case ShapingField::Out: return "out point";
    case ShapingField::FadeIn: return "fade in";
    case ShapingField::FadeOut: return "fade out";
    case ShapingField::KeepPitch: return "keep pitch";
    case ShapingField::Pitch: return "pitch";
    case ShapingField::Muted: return "muted";
    case ShapingField::FadeCurve: return "fade curve";
    }
    return "";
}

// Why a value written as `text` was refused by its reader, in the words of the field.
std::string refusedNumber(const std::string& words, std::string_view text)
{
    const std::string quoted = "the " + words + " \"" + std::string(text) + "\"";
    switch (numberFault(text)) {
    case NumberFault::NotANumber: return quoted + " is not a number";
    case NumberFault::TooCloseToZero: return quoted + " is too close to zero";
    case NumberFault::TooLarge: return quoted + " is too large";
    case NumberFault::None: break;
    }
    // A number a double holds but the exact reader does not: it has too many digits either way.
    const double value = readNumber(text).value_or(0.0);
    return std::fabs(value) < 1.0 ? quoted + " is too close to zero" : quoted + " is too large";
}

bool readSecondsField(ShapingField field, std::string_view text, REFERENCE_TIME& time, std::string& error)
{
    const std::string words = fieldWords(field);
    const std::optional<REFERENCE_TIME> seconds = readRoundedSeconds(text);
    if (!seconds) {
        error = refusedNumber(words, text);
        return false;
    }
    if (*seconds < 0) {
        error = "the " + words + " must not be negative";
        return false;
    }
    if (*seconds > kLatestStart) {
        error = "the " + words + " is too large";
        return false;
    }
    time = *seconds;
    return true;
}

bool readSwitch(ShapingField field, std::string_view text, bool& value, std::string& error)
{
    if (text != "0" && text != "1") {
        error = std::string(fieldWords(field)) + " must be 0 or 1, not \"" + std::string(text) + "\"";
        return false;
    }
    value = text == "1";
    return true;
}

}  // namespace

bool readShapingValue(ShapingField field, std::string_view text, EntryProperties& entry, std::string& error)
{
    text = trimmedText(text);
    if (text.empty())
        return true;
    switch (field) {
    case ShapingField::In: return readSecondsField(field, text, entry.inPoint, error);
    case ShapingField::Out: return readSecondsField(field, text, entry.outPoint, error);
    case ShapingField::FadeIn: return readSecondsField(field, text, entry.fadeIn, error);
    case ShapingField::FadeOut: return readSecondsField(field, text, entry.fadeOut, error);
    case ShapingField::KeepPitch: return readSwitch(field, text, entry.keepPitch, error);
    case ShapingField::Muted: return readSwitch(field, text, entry.muted, error);
    case ShapingField::Pitch: {
        const std::optional<double> value = readNumber(text);
        if (!value) {
            error = refusedNumber("pitch", text);
            return false;
        }
        entry.pitchSemitones = *value;
        return true;
    }
    case ShapingField::FadeCurve:
        if (text == "linear") {
            entry.fadeCurve = FadeCurve::Linear;
            return true;
        }
        if (text == "equal_power" || text == "equal-power") {
            entry.fadeCurve = FadeCurve::EqualPower;
            return true;
        }
        error = "the fade curve must be linear or equal power, not \"" + std::string(text) + "\"";
        return false;
    }
    return false;
}

bool checkShaping(const EntryProperties& entry, std::string& error)
{
    if (entry.outPoint != kToSourceEnd && entry.outPoint <= entry.inPoint) {
        error = "the out point (" + secondsText(entry.outPoint) + " s) must lie after the in point (" +
                secondsText(entry.inPoint) + " s)";
        return false;
    }
    if (!(entry.pitchSemitones >= kLowestPitchSemitones && entry.pitchSemitones <= kHighestPitchSemitones)) {
        error = "the pitch must be between -24 and 24 semitones";
        return false;
    }
    if (entry.pitchSemitones != 0 && !entry.keepPitch) {
        error = "a pitch other than 0 needs keep pitch";
        return false;
    }
    return true;
}

bool checkInPointWithinFile(const MixItem& item, std::string& error)
{
    if (item.duration <= 0 || item.inPoint < item.duration)
        return true;
    error = "the in point (" + secondsText(item.inPoint) + " s) is not before the end of the file (" +
            secondsText(item.duration) + " s)";
    return false;
}

bool readEntryValues(const std::vector<std::string_view>& texts, EntryProperties& entry, std::string& error)
{
    const char* names[] = {"start time", "volume", "speed"};
    for (std::size_t i = 0; i < texts.size() && i < 3; ++i) {
        const std::string_view text = trimmedText(texts[i]);
        if (text.empty())
            continue;
        const std::optional<double> value = readNumber(text);
        const std::optional<REFERENCE_TIME> start = i == 0 ? readExactSeconds(text) : std::nullopt;
        if (!value || (i == 0 && !start)) {
            error = refusedNumber(names[i], text);
            return false;
        }
        if (i == 0)
            entry.startTime = *start;
        else
            (i == 1 ? entry.volume : entry.speed) = *value;
    }
    if (entry.startTime < 0) {
        error = "the start time must not be negative";
        return false;
    }
    if (entry.startTime > kLatestStart) {
        error = "the start time is too large";
        return false;
    }
    if (entry.volume < 0) {
        error = "the volume must not be negative";
        return false;
    }
    if (entry.volume > kHighestListVolume) {
        error = "the volume must be at most 1000000";
        return false;
    }
    if (entry.speed <= 0) {
        error = "the speed must be above zero";
        return false;
    }
    if (!speedInRange(entry.speed)) {
        error = std::string("the speed must lie between ") + kSpeedRangeText;
        return false;
    }
    return true;
}

std::optional<MixItem> parseEntryArgument(std::string_view argument, std::string& error)
{
    MixItem entry;
    const std::size_t at = argument.rfind('@');
    if (at != std::string_view::npos && at > 0) {
        std::vector<std::string_view> keys = split(argument.substr(at + 1), ',');
        const std::string_view placement = keys.front();
        keys.erase(keys.begin());
        // Without a known key first, the commas belong to the file name.
        const bool shaped = !keys.empty() && knownKeyIn(keys.front()) != nullptr;
        const std::vector<std::string_view> values = split(shaped ? placement : argument.substr(at + 1), ':');
        bool allNumbers = values.size() <= 3;
        for (std::string_view value : values)
            allNumbers = allNumbers && (trimmedText(value).empty() || numberFault(value) != NumberFault::NotANumber);
        if (allNumbers) {
            entry.filePath = std::string(argument.substr(0, at));
            if (!readEntryValues(values, entry, error) || (shaped && !readShapingKeys(keys, entry, error)))
                return std::nullopt;
            return entry;
        }
    }
    if (argument.empty()) {
        error = "an empty file name";
        return std::nullopt;
    }
    entry.filePath = std::string(argument);
    return entry;
}

}  // namespace sonarel
