// SPDX-License-Identifier: GPL-3.0-or-later
// The audio settings dialog: edits the volume, start time and speed of one mix entry. It works on
// the values it is given and hands them back only after OK; it never touches the list. Messages
// go through the desktop interface, so tests see them without a modal box.
#pragma once

#include <QDialog>

#include "settings/AudioSettings.h"

class QLineEdit;

namespace sonarel {

class Desktop;

class AudioSettingsDialog : public QDialog {
    Q_OBJECT

public:
    enum ControlId : int { kIdVolume = 1062, kIdStartTime = 1063, kIdSpeed = 1064 };

    explicit AudioSettingsDialog(Desktop& desktop, QWidget* parent = nullptr);

    // Fills the boxes; call before exec().
    void setSettings(const AudioSettings& settings);
    // The values read at OK (the given ones until then).
    const AudioSettings& settings() const { return settings_; }

    void accept() override;  // OK: reads and checks the boxes; stays open on the first problem

private:
    QLineEdit* makeBox(int id, int left, int top);
    QLineEdit* box(AudioField field) const;

    Desktop& desktop_;
    AudioSettings settings_;
    QLineEdit* volume_ = nullptr;
    QLineEdit* startTime_ = nullptr;
    QLineEdit* speed_ = nullptr;
};

}  // namespace sonarel
