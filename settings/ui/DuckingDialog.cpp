// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/DuckingDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include "controls/DialogUnits.h"
#include "model/NumberText.h"
#include "platform/Desktop.h"
#include "settings/AudioSettings.h"

namespace sonarel {

DuckingDialog::DuckingDialog(Desktop& desktop, const DuckSettings& ducking, QWidget* parent)
    : QDialog(parent), desktop_(desktop), ducking_(ducking)
{
    setWindowTitle(QStringLiteral("Ducking"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const DialogUnits units(font());
    setFixedSize(units.x(172), units.y(96));

    auto* what = new QLabel(QStringLiteral("While an entry marked \"Duck Others Under This\" plays, the other entries "
                                           "go down by:"),
                            this);
    what->setGeometry(units.toPixels(7, 6, 158, 18));
    what->setWordWrap(true);
    depth_ = addRow(kIdDuckDepth, 26, QStringLiteral("&Depth :"), QStringLiteral("dB"),
                    QStringLiteral("Ducking depth in decibels"), ducking.depthDb);
    attack_ = addRow(kIdDuckAttack, 42, QStringLiteral("&Attack :"), QStringLiteral("Seconds"),
                     QStringLiteral("Ducking attack in seconds"), ducking.attackSeconds);
    release_ = addRow(kIdDuckRelease, 58, QStringLiteral("&Release :"), QStringLiteral("Seconds"),
                      QStringLiteral("Ducking release in seconds"), ducking.releaseSeconds);
    depth_->setAccessibleDescription(QStringLiteral("-60 to 0; the other entries' level while a voice plays"));
    attack_->setAccessibleDescription(QStringLiteral("0 to 10; how long they take to go down before it"));
    release_->setAccessibleDescription(QStringLiteral("0 to 10; how long they take to come back after it"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setGeometry(units.toPixels(29, 76, 40, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setGeometry(units.toPixels(100, 76, 40, 14));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &DuckingDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &DuckingDialog::reject);

    depth_->selectAll();
    depth_->setFocus();
}

QLineEdit* DuckingDialog::addRow(int id, int top, const QString& label, const QString& unit, const QString& name,
                                 double value)
{
    const DialogUnits units(font());
    auto* box = new QLineEdit(this);
    box->setObjectName(QString::number(id));
    box->setGeometry(units.toPixels(66, top, 48, 12));
    box->setAlignment(Qt::AlignCenter);
    box->setAccessibleName(name);
    box->setText(boxText(value));
    auto* text = new QLabel(label, this);
    text->setGeometry(units.toPixels(7, top + 1, 56, 9));
    text->setBuddy(box);
    (new QLabel(unit, this))->setGeometry(units.toPixels(122, top + 2, 36, 8));
    return box;
}

void DuckingDialog::accept()
{
    const QString localePoint = QLocale().decimalPoint();
    const QChar point = localePoint.size() == 1 ? localePoint[0] : QLatin1Char('.');
    DuckSettings read = ducking_;
    const std::pair<QLineEdit*, DuckValue> boxes[] = {
        {depth_, DuckValue::Depth}, {attack_, DuckValue::Attack}, {release_, DuckValue::Release}};
    for (const auto& [box, value] : boxes) {
        const std::optional<double> number = readLeadingNumber(box->text(), point);
        std::string problem;
        if (!number || !setDuckValue(read, value, *number, problem)) {
            const QString why = problem.empty() ? QStringLiteral("Please enter a number.")
                                                : QStringLiteral("The %1.").arg(QString::fromStdString(problem).mid(4));
            desktop_.showAppMessage(why);
            box->setFocus(Qt::OtherFocusReason);
            box->selectAll();
            return;
        }
    }
    ducking_ = read;
    QDialog::accept();
}

}  // namespace sonarel
