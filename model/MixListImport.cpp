// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/MixListImport.h"

#include "model/NumberText.h"

namespace sonarel {

namespace {

// The latest start a list may ask for: a thousand days.
constexpr REFERENCE_TIME kLatestStart = 86'400'000LL * kReferenceUnitsPerSecond;

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

}  // namespace

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
            if (i == 0 && value && *value > 0) {
                error = "the start time is too large";
                return false;
            }
            error = std::string("the ") + names[i] + " \"" + std::string(text) + "\" is not a number";
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
    if (entry.speed <= 0) {
        error = "the speed must be above zero";
        return false;
    }
    return true;
}

std::optional<MixItem> parseEntryArgument(std::string_view argument, std::string& error)
{
    MixItem entry;
    const std::size_t at = argument.rfind('@');
    if (at != std::string_view::npos && at > 0) {
        const std::vector<std::string_view> values = split(argument.substr(at + 1), ':');
        bool allNumbers = values.size() <= 3;
        for (std::string_view value : values)
            allNumbers = allNumbers && (trimmedText(value).empty() || readNumber(value).has_value());
        if (allNumbers) {
            entry.filePath = std::string(argument.substr(0, at));
            if (!readEntryValues(values, entry, error))
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
