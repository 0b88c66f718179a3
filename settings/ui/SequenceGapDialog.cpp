// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/SequenceGapDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <cmath>

#include "controls/DialogUnits.h"
#include "model/NumberText.h"
#include "platform/Desktop.h"
#include "settings/AudioSettings.h"

namespace sonarel {

SequenceGapDialog::SequenceGapDialog(Desktop& desktop, int entries, const SequenceJoin& join, QWidget* parent)
    : QDialog(parent), desktop_(desktop), join_(join)
{
    setWindowTitle(QStringLiteral("Place One After Another"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const DialogUnits units(font());
    setFixedSize(units.x(172), units.y(98));

    auto* what = new QLabel(
        QStringLiteral("Each of the %1 entries starts where the one before it ends, or with a crossfade that long "
                       "before.")
            .arg(entries),
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

    crossfade_ = new QLineEdit(this);
    crossfade_->setObjectName(QString::number(kIdCrossfade));
    crossfade_->setGeometry(units.toPixels(66, 42, 48, 12));
    crossfade_->setAlignment(Qt::AlignCenter);
    crossfade_->setAccessibleName(QStringLiteral("Crossfade in seconds"));
    crossfade_->setAccessibleDescription(
        QStringLiteral("Each entry starts this long before the one before it ends, and the two fade across; 0 for "
                       "none"));
    auto* crossfadeLabel = new QLabel(QStringLiteral("&Crossfade :"), this);
    crossfadeLabel->setGeometry(units.toPixels(7, 43, 56, 9));
    crossfadeLabel->setBuddy(crossfade_);
    (new QLabel(QStringLiteral("Seconds"), this))->setGeometry(units.toPixels(122, 44, 36, 8));
    curve_ = new QComboBox(this);
    curve_->setObjectName(QString::number(kIdCrossfadeCurve));
    curve_->addItems({QStringLiteral("Equal power"), QStringLiteral("Linear")});
    curve_->setGeometry(units.toPixels(66, 58, 60, 12));
    curve_->setAccessibleName(QStringLiteral("Crossfade curve"));
    auto* curveLabel = new QLabel(QStringLiteral("C&urve :"), this);
    curveLabel->setGeometry(units.toPixels(7, 59, 56, 9));
    curveLabel->setBuddy(curve_);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setGeometry(units.toPixels(29, 78, 40, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setGeometry(units.toPixels(100, 78, 40, 14));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &SequenceGapDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &SequenceGapDialog::reject);

    box_->setText(boxText(toSeconds(join.gap)));
    crossfade_->setText(boxText(toSeconds(join.crossfade)));
    curve_->setCurrentIndex(join.curve == FadeCurve::Linear ? 1 : 0);
    box_->selectAll();
    box_->setFocus();
}

bool SequenceGapDialog::refuse(const QString& refusal, QLineEdit* box)
{
    desktop_.showAppMessage(refusal);
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
    return false;
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
        refuse(refused, box_);
        return;
    }
    const auto crossfade = readLeadingNumber(crossfade_->text(),
                                             localePoint.size() == 1 ? localePoint[0] : QLatin1Char('.'));
    if (!crossfade || *crossfade < 0.0 || *crossfade > latest) {
        refuse(QStringLiteral("Please enter a crossfade between 0 and %1 seconds.").arg(latest, 0, 'f', 0), crossfade_);
        return;
    }
    if (*crossfade > 0.0 && *seconds != 0.0) {
        refuse(QStringLiteral("A crossfade overlaps the entries itself: please set the gap to 0."), box_);
        return;
    }
    join_.gap = secondsToReferenceTime(*seconds);
    join_.crossfade = nearestReferenceTime(*crossfade);
    join_.curve = curve_->currentIndex() == 1 ? FadeCurve::Linear : FadeCurve::EqualPower;
    QDialog::accept();
}

}  // namespace sonarel
