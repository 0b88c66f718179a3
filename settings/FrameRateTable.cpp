#include "settings/FrameRateTable.h"

#include <charconv>

#include "settings/OutputSettings.h"
#include "settings/ProfileStore.h"

namespace sonarel {

double parseLeadingNumber(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    while (first != last && (*first == ' ' || *first == '\t' || *first == '\n' || *first == '\r' ||
                             *first == '\f' || *first == '\v'))
        ++first;
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    double value = 0.0;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec != std::errc() || first == last || *first == '-' || *first == '+')
        return 0.0;
    return negative ? -value : value;
}

FrameRateChoice resolveFrameRate(const ProfileStore& profile)
{
    FrameRateChoice choice;
    const std::int32_t index = profile.ReadInt(profile::kSettings, profile::kOutputFrameRateIndex, 0);
    if (index >= 0 && index < kCustomFrameRateIndex) {
        choice.index = index;
        choice.rate = FrameRateTable[static_cast<std::size_t>(index)].rate;
    } else if (index == kCustomFrameRateIndex) {
        choice.index = index;
        choice.rate = parseLeadingNumber(
            profile.ReadString(profile::kSettings, profile::kOutputFrameRate, QStringLiteral("23.976")));
    }
    return choice;
}

}  // namespace sonarel
