// SPDX-License-Identifier: GPL-3.0-or-later
// The values of the audio settings dialog and the rules it reads them by, without a widget: the
// checks and their messages, and the conversion to and from a mix entry. Numbers are read by the
// dialogs' rule, readLeadingNumber (model/NumberText.h).
#pragma once

#include <QChar>
#include <QString>
#include <QStringView>
#include <optional>

#include "model/EntryPropertyTable.h"
#include "model/MixItem.h"

namespace sonarel {

// What the dialog edits: the start in seconds, the volume and speed as factors.
struct AudioSettings {
    double startTime = 0.0;
    double volume = 1.0;
    double speed = 1.0;
};

// How a value is written into its box: three decimals and a '.' whatever the locale.
QString boxText(double value);

// The box a problem is about, named by its property (model/EntryPropertyTable.h).
using AudioField = EntryField;

// Why the OK was refused: the message, its caption (empty for an application box) and the box
// that gets the focus.
struct AudioSettingsProblem {
    AudioField field = AudioField::Volume;
    QString message;
    QString caption;
};

// The three boxes one by one, each with its own checks: on success the value is set, otherwise
// it is left alone. A number too large or too close to zero for a double is told as such.
std::optional<AudioSettingsProblem> readStartTimeBox(const QString& text, double& seconds,
                                                     QChar localePoint = QLatin1Char('.'));
std::optional<AudioSettingsProblem> readVolumeBox(const QString& text, double& volume,
                                                  QChar localePoint = QLatin1Char('.'));
// Speeds outside kLowestSpeed .. kHighestSpeed are refused with the range.
std::optional<AudioSettingsProblem> readSpeedBox(const QString& text, double& speed,
                                                 QChar localePoint = QLatin1Char('.'));

// Reads the three box texts in the dialog's order (start time, volume, speed) and checks them.
// On success `settings` holds the values; otherwise the first problem is returned and `settings`
// is left alone.
std::optional<AudioSettingsProblem> readAudioSettings(const QString& startText, const QString& volumeText,
                                                      const QString& speedText, AudioSettings& settings,
                                                      QChar localePoint = QLatin1Char('.'));

// The same on several entries at once, where only the boxes the person changed are read (a box
// left alone is nullopt, and so is its value): the same order and the same first problem.
struct ChangedAudioSettings {
    std::optional<double> startTime;
    std::optional<double> volume;
    std::optional<double> speed;
};
std::optional<AudioSettingsProblem> readChangedAudioSettings(
    const std::optional<QString>& startText, const std::optional<QString>& volumeText,
    const std::optional<QString>& speedText, ChangedAudioSettings& changed, QChar localePoint = QLatin1Char('.'));

// The "More" part of the dialog: the boxes' texts, and the choices that cannot be mistyped.
struct ShapingTexts {
    QString inPoint;
    QString outPoint;  // empty: the file's end
    QString fadeIn;
    QString fadeOut;
    QString pitch;
    QString volumePoints{};  // "T:L;T:L..." as a list file writes them; empty: none
    QString chapter{};       // a title; empty: none
    QString group{};         // a name; empty: none
};
// Where ShapingTexts keeps the text of a typed property of the "More" part; nullptr for another.
QString ShapingTexts::*shapingTextOf(EntryField field);
struct ShapingChoices {
    FadeCurve fadeCurve = FadeCurve::Linear;
    bool keepPitch = false;
    bool muted = false;
};

// How an entry's shaping is shown: seconds and semitones as boxText, an out point at the file's
// end (a default that is no time) as an empty box.
ShapingTexts shapingTextsOf(const EntryProperties& properties);
ShapingChoices shapingChoicesOf(const EntryProperties& properties);

// Reads and checks the "More" part in reading order (in, out, fade in, fade out, pitch) against
// `shown`, the entry the dialog opened with, and its measured `duration` (0 or less: unknown). A
// box whose text is still the one it opened with keeps the entry's exact value, so OK changes
// nothing that was not typed. The pitch is read only with keep pitch; without it the pitch is 0.
// Volume points are read as a list file holds them, an empty box being none.
// On success the shaping fields of `result` are set; otherwise the first problem is returned and
// `result` is left alone.
std::optional<AudioSettingsProblem> readShaping(const ShapingTexts& texts, const ShapingChoices& choices,
                                                const EntryProperties& shown, REFERENCE_TIME duration,
                                                EntryProperties& result, QChar localePoint = QLatin1Char('.'));

// "Fit length...": the part that plays, read from the in and out boxes as readShaping reads them;
// an empty out box is the measured `duration`. Problems as readShaping's, and one on the out box
// when the file's length is unknown and no out point is typed.
std::optional<AudioSettingsProblem> readPlayedLength(const ShapingTexts& texts, const EntryProperties& shown,
                                                     REFERENCE_TIME duration, REFERENCE_TIME& length,
                                                     QChar localePoint = QLatin1Char('.'));

// The speed at which `playedLength` (source time) lasts `seconds` on the output; nothing when
// the length typed is not above 0 or gives no usable speed.
std::optional<double> speedForLength(REFERENCE_TIME playedLength, double seconds);
inline const QString kFitLengthRefused = QStringLiteral("Please enter a length above 0 seconds.");

// A speed as the speed box shows it: three decimals when that is exact, otherwise as many digits
// as it takes to read back the same number (a fitted speed must give the length asked for).
QString speedText(double speed);

// Between the list's units and the dialog's: the start time in 100-ns units becomes seconds, and
// seconds become 100-ns units truncated toward zero.
AudioSettings audioSettingsOf(const EntryProperties& properties);
EntryProperties entryPropertiesOf(const AudioSettings& settings);

}  // namespace sonarel
