// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/AudioSettings.h"

#include <cmath>
#include <tuple>

#include "model/NumberText.h"
#include "platform/media/ReferenceTime.h"

namespace sonarel {

namespace {

// The start time past which no entry could be placed on the mix.
constexpr double kLongestStartSeconds = media::toSeconds(media::kLongestTime);

AudioSettingsProblem problem(AudioField field, const QString& message, const QString& caption = {})
{
    return {field, message, caption};
}

const QString kNotANumber = QStringLiteral("Please enter a number.");
const QString kTooCloseToZero = QStringLiteral(
    "This number is too close to zero to be used: please enter 0 or a number farther from zero.");

// One seconds box of the "More" part. A text left as it was shown keeps the exact value, which
// three decimals could not give back.
std::optional<AudioSettingsProblem> readSecondsBox(AudioField field, const QString& text, const QString& shownText,
                                                   REFERENCE_TIME exact, const QString& belowZero, QChar localePoint,
                                                   REFERENCE_TIME& value)
{
    if (text == shownText) {
        value = exact;
        return std::nullopt;
    }
    NumberFault fault = NumberFault::None;
    const auto seconds = readLeadingNumber(text, localePoint, &fault);
    const QString tooLong = QStringLiteral("Please enter at most %1 seconds.").arg(kLongestStartSeconds, 0, 'f', 0);
    if (!seconds && fault == NumberFault::TooLarge)
        return problem(field, tooLong);
    if (!seconds)
        return problem(field, fault == NumberFault::TooCloseToZero ? kTooCloseToZero : kNotANumber);
    if (*seconds < 0.0)
        return problem(field, belowZero);
    if (*seconds > kLongestStartSeconds)
        return problem(field, tooLong);
    value = secondsToReferenceTime(*seconds);
    return std::nullopt;
}

// The in and out boxes: out is kToSourceEnd for an empty box.
std::optional<AudioSettingsProblem> readPlayedPart(const ShapingTexts& texts, const EntryProperties& shown,
                                                   REFERENCE_TIME duration, QChar localePoint, REFERENCE_TIME& in,
                                                   REFERENCE_TIME& out)
{
    const ShapingTexts shownTexts = shapingTextsOf(shown);
    REFERENCE_TIME readIn = 0;
    if (auto failed = readSecondsBox(AudioField::InPoint, texts.inPoint, shownTexts.inPoint, shown.inPoint,
                                     QStringLiteral("Please enter an in point of 0 seconds or more."), localePoint,
                                     readIn))
        return failed;
    const QString outAfterIn = QStringLiteral(
        "Please enter an out point after the in point, or leave the box empty to play to the end of the file.");
    REFERENCE_TIME readOut = kToSourceEnd;
    if (!texts.outPoint.trimmed().isEmpty()) {
        if (auto failed = readSecondsBox(AudioField::OutPoint, texts.outPoint, shownTexts.outPoint, shown.outPoint,
                                         outAfterIn, localePoint, readOut))
            return failed;
    }
    if (duration > 0 && readIn >= duration)
        return problem(AudioField::InPoint, QStringLiteral("Please enter an in point before the end of the file, "
                                                           "at %1 seconds.")
                                                .arg(boxText(toSeconds(duration))));
    if (readOut != kToSourceEnd && readOut <= readIn)
        return problem(AudioField::OutPoint, outAfterIn);
    in = readIn;
    out = readOut;
    return std::nullopt;
}

}  // namespace

QString boxText(double value)
{
    return QString::asprintf("%.3f", value);
}

std::optional<AudioSettingsProblem> readStartTimeBox(const QString& text, double& seconds, QChar localePoint)
{
    NumberFault fault = NumberFault::None;
    const auto start = readLeadingNumber(text, localePoint, &fault);
    const QString error = QStringLiteral("Error");
    const QString tooLate =
        QStringLiteral("Start time should be at most %1 seconds").arg(kLongestStartSeconds, 0, 'f', 0);
    if (!start) {
        if (fault == NumberFault::TooLarge)
            return problem(AudioField::StartTime, tooLate, error);
        return problem(AudioField::StartTime, fault == NumberFault::TooCloseToZero ? kTooCloseToZero : kNotANumber);
    }
    if (*start < 0.0)
        return problem(AudioField::StartTime, QStringLiteral("Start time should be greater than 0"), error);
    if (*start > kLongestStartSeconds)
        return problem(AudioField::StartTime, tooLate, error);
    seconds = *start;
    return std::nullopt;
}

std::optional<AudioSettingsProblem> readVolumeBox(const QString& text, double& volume, QChar localePoint)
{
    NumberFault fault = NumberFault::None;
    const auto read = readLeadingNumber(text, localePoint, &fault);
    const QString range =
        QStringLiteral("Please enter a number between %1 and %2.").arg(QString::number(0), QString::number(kMaxVolume));
    if (!read) {
        if (fault == NumberFault::TooLarge)
            return problem(AudioField::Volume, range);
        return problem(AudioField::Volume, fault == NumberFault::TooCloseToZero ? kTooCloseToZero : kNotANumber);
    }
    if (*read < 0.0 || *read > kMaxVolume)
        return problem(AudioField::Volume, range);
    volume = *read;
    return std::nullopt;
}

std::optional<AudioSettingsProblem> readSpeedBox(const QString& text, double& speed, QChar localePoint)
{
    NumberFault fault = NumberFault::None;
    const auto read = readLeadingNumber(text, localePoint, &fault);
    if (!read && fault == NumberFault::NotANumber)
        return problem(AudioField::Speed, kNotANumber);
    // A speed divides the entry's length, and only this range plays exactly.
    if (!read || !speedInRange(*read))
        return problem(AudioField::Speed, QStringLiteral("Please enter a speed between %1: 1 plays the file as it "
                                                         "is, 2 twice as fast, 0.5 at half speed.")
                                              .arg(QString::fromLatin1(kSpeedRangeText)));
    speed = *read;
    return std::nullopt;
}

std::optional<AudioSettingsProblem> readChangedAudioSettings(const std::optional<QString>& startText,
                                                             const std::optional<QString>& volumeText,
                                                             const std::optional<QString>& speedText,
                                                             ChangedAudioSettings& changed, QChar localePoint)
{
    ChangedAudioSettings read;
    // The dialog's order: start time, volume, speed; the start time's range is checked last.
    std::optional<AudioSettingsProblem> startProblem;
    if (startText) {
        double start = 0.0;
        startProblem = readStartTimeBox(*startText, start, localePoint);
        if (startProblem && startProblem->caption.isEmpty())
            return startProblem;
        read.startTime = start;
    }
    double value = 0.0;
    if (volumeText) {
        if (auto failed = readVolumeBox(*volumeText, value, localePoint))
            return failed;
        read.volume = value;
    }
    if (speedText) {
        if (auto failed = readSpeedBox(*speedText, value, localePoint))
            return failed;
        read.speed = value;
    }
    if (startProblem)
        return startProblem;
    changed = read;
    return std::nullopt;
}

std::optional<AudioSettingsProblem> readAudioSettings(const QString& startText, const QString& volumeText,
                                                      const QString& speedText, AudioSettings& settings,
                                                      QChar localePoint)
{
    ChangedAudioSettings read;
    if (auto problem = readChangedAudioSettings(startText, volumeText, speedText, read, localePoint))
        return problem;
    settings = AudioSettings{*read.startTime, *read.volume, *read.speed};
    return std::nullopt;
}

QString ShapingTexts::*shapingTextOf(EntryField field)
{
    switch (field) {
    case EntryField::InPoint: return &ShapingTexts::inPoint;
    case EntryField::OutPoint: return &ShapingTexts::outPoint;
    case EntryField::FadeIn: return &ShapingTexts::fadeIn;
    case EntryField::FadeOut: return &ShapingTexts::fadeOut;
    case EntryField::Pitch: return &ShapingTexts::pitch;
    case EntryField::Points: return &ShapingTexts::volumePoints;
    case EntryField::Chapter: return &ShapingTexts::chapter;
    case EntryField::Group: return &ShapingTexts::group;
    default: return nullptr;
    }
}

ShapingTexts shapingTextsOf(const EntryProperties& properties)
{
    ShapingTexts texts;
    for (const EntryProperty& property : kEntryProperties) {
        QString ShapingTexts::*text = shapingTextOf(property.field);
        if (text == nullptr)
            continue;
        if (property.kind == PropertyKind::Number) {
            texts.*text = boxText(numberOf(property, properties));
            continue;
        }
        if (property.kind == PropertyKind::Points || property.kind == PropertyKind::Text) {
            texts.*text = QString::fromStdString(valueText(property, properties));
            continue;
        }
        const auto time = properties.*std::get<REFERENCE_TIME EntryProperties::*>(property.member);
        const bool noTime = std::get<REFERENCE_TIME>(property.defaultValue) < 0 && holdsDefault(property, properties);
        texts.*text = noTime ? QString() : boxText(toSeconds(time));
    }
    return texts;
}

ShapingChoices shapingChoicesOf(const EntryProperties& properties)
{
    return {properties.fadeCurve, properties.keepPitch, properties.muted};
}

std::optional<AudioSettingsProblem> readShaping(const ShapingTexts& texts, const ShapingChoices& choices,
                                                const EntryProperties& shown, REFERENCE_TIME duration,
                                                EntryProperties& result, QChar localePoint)
{
    REFERENCE_TIME in = 0;
    REFERENCE_TIME out = kToSourceEnd;
    if (auto failed = readPlayedPart(texts, shown, duration, localePoint, in, out))
        return failed;
    const ShapingTexts shownTexts = shapingTextsOf(shown);
    const QString fadeBelowZero = QStringLiteral("Please enter a fade length of 0 seconds or more.");
    REFERENCE_TIME fadeIn = 0;
    if (auto failed = readSecondsBox(AudioField::FadeIn, texts.fadeIn, shownTexts.fadeIn, shown.fadeIn, fadeBelowZero,
                                     localePoint, fadeIn))
        return failed;
    REFERENCE_TIME fadeOut = 0;
    if (auto failed = readSecondsBox(AudioField::FadeOut, texts.fadeOut, shownTexts.fadeOut, shown.fadeOut,
                                     fadeBelowZero, localePoint, fadeOut))
        return failed;
    // The pitch is read only with keep pitch on; otherwise it goes back to its default.
    const EntryProperty& pitchProperty = entryProperty(EntryField::Pitch);
    double pitch = std::get<double>(pitchProperty.defaultValue);
    if (choices.keepPitch) {
        const auto typed = texts.pitch == shownTexts.pitch ? std::optional<double>(numberOf(pitchProperty, shown))
                                                           : readLeadingNumber(texts.pitch, localePoint);
        if (!typed)
            return problem(AudioField::Pitch, kNotANumber);
        const PropertyRange& range = pitchProperty.range;
        if (!(*typed >= range.lowest && *typed <= range.highest))
            return problem(AudioField::Pitch, QStringLiteral("Please enter a pitch between %1 and %2 semitones.")
                                                  .arg(range.lowest)
                                                  .arg(range.highest));
        pitch = *typed;
    }
    VolumePoints points = shown.volumePoints;
    if (texts.volumePoints != shownTexts.volumePoints) {
        std::string reason;
        if (!readPoints(texts.volumePoints.toStdString(), points, reason) || !checkPoints(points, reason))
            return problem(AudioField::Points,
                           QStringLiteral("These volume points cannot be used: %1.\n\nPlease write TIME:LEVEL "
                                          "pairs separated by semicolons, in time order, for example "
                                          "0:1;2.5:0.3 (seconds of the file's own time, levels 0 to 100).")
                               .arg(QString::fromStdString(reason)));
    }
    std::string chapter = shown.chapter;
    std::string group = shown.group;
    for (auto [field, typed, value] : {std::tuple{EntryField::Chapter, &ShapingTexts::chapter, &chapter},
                                       std::tuple{EntryField::Group, &ShapingTexts::group, &group}}) {
        if (texts.*typed == shownTexts.*typed)
            continue;
        std::string reason;
        const std::string text = (texts.*typed).trimmed().toStdString();
        if (!checkText(entryProperty(field), text, reason))
            return problem(field, QStringLiteral("This %1 cannot be used: %2.")
                                      .arg(QString::fromUtf8(entryProperty(field).words.data(),
                                                             static_cast<qsizetype>(entryProperty(field).words.size())),
                                           QString::fromStdString(reason)));
        *value = text;
    }
    result.inPoint = in;
    result.outPoint = out;
    result.fadeIn = fadeIn;
    result.fadeOut = fadeOut;
    result.fadeCurve = choices.fadeCurve;
    result.keepPitch = choices.keepPitch;
    setNumber(pitchProperty, result, pitch);
    result.muted = choices.muted;
    result.volumePoints = std::move(points);
    result.chapter = std::move(chapter);
    result.group = std::move(group);
    return std::nullopt;
}

std::optional<AudioSettingsProblem> readPlayedLength(const ShapingTexts& texts, const EntryProperties& shown,
                                                     REFERENCE_TIME duration, REFERENCE_TIME& length, QChar localePoint)
{
    REFERENCE_TIME in = 0;
    REFERENCE_TIME out = kToSourceEnd;
    if (auto failed = readPlayedPart(texts, shown, duration, localePoint, in, out))
        return failed;
    if (out == kToSourceEnd || (duration > 0 && out > duration)) {
        if (duration <= 0)
            return problem(AudioField::OutPoint, QStringLiteral("The length of this file is not known: please enter "
                                                                "an out point to fit the length to."));
        out = duration;
    }
    length = out - in;
    return std::nullopt;
}

std::optional<double> speedForLength(REFERENCE_TIME playedLength, double seconds)
{
    if (!(seconds > 0.0) || !std::isfinite(seconds) || playedLength <= 0)
        return std::nullopt;
    const double speed = toSeconds(playedLength) / seconds;
    if (!(speed > 0.0) || !std::isfinite(speed))
        return std::nullopt;
    return speed;
}

QString speedText(double speed)
{
    for (int decimals = 3; decimals <= 17; ++decimals) {
        const QString text = QString::asprintf("%.*f", decimals, speed);
        if (readLeadingNumber(text) == speed)
            return text;
    }
    return QString::number(speed, 'g', 17);
}

AudioSettings audioSettingsOf(const EntryProperties& properties)
{
    return {toSeconds(properties.startTime), properties.volume, properties.speed};
}

EntryProperties entryPropertiesOf(const AudioSettings& settings)
{
    EntryProperties properties;
    properties.startTime = secondsToReferenceTime(settings.startTime);
    properties.volume = settings.volume;
    properties.speed = settings.speed;
    return properties;
}

}  // namespace sonarel
