#include "settings/AudioSettings.h"

#include <QLocale>
#include <cmath>

#include "platform/media/Status.h"

namespace sonarel {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The start time past which no entry could be placed on the mix.
constexpr double kLongestStartSeconds =
    static_cast<double>(media::kLongestTime) / static_cast<double>(kReferenceUnitsPerSecond);

AudioSettingsProblem problem(AudioField field, const QString& message, const QString& caption = {})
{
    return {field, message, caption};
}

}  // namespace

std::optional<double> leadingNumber(QStringView text, QChar localePoint)
{
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
    if (i < n && (text[i] == QLatin1Char('.') || text[i] == localePoint)) {
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
    // An exponent counts only when digits follow it; "2e" reads 2.
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
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString boxText(double value)
{
    return QString::asprintf("%.3f", value);
}

std::optional<AudioSettingsProblem> readAudioSettings(const QString& startText, const QString& volumeText,
                                                      const QString& speedText, AudioSettings& settings,
                                                      QChar localePoint)
{
    const QString notANumber = QStringLiteral("Please enter a number.");
    const auto start = leadingNumber(startText, localePoint);
    if (!start)
        return problem(AudioField::StartTime, notANumber);
    const auto volume = leadingNumber(volumeText, localePoint);
    if (!volume)
        return problem(AudioField::Volume, notANumber);
    if (*volume < 0.0 || *volume > kMaxVolume)
        return problem(AudioField::Volume, QStringLiteral("Please enter a number between %1 and %2.")
                                               .arg(QString::number(0), QString::number(kMaxVolume)));
    const auto speed = leadingNumber(speedText, localePoint);
    if (!speed)
        return problem(AudioField::Speed, notANumber);
    // A speed divides the entry's length: zero or less has no meaning.
    if (*speed <= 0.0)
        return problem(AudioField::Speed,
                       QStringLiteral("Please enter a speed above 0: 1 plays the file as it is, 2 twice as fast, "
                                      "0.5 at half speed."));
    const QString error = QStringLiteral("Error");
    if (*start < 0.0)
        return problem(AudioField::StartTime, QStringLiteral("Start time should be greater than 0"), error);
    if (*start > kLongestStartSeconds)
        return problem(AudioField::StartTime,
                       QStringLiteral("Start time should be at most %1 seconds").arg(kLongestStartSeconds, 0, 'f', 0),
                       error);
    settings = {*start, *volume, *speed};
    return std::nullopt;
}

AudioSettings audioSettingsOf(const EntryProperties& properties)
{
    return {static_cast<double>(properties.startTime) / static_cast<double>(kReferenceUnitsPerSecond),
            properties.volume, properties.speed};
}

EntryProperties entryPropertiesOf(const AudioSettings& settings)
{
    return {secondsToReferenceTime(settings.startTime), settings.volume, settings.speed};
}

}  // namespace sonarel
