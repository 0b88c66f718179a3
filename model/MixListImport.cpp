// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/MixListImport.h"

#include <algorithm>

#include "model/MixListRows.h"
#include "model/NumberText.h"

namespace sonarel {

namespace {

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

// The property whose command-line key is `name`.
const EntryProperty* propertyOfKey(std::string_view name)
{
    for (const EntryProperty& property : kEntryProperties)
        if (!property.key.empty() && property.key == name)
            return &property;
    return nullptr;
}

// A switch may stand alone on the command line, meaning 1.
bool standsAlone(const EntryProperty& property)
{
    return property.kind == PropertyKind::Switch;
}

// The known key that `segment` ("in=2", "muted") starts with, if it has the key's form.
const EntryProperty* knownKeyIn(std::string_view segment)
{
    const std::size_t equals = segment.find('=');
    const EntryProperty* property = propertyOfKey(trimmedText(segment.substr(0, equals)));
    if (property == nullptr || (equals == std::string_view::npos && !standsAlone(*property)))
        return nullptr;
    return property;
}

std::string knownKeys()
{
    std::string keys;
    for (const EntryProperty& property : kEntryProperties)
        if (!property.key.empty())
            keys.append(keys.empty() ? "" : ", ").append(property.key);
    return keys;
}

// Reads "KEY[=VALUE],..." into `entry`.
bool readShapingKeys(const std::vector<std::string_view>& segments, EntryProperties& entry, std::string& error)
{
    for (std::string_view segment : segments) {
        const std::size_t equals = segment.find('=');
        const std::string_view name = trimmedText(segment.substr(0, equals));
        const EntryProperty* property = propertyOfKey(name);
        if (property == nullptr) {
            error = "unknown entry option \"" + std::string(name) + "\" (known: " + knownKeys() + ")";
            return false;
        }
        if (equals == std::string_view::npos && !standsAlone(*property)) {
            error = "the entry option \"" + std::string(name) + "\" needs a value (" + std::string(name) + "=...)";
            return false;
        }
        const std::string_view value = equals == std::string_view::npos ? "1" : segment.substr(equals + 1);
        if (trimmedText(value).empty()) {
            error = "the entry option \"" + std::string(name) + "\" has an empty value";
            return false;
        }
        if (!readShapingValue(*property, value, entry, error))
            return false;
    }
    return checkShaping(entry, error);
}

}  // namespace

bool readShapingValue(const EntryProperty& property, std::string_view text, EntryProperties& entry, std::string& error)
{
    text = trimmedText(text);
    if (text.empty())
        return true;
    if (!readValue(property, text, entry, error))
        return false;
    // A time is checked as it is read; the other values after the rules between properties.
    const bool time = property.kind == PropertyKind::Seconds || property.kind == PropertyKind::ExactSeconds;
    return !time || checkRange(property, entry, error);
}

bool checkShaping(const EntryProperties& entry, std::string& error)
{
    if (entry.outPoint != kToSourceEnd && entry.outPoint <= entry.inPoint) {
        error = "the out point (" + secondsText(entry.outPoint) + " s) must lie after the in point (" +
                secondsText(entry.inPoint) + " s)";
        return false;
    }
    for (const EntryProperty& property : kEntryProperties)
        if (isShaping(property) && !holdsDefault(property, entry) && !checkRange(property, entry, error))
            return false;
    for (const EntryProperty& property : kEntryProperties) {
        if (!property.needs || choiceOf(entryProperty(*property.needs), entry) == 1)
            continue;
        if (!equalsDefault(property, entry)) {
            EntryProperties plain = entry;
            setDefault(property, plain);
            error = "a " + std::string(property.words) + " other than " + valueText(property, plain) + " needs " +
                    std::string(entryProperty(*property.needs).words);
            return false;
        }
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
    // Start, volume and speed, the rows that every entry places by: every text is read before any
    // range is checked.
    std::size_t next = 0;
    for (const EntryProperty& property : kEntryProperties) {
        if (isShaping(property) || next >= texts.size())
            continue;
        const std::string_view text = trimmedText(texts[next++]);
        if (!text.empty() && !readValue(property, text, entry, error))
            return false;
    }
    for (const EntryProperty& property : kEntryProperties)
        if (!isShaping(property) && !checkRange(property, entry, error))
            return false;
    return true;
}

namespace {

// A text key's value runs on over commas until the next segment that starts with a known key, so
// a chapter title may hold a comma.
std::vector<std::string_view> joinTextValues(const std::vector<std::string_view>& segments)
{
    std::vector<std::string_view> joined;
    bool inText = false;
    for (std::string_view segment : segments) {
        const EntryProperty* property = knownKeyIn(segment);
        if (inText && property == nullptr) {
            const std::string_view& last = joined.back();
            joined.back() = std::string_view(last.data(),
                                             static_cast<std::size_t>(segment.data() + segment.size() - last.data()));
            continue;
        }
        joined.push_back(segment);
        inText = property != nullptr && property->kind == PropertyKind::Text;
    }
    return joined;
}

}  // namespace

std::optional<MixItem> parseEntryArgument(std::string_view argument, std::string& error)
{
    // The placement at `at`, when START[:VOLUME[:SPEED]] follows it; keys after it only when
    // `withText`, where they must hold a text key.
    const auto placedAt = [argument](std::size_t at, bool withText, MixItem& entry, std::string& failure) {
        std::vector<std::string_view> keys = split(argument.substr(at + 1), ',');
        const std::string_view placement = keys.front();
        keys.erase(keys.begin());
        // Without a known key first, the commas belong to the file name.
        const bool shaped = !keys.empty() && knownKeyIn(keys.front()) != nullptr;
        keys = joinTextValues(keys);
        if (withText && !(shaped && std::any_of(keys.begin(), keys.end(), [](std::string_view key) {
                              const EntryProperty* property = knownKeyIn(key);
                              return property != nullptr && property->kind == PropertyKind::Text;
                          })))
            return std::optional<bool>();
        const std::vector<std::string_view> values = split(shaped ? placement : argument.substr(at + 1), ':');
        bool allNumbers = values.size() <= 3;
        for (std::string_view value : values)
            allNumbers = allNumbers && (trimmedText(value).empty() || numberFault(value) != NumberFault::NotANumber);
        if (!allNumbers)
            return std::optional<bool>();
        entry.filePath = std::string(argument.substr(0, at));
        return std::optional<bool>(readEntryValues(values, entry, failure) &&
                                   (!shaped || readShapingKeys(keys, entry, failure)));
    };
    MixItem entry;
    // A title may hold an '@': with a text key, the first '@' that places the entry is the one.
    for (std::size_t at = argument.find('@', 1); at != std::string_view::npos; at = argument.find('@', at + 1)) {
        if (const std::optional<bool> read = placedAt(at, true, entry, error))
            return *read ? std::optional<MixItem>(std::move(entry)) : std::nullopt;
    }
    if (const std::size_t at = argument.rfind('@'); at != std::string_view::npos && at > 0) {
        if (const std::optional<bool> read = placedAt(at, false, entry, error))
            return *read ? std::optional<MixItem>(std::move(entry)) : std::nullopt;
    }
    if (argument.empty()) {
        error = "an empty file name";
        return std::nullopt;
    }
    entry.filePath = std::string(argument);
    return entry;
}

}  // namespace sonarel
