// SPDX-License-Identifier: GPL-3.0-or-later
// "Place One After Another": asks for the gap, in seconds, left between entries placed one after
// another; a negative gap overlaps them. A refused gap is told through the desktop interface and
// its box keeps the focus.
#pragma once

#include <QDialog>

#include "model/ReferenceTime.h"

class QLineEdit;

namespace sonarel {

class Desktop;

class SequenceGapDialog : public QDialog {
    Q_OBJECT

public:
    enum ControlId : int { kIdGap = 1082 };

    // `entries` is how many entries will be placed; `gap` fills the box.
    SequenceGapDialog(Desktop& desktop, int entries, REFERENCE_TIME gap = 0, QWidget* parent = nullptr);

    REFERENCE_TIME gap() const { return gap_; }  // after OK: the gap read from the box

    void accept() override;

private:
    Desktop& desktop_;
    REFERENCE_TIME gap_ = 0;
    QLineEdit* box_ = nullptr;
};

}  // namespace sonarel
