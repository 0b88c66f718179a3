// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/AudioSettings.h"

#include "model/NumberText.h"
#include "platform/media/ReferenceTime.h"

namespace sonarel {

namespace {

// The start time past which no entry could be placed on the mix.
constexpr double kLongestStartSeconds = static_cast<double>(media::kLongestTime) /
                                        static_cast<double>(media::kReferenceUnitsPerSecond);

AudioSettingsProblem problem(AudioField field, const QString& message, const QString& caption = {})
{
    return {field, message, caption};
}

}  // namespace

QString boxText(double value)
{
    return QString::asprintf("%.3f", value);
}

std::optional<AudioSettingsProblem> readAudioSettings(const QString& startText, const QString& volumeText,
                                                      const QString& speedText, AudioSettings& settings,
                                                      QChar localePoint)
{
    const QString notANumber = QStringLiteral("Please enter a number.");
    const auto start = readLeadingNumber(startText, localePoint);
    if (!start)
        return problem(AudioField::StartTime, notANumber);
    const auto volume = readLeadingNumber(volumeText, localePoint);
    if (!volume)
        return problem(AudioField::Volume, notANumber);
    if (*volume < 0.0 || *volume > kMaxVolume)
        return problem(AudioField::Volume, QStringLiteral("Please enter a number between %1 and %2.")
                                               .arg(QString::number(0), QString::number(kMaxVolume)));
    const auto speed = readLeadingNumber(speedText, localePoint);
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
