// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/FitLengthDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include "controls/DialogUnits.h"
#include "model/NumberText.h"
#include "platform/Desktop.h"
#include "settings/AudioSettings.h"

namespace sonarel {

FitLengthDialog::FitLengthDialog(Desktop& desktop, REFERENCE_TIME playedLength, double speed, QWidget* parent)
    : QDialog(parent), desktop_(desktop), playedLength_(playedLength), speed_(speed)
{
    setWindowTitle(QStringLiteral("Fit Length"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const DialogUnits units(font());
    setFixedSize(units.x(162), units.y(52));

    length_ = new QLineEdit(this);
    length_->setObjectName(QString::number(kIdLength));
    length_->setGeometry(units.toPixels(66, 7, 48, 12));
    length_->setAlignment(Qt::AlignCenter);
    length_->setAccessibleName(QStringLiteral("Length in seconds"));
    auto* label = new QLabel(QStringLiteral("&Length :"), this);
    label->setGeometry(units.toPixels(7, 8, 56, 9));
    label->setBuddy(length_);
    (new QLabel(QStringLiteral("Seconds"), this))->setGeometry(units.toPixels(122, 9, 36, 8));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setGeometry(units.toPixels(24, 30, 40, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setGeometry(units.toPixels(95, 30, 40, 14));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &FitLengthDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &FitLengthDialog::reject);

    if (speed > 0.0)
        length_->setText(boxText(toSeconds(playedLength) / speed));
    length_->selectAll();
    length_->setFocus();
}

void FitLengthDialog::accept()
{
    const QString localePoint = QLocale().decimalPoint();
    const auto seconds = readLeadingNumber(length_->text(),
                                           localePoint.size() == 1 ? localePoint[0] : QLatin1Char('.'));
    const auto fitted = seconds ? speedForLength(playedLength_, *seconds) : std::nullopt;
    if (!fitted) {
        desktop_.showAppMessage(kFitLengthRefused);
        length_->setFocus(Qt::OtherFocusReason);
        length_->selectAll();
        return;
    }
    if (!speedInRange(*fitted)) {
        desktop_.showAppMessage(QStringLiteral("This length needs a speed of %1, and a speed must lie between %2.")
                                    .arg(QString::number(*fitted, 'g', 6), QString::fromLatin1(kSpeedRangeText)));
        length_->setFocus(Qt::OtherFocusReason);
        length_->selectAll();
        return;
    }
    speed_ = *fitted;
    QDialog::accept();
}

}  // namespace sonarel
