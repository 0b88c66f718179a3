// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/EntryPropertyTable.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "model/MixListFile.h"
#include "model/NumberText.h"

namespace sonarel {

namespace {

template <typename T>
bool sameBits(T a, T b)
{
    if constexpr (std::is_same_v<T, double>)
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    else
        return a == b;
}

// The names a curve is written and read by, in the order of its choices.
constexpr std::array<std::string_view, 2> kCurveNames{"linear", "equal_power"};

}  // namespace

bool sameValue(const EntryProperty& property, const EntryProperties& a, const EntryProperties& b)
{
    return std::visit([&a, &b](auto member) { return sameBits(a.*member, b.*member); }, property.member);
}

bool holdsDefault(const EntryProperty& property, const EntryProperties& properties)
{
    return std::visit(
        [&](auto member) {
            using Value = std::remove_cvref_t<decltype(properties.*member)>;
            return sameBits(properties.*member, std::get<Value>(property.defaultValue));
        },
        property.member);
}

bool equalsDefault(const EntryProperty& property, const EntryProperties& properties)
{
    return std::visit(
        [&](auto member) {
            using Value = std::remove_cvref_t<decltype(properties.*member)>;
            return properties.*member == std::get<Value>(property.defaultValue);
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
            properties.*member = std::get<Value>(property.defaultValue);
        },
        property.member);
}

std::string valueText(const EntryProperty& property, const EntryProperties& properties)
{
    switch (property.kind) {
    case PropertyKind::ExactSeconds:
    case PropertyKind::Seconds:
        return secondsDecimal(properties.*std::get<REFERENCE_TIME EntryProperties::*>(property.member));
    case PropertyKind::Number: {
        char text[64];
        const auto result = std::to_chars(text, text + sizeof text, numberOf(property, properties));  // shortest exact
        return std::string(text, result.ptr);
    }
    case PropertyKind::Switch: return choiceOf(property, properties) == 1 ? "1" : "0";
    case PropertyKind::Curve: return std::string(kCurveNames[static_cast<std::size_t>(choiceOf(property, properties))]);
    }
    return {};
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
    if (!isTyped(property))
        return true;
    const double value = std::visit([&properties](auto member) { return static_cast<double>(properties.*member); },
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

}  // namespace sonarel
