// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/EntryPropertyTable.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "model/MixListFile.h"
#include "model/MixListRows.h"
#include "model/NumberText.h"
#include "platform/media/TextChecks.h"

namespace sonarel {

namespace {

template <typename T>
bool sameBits(const T& a, const T& b)
{
    if constexpr (std::is_same_v<T, double>)
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    else if constexpr (std::is_same_v<T, VolumePoints>)
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const VolumePoint& x, const VolumePoint& y) {
            return x.time == y.time && sameBits(x.level, y.level);
        });
    else
        return a == b;
}

// The shortest text that reads back as the same double.
std::string shortestText(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// The names a curve is written and read by, in the order of its choices.
constexpr std::array<std::string_view, 2> kCurveNames{"linear", "equal_power"};

}  // namespace

bool sameValue(const EntryProperty& property, const EntryProperties& a, const EntryProperties& b)
{
    return std::visit([&a, &b](auto member) { return sameBits(a.*member, b.*member); }, property.member);
}

namespace {
template <typename Value>
Value defaultOf(const EntryProperty& property)
{
    if constexpr (std::is_same_v<Value, VolumePoints> || std::is_same_v<Value, std::string>)
        return {};
    else
        return std::get<Value>(property.defaultValue);
}
}  // namespace

bool defaultsAgreeWithTheEntry()
{
    const EntryProperties plain{};
    return std::all_of(kEntryProperties.begin(), kEntryProperties.end(),
                       [&plain](const EntryProperty& row) { return holdsDefault(row, plain); });
}

bool holdsDefault(const EntryProperty& property, const EntryProperties& properties)
{
    return std::visit(
        [&](auto member) {
            using Value = std::remove_cvref_t<decltype(properties.*member)>;
            return sameBits(properties.*member, defaultOf<Value>(property));
        },
        property.member);
}

bool equalsDefault(const EntryProperty& property, const EntryProperties& properties)
{
    return std::visit(
        [&](auto member) {
            using Value = std::remove_cvref_t<decltype(properties.*member)>;
            return properties.*member == defaultOf<Value>(property);
        },
        property.member);
}

int choiceOf(const EntryProperty& property, const EntryProperties& properties)
{
    if (const auto* flag = std::get_if<bool EntryProperties::*>(&property.member))
        return properties.*(*flag) ? 1 : 0;
    if (const auto* curve = std::get_if<FadeCurve EntryProperties::*>(&property.member))
        return properties.*(*curve) == FadeCurve::EqualPower ? 1 : 0;
    return 0;
}

void setChoice(const EntryProperty& property, EntryProperties& properties, int choice)
{
    if (const auto* flag = std::get_if<bool EntryProperties::*>(&property.member))
        properties.*(*flag) = choice == 1;
    else if (const auto* curve = std::get_if<FadeCurve EntryProperties::*>(&property.member))
        properties.*(*curve) = choice == 1 ? FadeCurve::EqualPower : FadeCurve::Linear;
}

double numberOf(const EntryProperty& property, const EntryProperties& properties)
{
    return properties.*std::get<double EntryProperties::*>(property.member);
}

void setNumber(const EntryProperty& property, EntryProperties& properties, double value)
{
    properties.*std::get<double EntryProperties::*>(property.member) = value;
}

void setDefault(const EntryProperty& property, EntryProperties& properties)
{
    std::visit(
        [&](auto member) {
            using Value = std::remove_cvref_t<decltype(properties.*member)>;
            properties.*member = defaultOf<Value>(property);
        },
        property.member);
}

std::string valueText(const EntryProperty& property, const EntryProperties& properties)
{
    switch (property.kind) {
    case PropertyKind::ExactSeconds:
    case PropertyKind::Seconds:
        return secondsDecimal(properties.*std::get<REFERENCE_TIME EntryProperties::*>(property.member));
    case PropertyKind::Number: return shortestText(numberOf(property, properties));
    case PropertyKind::Switch: return choiceOf(property, properties) == 1 ? "1" : "0";
    case PropertyKind::Curve: return std::string(kCurveNames[static_cast<std::size_t>(choiceOf(property, properties))]);
    case PropertyKind::Points:
        return pointsText(properties.*std::get<VolumePoints EntryProperties::*>(property.member));
    case PropertyKind::Text: return properties.*std::get<std::string EntryProperties::*>(property.member);
    }
    return {};
}

std::string pointsText(const VolumePoints& points)
{
    std::string text;
    for (const VolumePoint& point : points)
        text.append(text.empty() ? "" : ";")
            .append(secondsDecimal(point.time))
            .append(":")
            .append(shortestText(point.level));
    return text;
}

bool readPoints(std::string_view text, VolumePoints& points, std::string& error)
{
    VolumePoints read;
    text = trimmedText(text);
    std::size_t from = 0;
    while (!text.empty() && from <= text.size()) {
        const std::size_t end = std::min(text.find(';', from), text.size());
        const std::string_view pair = text.substr(from, end - from);
        from = end + 1;
        if (trimmedText(pair).empty())  // "0:1;" or ";;": nothing between
            continue;
        const std::string number = "volume point " + std::to_string(read.size() + 1);  // as messages name it
        const std::size_t colon = pair.find(':');
        if (colon == std::string_view::npos) {
            error = "the " + number + " \"" + std::string(trimmedText(pair)) + "\" is not TIME:LEVEL";
            return false;
        }
        const std::string_view time = trimmedText(pair.substr(0, colon));
        const std::string_view level = trimmedText(pair.substr(colon + 1));
        const std::optional<REFERENCE_TIME> seconds = readRoundedSeconds(time);
        if (!seconds) {
            error = refusedNumber(number + " time", time);
            return false;
        }
        const std::optional<double> value = readNumber(level);
        if (!value) {
            error = refusedNumber(number + " level", level);
            return false;
        }
        if (read.size() == kMostVolumePoints) {
            error = "the volume points are too many (at most " + std::to_string(kMostVolumePoints) + ")";
            return false;
        }
        read.push_back({*seconds, *value});
    }
    points = std::move(read);
    return true;
}

