// SPDX-License-Identifier: GPL-3.0-or-later
// The values of the audio settings dialog and the rules it reads them by, without a widget: the
// checks and their messages, and the conversion to and from a mix entry. Numbers are read by the
// dialogs' rule, readLeadingNumber (model/NumberText.h).
#pragma once

#include <QChar>
#include <QString>
#include <QStringView>
#include <optional>

#include "model/MixItem.h"

namespace sonarel {

// What the dialog edits: the start in seconds, the volume and speed as factors.
struct AudioSettings {
    double startTime = 0.0;
    double volume = 1.0;
    double speed = 1.0;
};

inline constexpr double kMaxVolume = 100.0;

// How a value is written into its box: three decimals and a '.' whatever the locale.
QString boxText(double value);

enum class AudioField { Volume, StartTime, Speed };

// Why the OK was refused: the message, its caption (empty for an application box) and the box
// that gets the focus.
struct AudioSettingsProblem {
    AudioField field = AudioField::Volume;
    QString message;
    QString caption;
};

// Reads the three box texts in the dialog's order (start time, volume, speed) and checks them.
// On success `settings` holds the values; otherwise the first problem is returned and `settings`
// is left alone.
std::optional<AudioSettingsProblem> readAudioSettings(const QString& startText, const QString& volumeText,
                                                      const QString& speedText, AudioSettings& settings,
                                                      QChar localePoint = QLatin1Char('.'));

// Between the list's units and the dialog's: the start time in 100-ns units becomes seconds, and
// seconds become 100-ns units truncated toward zero.
AudioSettings audioSettingsOf(const EntryProperties& properties);
EntryProperties entryPropertiesOf(const AudioSettings& settings);

}  // namespace sonarel
