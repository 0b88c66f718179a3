// SPDX-License-Identifier: GPL-3.0-or-later
// The audio settings dialog: edits the volume, start time and speed of one mix entry and, in the
// part that "More" opens, the shaping of what plays: in and out points, fades, keep pitch and
// pitch, mute. It works on the values it is given and hands them back only after OK; it never
// touches the list. Messages go through the desktop interface, so tests see them without a modal
// box.
#pragma once

#include <QDialog>

#include "settings/AudioSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace sonarel {

class Desktop;

class AudioSettingsDialog : public QDialog {
    Q_OBJECT

public:
    enum ControlId : int {
        kIdVolume = 1062,
        kIdStartTime = 1063,
        kIdSpeed = 1064,
        kIdMore = 1070,
        kIdInPoint = 1071,
        kIdOutPoint = 1072,
        kIdFadeIn = 1073,
        kIdFadeOut = 1074,
        kIdFadeCurve = 1075,
        kIdKeepPitch = 1076,
        kIdPitch = 1077,
        kIdMute = 1078,
        kIdFitLength = 1079,
    };

    explicit AudioSettingsDialog(Desktop& desktop, QWidget* parent = nullptr);

    // Fills every control from the entry; "More" opens when the entry uses any shaping. Call
    // before exec().
    void setEntry(const MixItem& item);
    // Fills the three boxes only.
    void setSettings(const AudioSettings& settings);
    // The values read at OK (the given ones until then).
    const AudioSettings& settings() const { return settings_; }
    const EntryProperties& properties() const { return properties_; }

    bool moreShown() const;
    void showMore(bool shown);

    void accept() override;  // OK: reads and checks the boxes; stays open on the first problem
    void fitLength();        // "Fit length...": asks for a length and sets the speed box

private:
    QLineEdit* makeBox(int id, int left, int top, QWidget* parent = nullptr);
    void createMorePart(int top);
    QLineEdit* box(AudioField field) const;
    ShapingTexts shapingTexts() const;
    void showProblem(const AudioSettingsProblem& problem);
    QChar localePoint() const;

    Desktop& desktop_;
    AudioSettings settings_;
    EntryProperties properties_;
    REFERENCE_TIME duration_ = 0;
    QLineEdit* volume_ = nullptr;
    QLineEdit* startTime_ = nullptr;
    QLineEdit* speed_ = nullptr;
    QPushButton* more_ = nullptr;
    QWidget* morePart_ = nullptr;
    QLineEdit* inPoint_ = nullptr;
    QLineEdit* outPoint_ = nullptr;
    QLineEdit* fadeIn_ = nullptr;
    QLineEdit* fadeOut_ = nullptr;
    QComboBox* fadeCurve_ = nullptr;
    QCheckBox* keepPitch_ = nullptr;
    QLabel* pitchLabel_ = nullptr;
    QLineEdit* pitch_ = nullptr;
    QCheckBox* mute_ = nullptr;
};

}  // namespace sonarel
