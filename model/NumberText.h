// SPDX-License-Identifier: GPL-3.0-or-later
// Every way Sonarel reads a number from text, one function per rule.
//
// The dialogs read what people type by the leading-number rules: blanks are skipped, the text
// must begin with a number and whatever follows it is ignored, so "2.5 s" reads 2.5. List files
// and command-line arguments are read strictly, and start times exactly from their digits.
#pragma once

#include <QChar>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <string_view>

#include "model/ReferenceTime.h"

namespace sonarel {

// Why a text gives no usable number: it is none, or it is one that a double cannot hold (beyond
// its range, or so close to zero that it keeps no precision: below 2.2e-308 but not 0).
enum class NumberFault { None, NotANumber, TooLarge, TooCloseToZero };

// A leading decimal number ("2.5abc" reads 2.5). The decimal point is '.' or ',' in every locale
// ("2,5" reads 2.5), and `localePoint` is accepted as well. An exponent counts only when digits
// follow it ("2e" reads 2). No number, "nan", "inf" or a number a double cannot hold give nothing,
// and `fault`, when given, says which.
std::optional<double> readLeadingNumber(QStringView text, QChar localePoint = QLatin1Char('.'),
                                        NumberFault* fault = nullptr);

// A leading whole number with an optional sign ("640px" reads 640); no digits read 0, and a
// number beyond the 32-bit range saturates.
std::int32_t readLeadingInteger(QStringView text);

// The whole text as a finite decimal number, blanks at either end allowed ("+1.5", "2e-3").
// Numbers a double cannot hold give nothing, as for readLeadingNumber.
std::optional<double> readNumber(std::string_view text);

// Why readNumber gives nothing for `text` (None when it gives a number): a text written as a
// number but out of range is told apart from one that is no number at all.
NumberFault numberFault(std::string_view text);

// A decimal number of seconds ("12", "1.5000001", "2.5e-3") in 100-ns units, computed from the
// digits so no rounding of doubles creeps in; digits beyond the 7th decimal are cut toward zero.
// None for a text that is not a number or does not fit.
std::optional<REFERENCE_TIME> readExactSeconds(std::string_view text);

// As readExactSeconds, but rounded to the nearest 100 ns ("0.00000015" reads 2).
std::optional<REFERENCE_TIME> readRoundedSeconds(std::string_view text);

// Text without the blanks (spaces, tabs, carriage returns) at either end.
std::string_view trimmedText(std::string_view text);

}  // namespace sonarel
