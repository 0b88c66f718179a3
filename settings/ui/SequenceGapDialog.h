// SPDX-License-Identifier: GPL-3.0-or-later
// "Place One After Another": asks for the gap, in seconds, left between entries placed one after
// another (a negative gap overlaps them), or for a crossfade: each starts that long before the
// one before it ends, and the pair fades across on the chosen curve. A refused value is told
// through the desktop interface and its box keeps the focus.
#pragma once

#include <QDialog>

#include "model/SequencePlacing.h"

class QComboBox;
class QLineEdit;

namespace sonarel {

class Desktop;

class SequenceGapDialog : public QDialog {
    Q_OBJECT

public:
    enum ControlId : int { kIdGap = 1082, kIdCrossfade = 1083, kIdCrossfadeCurve = 1087 };

    // `entries` is how many entries will be placed; `join` fills the boxes.
    SequenceGapDialog(Desktop& desktop, int entries, const SequenceJoin& join = {}, QWidget* parent = nullptr);

    REFERENCE_TIME gap() const { return join_.gap; }    // after OK: the gap read from the box
    const SequenceJoin& join() const { return join_; }  // after OK: the gap, crossfade and curve

    void accept() override;

private:
    // Says `refusal` and gives `box` the focus; false.
    bool refuse(const QString& refusal, QLineEdit* box);

    Desktop& desktop_;
    SequenceJoin join_;
    QLineEdit* box_ = nullptr;
    QLineEdit* crossfade_ = nullptr;
    QComboBox* curve_ = nullptr;
};

}  // namespace sonarel
