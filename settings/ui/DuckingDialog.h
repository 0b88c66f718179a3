// SPDX-License-Identifier: GPL-3.0-or-later
// "Ducking...": the list's ducking depth in dB and its attack and release in seconds. A value out
// of range is told through the desktop interface and its box keeps the focus.
#pragma once

#include <QDialog>

#include "model/Ducking.h"

class QLineEdit;

namespace sonarel {

class Desktop;

class DuckingDialog : public QDialog {
    Q_OBJECT

public:
    enum ControlId : int { kIdDuckDepth = 1084, kIdDuckAttack = 1085, kIdDuckRelease = 1086 };

    DuckingDialog(Desktop& desktop, const DuckSettings& ducking, QWidget* parent = nullptr);

    const DuckSettings& ducking() const { return ducking_; }  // after OK: the values read

    void accept() override;

private:
    QLineEdit* addRow(int id, int top, const QString& label, const QString& unit, const QString& name, double value);

    Desktop& desktop_;
    DuckSettings ducking_;
    QLineEdit* depth_ = nullptr;
    QLineEdit* attack_ = nullptr;
    QLineEdit* release_ = nullptr;
};

}  // namespace sonarel
