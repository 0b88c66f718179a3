#include "model/MixListImport.h"

#include <charconv>
#include <cmath>

#include "platform/PathHelpers.h"
#include "platform/PathLimits.h"

namespace sonarel {

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::optional<double> number(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Fills start, volume and speed from up to three texts; empty texts keep the defaults.
bool readValues(const std::vector<std::string_view>& texts, EntrySpec& entry, std::string& error)
{
    double* targets[] = {&entry.startSeconds, &entry.volume, &entry.speed};
    const char* names[] = {"start time", "volume", "speed"};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (trimmed(texts[i]).empty())
            continue;
        const auto value = number(texts[i]);
        if (!value) {
            error = std::string("the ") + names[i] + " \"" + std::string(trimmed(texts[i])) + "\" is not a number";
            return false;
        }
        *targets[i] = *value;
    }
    if (entry.startSeconds < 0) {
        error = "the start time must not be negative";
        return false;
    }
    if (entry.startSeconds > 3.6e6 * 24) {
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

// One CSV record; false on an unterminated quote or text after a closing quote.
bool splitCsvLine(std::string_view line, std::vector<std::string>& fields, std::string& error)
{
    fields.clear();
    std::string field;
    std::size_t i = 0;
    for (;;) {
        field.clear();
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i < line.size() && line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                field += line[i++];
            }
            if (!closed) {
                error = "a quoted field is not closed";
                return false;
            }
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
                ++i;
            if (i < line.size() && line[i] != ',') {
                error = "unexpected text after a closing quote";
                return false;
            }
        } else {
            const std::size_t end = line.find(',', i);
            field = std::string(trimmed(line.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i)));
            i = end == std::string_view::npos ? line.size() : end;
        }
        fields.push_back(field);
        if (i >= line.size())
            return true;
        ++i;  // the comma
    }
}

}  // namespace

REFERENCE_TIME secondsToReferenceTime(double seconds)
{
    return static_cast<long long>(seconds * 10'000'000.0);
}

std::optional<EntrySpec> parseEntryArgument(std::string_view argument, std::string& error)
{
    EntrySpec entry;
    const std::size_t at = argument.rfind('@');
    if (at != std::string_view::npos && at > 0) {
        const std::vector<std::string_view> values = split(argument.substr(at + 1), ':');
        bool allNumbers = values.size() <= 3;
        for (std::string_view value : values)
            allNumbers = allNumbers && (trimmed(value).empty() || number(value).has_value());
        if (allNumbers) {
            entry.path = std::string(argument.substr(0, at));
            if (!readValues(values, entry, error))
                return std::nullopt;
            return entry;
        }
    }
    if (argument.empty()) {
        error = "an empty file name";
        return std::nullopt;
    }
    entry.path = std::string(argument);
    return entry;
}

bool parseMixListCsv(std::string_view text, const std::string& baseFolder, std::vector<EntrySpec>& entries,
                     ImportError& error)
{
    entries.clear();
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    int lineNumber = 0;
    bool firstRecord = true;
    std::vector<std::string> fields;
    for (std::string_view line : split(text, '\n')) {
        ++lineNumber;
        if (trimmed(line).empty() || trimmed(line).front() == '#')
            continue;
        std::string problem;
        if (!splitCsvLine(line, fields, problem)) {
            error = {lineNumber, problem};
            return false;
        }
        const bool header = firstRecord && fields.size() >= 2 && !fields[1].empty() && !number(fields[1]);
        firstRecord = false;
        if (header)
            continue;
        if (fields.size() > 4) {
            error = {lineNumber, "expected at most 4 columns (path, start, volume, speed), found " +
                                     std::to_string(fields.size())};
            return false;
        }
        EntrySpec entry;
        entry.path = fields[0];
        if (entry.path.empty()) {
            error = {lineNumber, "the path is empty"};
            return false;
        }
        std::vector<std::string_view> values(fields.begin() + 1, fields.end());
        if (!readValues(values, entry, problem)) {
            error = {lineNumber, problem};
            return false;
        }
        if (entry.path.front() != kPathSeparator)
            entry.path = JoinPath(baseFolder, entry.path);
        entries.push_back(std::move(entry));
    }
    return true;
}

}  // namespace sonarel
