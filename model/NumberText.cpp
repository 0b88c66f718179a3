// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/NumberText.h"

#include <QString>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace sonarel {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

}  // namespace

std::optional<double> readLeadingNumber(QStringView text, QChar localePoint, NumberFault* fault)
{
    if (fault != nullptr)
        *fault = NumberFault::NotANumber;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i].isSpace())
        ++i;
    QString number;  // the number found, in the C locale's spelling
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        number += text[i++];
    qsizetype digits = 0;
    while (i < n && isDigit(text[i])) {
        number += text[i++];
        ++digits;
    }
    if (i < n && (text[i] == QLatin1Char('.') || text[i] == QLatin1Char(',') || text[i] == localePoint)) {
        qsizetype fraction = i + 1;
        QString fractionDigits;
        while (fraction < n && isDigit(text[fraction]))
            fractionDigits += text[fraction++];
        if (digits > 0 || !fractionDigits.isEmpty()) {
            if (!fractionDigits.isEmpty())
                number += QLatin1Char('.') + fractionDigits;
            digits += fractionDigits.size();
            i = fraction;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        QString exponent = QStringLiteral("e");
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            exponent += text[j++];
        if (j < n && isDigit(text[j])) {
            while (j < n && isDigit(text[j]))
                exponent += text[j++];
            number += exponent;
        }
    }
    const std::string spelled = number.toStdString();
    const std::optional<double> value = readNumber(spelled);
    if (fault != nullptr)
        *fault = value ? NumberFault::None : numberFault(spelled);
    return value;
}

std::int32_t readLeadingInteger(QStringView text)
{
    qsizetype at = 0;
    while (at < text.size() && text[at].isSpace())
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == QLatin1Char('+') || text[at] == QLatin1Char('-'))) {
        negative = text[at] == QLatin1Char('-');
        ++at;
    }
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t value = 0;
    for (; at < text.size() && isDigit(text[at]); ++at)
        value = std::min(value * 10 + (text[at].unicode() - '0'), kLimit);
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(std::min<std::int64_t>(value, kLimit - 1));
}

std::string_view trimmedText(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

namespace {

// Reads the whole text as from_chars does; `range` tells a number out of range from no number.
std::optional<double> readWholeNumber(std::string_view text, bool& range)
{
    range = false;
    text = trimmedText(text);
    if (!text.empty() && text.front() == '+' && (text.size() < 2 || text[1] != '-'))
        text.remove_prefix(1);
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ptr != text.data() + text.size())
        return std::nullopt;
    // Only decimal spellings count: from_chars also takes "inf" and "nan".
    for (char c : text)
        if (!isDigit(c) && c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E')
            return std::nullopt;
    if (result.ec == std::errc::result_out_of_range) {
        range = true;
        return std::nullopt;
    }
    if (result.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The power of ten m with the number 0.d... x 10^m, of a text that from_chars has read: tells a
// number too large from one too close to zero. Saturates far beyond any double's range.
long decimalMagnitude(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    long magnitude = 0;
    bool point = false;
    bool nonZero = false;
    for (; i < text.size() && (isDigit(text[i]) || text[i] == '.'); ++i) {
        if (text[i] == '.')
            point = true;
        else if (!nonZero && text[i] == '0')
            magnitude -= point ? 1 : 0;
        else if (!nonZero || !point) {
            nonZero = true;
            magnitude += point ? 0 : 1;
        }
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const bool negative = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            ++i;
        long exponent = 0;
        for (; i < text.size() && isDigit(text[i]); ++i)
            exponent = std::min(exponent * 10 + (text[i] - '0'), 100'000'000L);
        magnitude += negative ? -exponent : exponent;
    }
    return magnitude;
}

}  // namespace

std::optional<double> readNumber(std::string_view text)
{
    bool range = false;
    const std::optional<double> value = readWholeNumber(text, range);
    // A subnormal keeps too few digits to mean what was written.
    if (value && *value != 0.0 && std::fabs(*value) < std::numeric_limits<double>::min())
        return std::nullopt;
    return value;
}

NumberFault numberFault(std::string_view text)
{
    bool range = false;
    const std::optional<double> value = readWholeNumber(text, range);
    if (value)
        return *value != 0.0 && std::fabs(*value) < std::numeric_limits<double>::min() ? NumberFault::TooCloseToZero
                                                                                       : NumberFault::None;
    if (!range)
        return NumberFault::NotANumber;
    return decimalMagnitude(trimmedText(text)) > 0 ? NumberFault::TooLarge : NumberFault::TooCloseToZero;
}

namespace {

// The number of seconds in units of 10^-decimals s, digits beyond those cut toward zero.
std::optional<REFERENCE_TIME> readScaledSeconds(std::string_view text, long decimals)
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
    const long shift = exponent - fractionDigits + decimals;
    if (shift < 0)
        digits.resize(digits.size() > static_cast<std::size_t>(-shift)
                          ? digits.size() - static_cast<std::size_t>(-shift)
                          : 0);
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

}  // namespace

std::optional<REFERENCE_TIME> readExactSeconds(std::string_view text)
{
    return readScaledSeconds(text, 7);
}

std::optional<REFERENCE_TIME> readRoundedSeconds(std::string_view text)
{
    // One digit more than kept, so the cut digit decides the rounding (half away from zero).
    const std::optional<REFERENCE_TIME> tenths = readScaledSeconds(text, 8);
    if (!tenths)
        return std::nullopt;
    return *tenths < 0 ? -((-*tenths + 5) / 10) : (*tenths + 5) / 10;
}

}  // namespace sonarel