bool checkPoints(const VolumePoints& points, std::string& error)
{
    if (points.size() > kMostVolumePoints) {
        error = "the volume points are too many (at most " + std::to_string(kMostVolumePoints) + ")";
        return false;
    }
    for (std::size_t i = 0; i < points.size(); ++i) {
        const VolumePoint& point = points[i];
        const std::string which = "point " + std::to_string(i + 1) + ", at " + secondsText(point.time) + " s";
        if (point.time < 0 || point.time > kLatestEntryStart) {
            error = "the volume points " + std::string(point.time < 0 ? "must not be negative" : "are too late") +
                    " (" + which + ")";
            return false;
        }
        if (i > 0 && point.time <= points[i - 1].time) {
            error = "the volume points must be in time order (" + which + ", is not after " +
                    secondsText(points[i - 1].time) + " s)";
            return false;
        }
        if (!(point.level >= 0.0)) {
            error = "the volume points must not have a level below zero (" + which + ")";
            return false;
        }
        if (!(point.level <= kHighestPointLevel)) {
            error = "the volume points must have levels of at most 100 (" + which + ")";
            return false;
        }
    }
    return true;
}

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

bool readValue(const EntryProperty& property, std::string_view text, EntryProperties& properties, std::string& error)
{
    const std::string words(property.words);
    switch (property.kind) {
    case PropertyKind::ExactSeconds:
    case PropertyKind::Seconds: {
        // An exact time must be a number as well, so that both readers refuse alike.
        const bool exact = property.kind == PropertyKind::ExactSeconds;
        const std::optional<REFERENCE_TIME> seconds = exact ? readExactSeconds(text) : readRoundedSeconds(text);
        if (!seconds || (exact && !readNumber(text))) {
            error = refusedNumber(words, text);
            return false;
        }
        properties.*std::get<REFERENCE_TIME EntryProperties::*>(property.member) = *seconds;
        return true;
    }
    case PropertyKind::Number: {
        const std::optional<double> value = readNumber(text);
        if (!value) {
            error = refusedNumber(words, text);
            return false;
        }
        setNumber(property, properties, *value);
        return true;
    }
    case PropertyKind::Switch:
        if (text != "0" && text != "1") {
            error = words + " must be 0 or 1, not \"" + std::string(text) + "\"";
            return false;
        }
        setChoice(property, properties, text == "1" ? 1 : 0);
        return true;
    case PropertyKind::Points:
        return readPoints(text, properties.*std::get<VolumePoints EntryProperties::*>(property.member), error);
    case PropertyKind::Text:
        if (!checkText(property, text, error))
            return false;
        properties.*std::get<std::string EntryProperties::*>(property.member) = std::string(trimmedText(text));
        return true;
    case PropertyKind::Curve:
        // The command line's spelling of a curve too.
        for (std::string_view name : {kCurveNames[0], kCurveNames[1], std::string_view("equal-power")}) {
            if (text == name) {
                setChoice(property, properties, name == kCurveNames[0] ? 0 : 1);
                return true;
            }
        }
        error = "the " + words + " must be linear or equal power, not \"" + std::string(text) + "\"";
        return false;
    }
    return false;
}

bool checkRange(const EntryProperty& property, const EntryProperties& properties, std::string& error)
{
    if (property.kind == PropertyKind::Points)
        return checkPoints(properties.*std::get<VolumePoints EntryProperties::*>(property.member), error);
    if (property.kind == PropertyKind::Text)
        return checkText(property, properties.*std::get<std::string EntryProperties::*>(property.member), error);
    if (!isTyped(property))
        return true;
    const double value = std::visit(
        [&properties](auto member) {
            if constexpr (std::is_same_v<decltype(member), VolumePoints EntryProperties::*> ||
                          std::is_same_v<decltype(member), std::string EntryProperties::*>)
                return 0.0;
            else
                return static_cast<double>(properties.*member);
        },
        property.member);
    const PropertyRange& range = property.range;
    // Appended piece by piece: GCC 12 at -O3 takes "..." + std::string for an overlapping copy.
    std::string said = "the ";
    said.append(property.words).append(" ");
    if (!range.belowZero.empty() && (value < 0.0 || (range.zeroRefused && value == 0.0))) {
        error = said.append(range.belowZero);
        return false;
    }
    if (!(value >= range.lowest && value <= range.highest)) {
        said.append(range.outside);
        if (!range.text.empty())
            said.append(" ").append(range.text);
        error = said;
        return false;
    }
    return true;
}

bool checkText(const EntryProperty& property, std::string_view text, std::string& error)
{
    text = trimmedText(text);
    const std::string words(property.words);
    if (text.size() > kLongestEntryText) {
        error = "the " + words + " is longer than " + std::to_string(kLongestEntryText) + " bytes";
        return false;
    }
    switch (media::textFault(text)) {
    case media::TextFault::None: return true;
    case media::TextFault::Control: error = "the " + words + " must not hold a control character"; return false;
    case media::TextFault::NotUtf8: error = "the " + words + " is not UTF-8 text"; return false;
    }
    return false;
}

}  // namespace sonarel
