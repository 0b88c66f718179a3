// SPDX-License-Identifier: GPL-3.0-or-later
// "Fit length": asks how many seconds an entry should last and gives the speed that makes its
// played part last that long. Opened from the audio settings dialog; a refused length is told
// through the desktop interface and its box keeps the focus.
#pragma once

#include <QDialog>

#include "model/ReferenceTime.h"

class QLineEdit;

namespace sonarel {

class Desktop;

class FitLengthDialog : public QDialog {
    Q_OBJECT

public:
    enum ControlId : int { kIdLength = 1080 };

    // `playedLength` is the source time that plays (out - in); `speed` the current speed, which
    // fills the box with today's length (nothing when it is not above 0).
    FitLengthDialog(Desktop& desktop, REFERENCE_TIME playedLength, double speed, QWidget* parent = nullptr);

    double speed() const { return speed_; }  // after OK: the fitted speed

    void accept() override;

private:
    Desktop& desktop_;
    REFERENCE_TIME playedLength_;
    double speed_ = 1.0;
    QLineEdit* length_ = nullptr;
};

}  // namespace sonarel
