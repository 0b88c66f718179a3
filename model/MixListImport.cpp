#include "model/MixListImport.h"

#include <charconv>
#include <cmath>

namespace sonarel {

namespace {

// The latest start a list may ask for: a thousand days.
constexpr REFERENCE_TIME kLatestStart = 86'400'000LL * kReferenceUnitsPerSecond;

std::optional<double> number(std::string_view text)
{
    text = trimmedText(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
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

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

std::string_view trimmedText(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::optional<REFERENCE_TIME> parseSeconds(std::string_view text)
{
    text = trimmedText(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::string digits;  // every digit, without the point
    int fractionDigits = 0;
    bool point = false;
    std::size_t i = 0;
    for (; i < text.size() && (isDigit(text[i]) || (text[i] == '.' && !point)); ++i) {
        if (text[i] == '.') {
            point = true;
            continue;
        }
        digits += text[i];
        fractionDigits += point ? 1 : 0;
    }
    if (digits.empty())
        return std::nullopt;
    long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const auto result = std::from_chars(text.data() + i + (i < text.size() && text[i] == '+' ? 1 : 0),
                                            text.data() + text.size(), exponent);
        if (result.ec != std::errc() || result.ptr != text.data() + text.size() || exponent < -100 || exponent > 100)
            return std::nullopt;
        i = text.size();
    }
    if (i != text.size())
        return std::nullopt;

    // value = digits x 10^(exponent - fractionDigits) seconds = digits x 10^shift units.
    const long shift = exponent - fractionDigits + 7;
    if (shift < 0)
        digits.resize(digits.size() > static_cast<std::size_t>(-shift) ? digits.size() - static_cast<std::size_t>(-shift) : 0);
    else
        digits.append(static_cast<std::size_t>(shift), '0');
    const std::size_t firstNonZero = digits.find_first_not_of('0');
    if (firstNonZero == std::string::npos)
        return REFERENCE_TIME{0};
    if (digits.size() - firstNonZero > 18)
        return std::nullopt;
    REFERENCE_TIME units = 0;
    std::from_chars(digits.data() + firstNonZero, digits.data() + digits.size(), units);
    return negative ? -units : units;
}

bool readEntryValues(const std::vector<std::string_view>& texts, EntrySpec& entry, std::string& error)
{
    const char* names[] = {"start time", "volume", "speed"};
    for (std::size_t i = 0; i < texts.size() && i < 3; ++i) {
        const std::string_view text = trimmedText(texts[i]);
        if (text.empty())
            continue;
        const std::optional<double> value = number(text);
        const std::optional<REFERENCE_TIME> start = i == 0 ? parseSeconds(text) : std::nullopt;
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

std::optional<EntrySpec> parseEntryArgument(std::string_view argument, std::string& error)
{
    EntrySpec entry;
    const std::size_t at = argument.rfind('@');
    if (at != std::string_view::npos && at > 0) {
        const std::vector<std::string_view> values = split(argument.substr(at + 1), ':');
        bool allNumbers = values.size() <= 3;
        for (std::string_view value : values)
            allNumbers = allNumbers && (trimmedText(value).empty() || number(value).has_value());
        if (allNumbers) {
            entry.path = std::string(argument.substr(0, at));
            if (!readEntryValues(values, entry, error))
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

}  // namespace sonarel
