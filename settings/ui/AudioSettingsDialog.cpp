// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/AudioSettingsDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include "controls/DialogUnits.h"
#include "platform/Desktop.h"

namespace sonarel {

namespace {

constexpr int kDialogWidth = 162;
constexpr int kDialogHeight = 89;

}  // namespace

AudioSettingsDialog::AudioSettingsDialog(Desktop& desktop, QWidget* parent) : QDialog(parent), desktop_(desktop)
{
    setObjectName(QStringLiteral("161"));
    setWindowTitle(QStringLiteral("Audio Settings"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const DialogUnits units(font());
    setFixedSize(units.x(kDialogWidth), units.y(kDialogHeight));

    auto label = [this, &units](const char* text, int left, int top, int width, int height, QWidget* buddy) {
        auto* made = new QLabel(QString::fromUtf8(text), this);
        made->setGeometry(units.toPixels(left, top, width, height));
        if (buddy != nullptr)
            made->setBuddy(buddy);
        return made;
    };
    // Created in tab order: volume, start time, speed, OK, Cancel.
    volume_ = makeBox(kIdVolume, 66, 7);
    startTime_ = makeBox(kIdStartTime, 66, 26);
    speed_ = makeBox(kIdSpeed, 66, 45);
    label("Volume :", 7, 8, 36, 9, volume_);
    label("Start time :", 7, 27, 44, 9, startTime_);
    label("Seconds", 122, 28, 29, 8, nullptr);
    label("Speed :", 7, 46, 49, 10, speed_);
    volume_->setAccessibleName(QStringLiteral("Volume"));
    startTime_->setAccessibleName(QStringLiteral("Start time in seconds"));
    speed_->setAccessibleName(QStringLiteral("Speed"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setGeometry(units.toPixels(24, 68, 40, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setGeometry(units.toPixels(95, 68, 40, 14));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &AudioSettingsDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &AudioSettingsDialog::reject);

    setSettings(settings_);
    volume_->setFocus();
}

QLineEdit* AudioSettingsDialog::makeBox(int id, int left, int top)
{
    auto* made = new QLineEdit(this);
    made->setObjectName(QString::number(id));
    made->setGeometry(DialogUnits(font()).toPixels(left, top, 48, 12));
    made->setAlignment(Qt::AlignCenter);
    return made;
}

QLineEdit* AudioSettingsDialog::box(AudioField field) const
{
    switch (field) {
    case AudioField::Volume: return volume_;
    case AudioField::StartTime: return startTime_;
    case AudioField::Speed: break;
    }
    return speed_;
}

void AudioSettingsDialog::setSettings(const AudioSettings& settings)
{
    settings_ = settings;
    volume_->setText(boxText(settings.volume));
    startTime_->setText(boxText(settings.startTime));
    speed_->setText(boxText(settings.speed));
    volume_->selectAll();  // the first box takes what is typed at once
}

void AudioSettingsDialog::accept()
{
    AudioSettings read;
    // '.' always works; the locale's own decimal point as well.
    const QString localePoint = QLocale().decimalPoint();
    const auto problem = readAudioSettings(startTime_->text(), volume_->text(), speed_->text(), read,
                                           localePoint.size() == 1 ? localePoint[0] : QLatin1Char('.'));
    if (problem) {
        if (problem->caption.isEmpty())
            desktop_.showAppMessage(problem->message);
        else
            desktop_.showMessage(problem->message, problem->caption, MessageIcon::None);
        QLineEdit* failing = box(problem->field);
        failing->setFocus(Qt::OtherFocusReason);
        failing->selectAll();
        return;
    }
    settings_ = read;
    QDialog::accept();
}

}  // namespace sonarel
