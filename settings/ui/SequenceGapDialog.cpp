// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/SequenceGapDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <cmath>

#include "controls/DialogUnits.h"
#include "model/NumberText.h"
#include "model/SequencePlacing.h"
#include "platform/Desktop.h"
#include "settings/AudioSettings.h"

namespace sonarel {

SequenceGapDialog::SequenceGapDialog(Desktop& desktop, int entries, REFERENCE_TIME gap, QWidget* parent)
    : QDialog(parent), desktop_(desktop), gap_(gap)
{
    setWindowTitle(QStringLiteral("Place One After Another"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const DialogUnits units(font());
    setFixedSize(units.x(172), units.y(66));

    auto* what = new QLabel(QStringLiteral("Each of the %1 entries starts where the one before it ends.").arg(entries),
                            this);
    what->setGeometry(units.toPixels(7, 6, 158, 18));
    what->setWordWrap(true);
    box_ = new QLineEdit(this);
    box_->setObjectName(QString::number(kIdGap));
    box_->setGeometry(units.toPixels(66, 26, 48, 12));
    box_->setAlignment(Qt::AlignCenter);
    box_->setAccessibleName(QStringLiteral("Gap between entries in seconds"));
    box_->setAccessibleDescription(QStringLiteral("0 joins them end to end; a negative gap overlaps them"));
    auto* label = new QLabel(QStringLiteral("&Gap :"), this);
    label->setGeometry(units.toPixels(7, 27, 56, 9));
    label->setBuddy(box_);
    (new QLabel(QStringLiteral("Seconds"), this))->setGeometry(units.toPixels(122, 28, 36, 8));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setGeometry(units.toPixels(29, 46, 40, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setGeometry(units.toPixels(100, 46, 40, 14));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &SequenceGapDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &SequenceGapDialog::reject);

    box_->setText(boxText(toSeconds(gap)));
    box_->selectAll();
    box_->setFocus();
}

void SequenceGapDialog::accept()
{
    const QString localePoint = QLocale().decimalPoint();
    NumberFault fault = NumberFault::None;
    const auto seconds = readLeadingNumber(box_->text(), localePoint.size() == 1 ? localePoint[0] : QLatin1Char('.'),
                                           &fault);
    const double latest = toSeconds(kLatestEntryStart);
    QString refused;
    if (!seconds && fault != NumberFault::TooLarge)
        refused = QStringLiteral("Please enter a number.");
    else if (!seconds || std::fabs(*seconds) > latest)
        refused = QStringLiteral("Please enter a gap between -%1 and %1 seconds.").arg(latest, 0, 'f', 0);
    if (!refused.isEmpty()) {
        desktop_.showAppMessage(refused);
        box_->setFocus(Qt::OtherFocusReason);
        box_->selectAll();
        return;
    }
    gap_ = secondsToReferenceTime(*seconds);
    QDialog::accept();
}

}  // namespace sonarel
