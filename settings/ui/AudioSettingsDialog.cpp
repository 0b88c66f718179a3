// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/AudioSettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include "controls/DialogUnits.h"
#include "model/NumberText.h"
#include "platform/Desktop.h"
#include "settings/ui/FitLengthDialog.h"

namespace sonarel {

namespace {

constexpr int kDialogWidth = 162;
constexpr int kDialogHeight = 89;
// "More" sits under OK and Cancel; its part opens below it.
constexpr int kMoreTop = 87;
constexpr int kClosedHeight = kMoreTop + 14 + 7;
constexpr int kRowHeight = 17;
constexpr int kMoreRows = 8;
constexpr int kOpenHeight = kClosedHeight + 4 + kMoreRows * kRowHeight;

// What an empty box says when the entries edited together differ in its value.
const QString kVarious = QStringLiteral("various");

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
    // Created in tab order: volume, start time, speed, OK, Cancel, then "More" and its part.
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

    more_ = new QPushButton(QStringLiteral("&More"), this);
    more_->setObjectName(QString::number(kIdMore));
    more_->setGeometry(units.toPixels(7, kMoreTop, 44, 14));
    more_->setCheckable(true);
    more_->setAutoDefault(false);
    more_->setAccessibleDescription(
        QStringLiteral("Shows or hides the in and out points, fades, pitch and mute of the entry"));
    editing_ = new QLabel(this);
    editing_->setObjectName(QString::number(kIdEditing));
    editing_->setGeometry(units.toPixels(56, kMoreTop + 3, 99, 9));
    editing_->setTextFormat(Qt::PlainText);
    createMorePart(kClosedHeight);
    connect(more_, &QPushButton::toggled, this, &AudioSettingsDialog::showMore);

    setEntry(MixItem{});
    volume_->setFocus();
}

void AudioSettingsDialog::createMorePart(int partTop)
{
    const DialogUnits units(font());
    morePart_ = new QWidget(this);
    morePart_->setGeometry(units.toPixels(0, partTop, kDialogWidth, kOpenHeight - partTop));
    auto rowTop = [](int row) { return 4 + row * kRowHeight; };
    auto label = [this, &units](const char* text, int left, int top, int width, QWidget* buddy) {
        auto* made = new QLabel(QString::fromUtf8(text), morePart_);
        made->setGeometry(units.toPixels(left, top, width, 9));
        made->setBuddy(buddy);
        return made;
    };
    // One row each, in reading order; a box's label names it for screen readers.
    auto secondsRow = [&](int id, int row, const char* text, const char* accessibleName) {
        QLineEdit* made = makeBox(id, 66, rowTop(row), morePart_);
        label(text, 7, rowTop(row) + 1, 56, made);
        label("Seconds", 122, rowTop(row) + 2, 29, nullptr);
        made->setAccessibleName(QString::fromUtf8(accessibleName));
        return made;
    };
    inPoint_ = secondsRow(kIdInPoint, 0, "&In point :", "In point in seconds");
    outPoint_ = secondsRow(kIdOutPoint, 1, "O&ut point :", "Out point in seconds");
    outPoint_->setPlaceholderText(QStringLiteral("end"));
    outPoint_->setAccessibleDescription(QStringLiteral("Empty plays to the end of the file"));
    fadeIn_ = secondsRow(kIdFadeIn, 2, "&Fade in :", "Fade in in seconds");
    fadeOut_ = secondsRow(kIdFadeOut, 3, "Fade &out :", "Fade out in seconds");

    fadeCurve_ = new QComboBox(morePart_);
    fadeCurve_->setObjectName(QString::number(kIdFadeCurve));
    fadeCurve_->addItems({QStringLiteral("Linear"), QStringLiteral("Equal power")});
    fadeCurve_->setGeometry(units.toPixels(66, rowTop(4), 85, 12));
    fadeCurve_->setAccessibleName(QStringLiteral("Fade curve"));
    label("Fade &curve :", 7, rowTop(4) + 1, 56, fadeCurve_);

    keepPitch_ = new QCheckBox(QStringLiteral("&Keep pitch"), morePart_);
    keepPitch_->setObjectName(QString::number(kIdKeepPitch));
    keepPitch_->setGeometry(units.toPixels(7, rowTop(5), 60, 12));
    keepPitch_->setAccessibleDescription(QStringLiteral("The speed changes the tempo and leaves the pitch"));
    pitch_ = makeBox(kIdPitch, 66, rowTop(6), morePart_);
    pitchLabel_ = label("&Pitch :", 7, rowTop(6) + 1, 56, pitch_);
    label("Semitones", 122, rowTop(6) + 2, 38, nullptr);
    pitch_->setAccessibleName(QStringLiteral("Pitch in semitones"));
    connect(keepPitch_, &QCheckBox::toggled, this, [this](bool on) {
        pitch_->setEnabled(on);
        pitchLabel_->setEnabled(on);
    });

    mute_ = new QCheckBox(QStringLiteral("Mu&te"), morePart_);
    mute_->setObjectName(QString::number(kIdMute));
    mute_->setGeometry(units.toPixels(7, rowTop(7), 40, 12));
    auto* fit = new QPushButton(QStringLiteral("Fit &length..."), morePart_);
    fit_ = fit;
    fit->setObjectName(QString::number(kIdFitLength));
    fit->setGeometry(units.toPixels(95, rowTop(7) - 1, 56, 14));
    fit->setAutoDefault(false);
    fit->setAccessibleDescription(QStringLiteral("Sets the speed so that the entry lasts a given number of seconds"));
    connect(fit, &QPushButton::clicked, this, &AudioSettingsDialog::fitLength);
    // A half-checked box (entries that differ) becomes a plain one once the person clicks it.
    for (QCheckBox* box : {keepPitch_, mute_})
        connect(box, &QCheckBox::clicked, box, [box] { box->setTristate(false); });

    QWidget* order[] = {more_, inPoint_, outPoint_, fadeIn_, fadeOut_, fadeCurve_, keepPitch_, pitch_, mute_, fit};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

QLineEdit* AudioSettingsDialog::makeBox(int id, int left, int top, QWidget* parent)
{
    auto* made = new QLineEdit(parent != nullptr ? parent : this);
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
    case AudioField::InPoint: return inPoint_;
    case AudioField::OutPoint: return outPoint_;
    case AudioField::FadeIn: return fadeIn_;
    case AudioField::FadeOut: return fadeOut_;
    case AudioField::Pitch: return pitch_;
    case AudioField::Speed: break;
    }
    return speed_;
}

bool AudioSettingsDialog::moreShown() const
{
    return more_->isChecked();
}

void AudioSettingsDialog::showMore(bool shown)
{
    more_->setChecked(shown);  // no-op when called from the button itself
    morePart_->setVisible(shown);
    const DialogUnits units(font());
    setFixedSize(units.x(kDialogWidth), units.y(shown ? kOpenHeight : kClosedHeight));
}

void AudioSettingsDialog::setEntry(const MixItem& item)
{
    entries_.clear();
    fit_->setEnabled(true);
    for (QCheckBox* box : {keepPitch_, mute_})
        box->setTristate(false);
    fadeCurve_->setPlaceholderText(QString());
    for (QLineEdit* box : {volume_, startTime_, speed_, inPoint_, fadeIn_, fadeOut_, pitch_})
        box->setPlaceholderText(QString());
    outPoint_->setPlaceholderText(QStringLiteral("end"));
    const QString name = QFileInfo(item.filePathText()).fileName();
    editing_->setText(editing_->fontMetrics().elidedText(name, Qt::ElideMiddle, editing_->width()));
    editing_->setToolTip(item.filePathText());
    properties_ = item.properties();
    duration_ = item.duration;
    const ShapingTexts texts = shapingTextsOf(properties_);
    inPoint_->setText(texts.inPoint);
    outPoint_->setText(texts.outPoint);
    fadeIn_->setText(texts.fadeIn);
    fadeOut_->setText(texts.fadeOut);
    pitch_->setText(texts.pitch);
    fadeCurve_->setCurrentIndex(properties_.fadeCurve == FadeCurve::EqualPower ? 1 : 0);
    keepPitch_->setChecked(properties_.keepPitch);
    pitch_->setEnabled(properties_.keepPitch);
    pitchLabel_->setEnabled(properties_.keepPitch);
    mute_->setChecked(properties_.muted);
    showMore(usesShaping(properties_));
    setSettings(audioSettingsOf(properties_));
}

void AudioSettingsDialog::setCommonCheck(QCheckBox* box, bool common, bool value)
{
    box->setTristate(!common);
    box->setCheckState(!common ? Qt::PartiallyChecked : value ? Qt::Checked : Qt::Unchecked);
}

void AudioSettingsDialog::setEntries(const std::vector<MixItem>& items)
{
    if (items.size() <= 1) {
        setEntry(items.empty() ? MixItem{} : items.front());
        return;
    }
    // The first entry's values, then every box whose value another entry does not share emptied.
    setEntry(items.front());
    entries_ = items;
    duration_ = 0;
    fit_->setEnabled(false);  // one length to fit, not several
    editing_->setText(QStringLiteral("%1 entries").arg(items.size()));
    editing_->setToolTip(QString());
    const MixItem& first = items.front();
    const ShapingTexts firstTexts = shapingTextsOf(first);
    const AudioSettings firstSettings = audioSettingsOf(first);
    bool shaped = false;
    bool sameCurve = true;
    bool sameKeep = true;
    bool sameMute = true;
    for (const MixItem& item : items) {
        shaped = shaped || usesShaping(item);
        const ShapingTexts texts = shapingTextsOf(item);
        const AudioSettings settings = audioSettingsOf(item);
        auto keepIfSame = [](QLineEdit* box, const QString& mine, const QString& theirs) {
            if (mine == theirs)
                return;
            box->clear();
            box->setPlaceholderText(kVarious);
        };
        keepIfSame(volume_, boxText(firstSettings.volume), boxText(settings.volume));
        keepIfSame(startTime_, boxText(firstSettings.startTime), boxText(settings.startTime));
        keepIfSame(speed_, boxText(firstSettings.speed), boxText(settings.speed));
        keepIfSame(inPoint_, firstTexts.inPoint, texts.inPoint);
        keepIfSame(outPoint_, firstTexts.outPoint, texts.outPoint);
        keepIfSame(fadeIn_, firstTexts.fadeIn, texts.fadeIn);
        keepIfSame(fadeOut_, firstTexts.fadeOut, texts.fadeOut);
        keepIfSame(pitch_, firstTexts.pitch, texts.pitch);
        sameCurve = sameCurve && item.fadeCurve == first.fadeCurve;
        sameKeep = sameKeep && item.keepPitch == first.keepPitch;
        sameMute = sameMute && item.muted == first.muted;
    }
    if (!sameCurve) {
        fadeCurve_->setPlaceholderText(kVarious);
        fadeCurve_->setCurrentIndex(-1);
    }
    setCommonCheck(keepPitch_, sameKeep, first.keepPitch);
    setCommonCheck(mute_, sameMute, first.muted);
    pitch_->setEnabled(keepPitch_->checkState() != Qt::Unchecked);
    pitchLabel_->setEnabled(pitch_->isEnabled());
    showMore(shaped);
    shownVolume_ = volume_->text();
    shownStart_ = startTime_->text();
    shownSpeed_ = speed_->text();
    shownTexts_ = shapingTexts();
    shownCurve_ = fadeCurve_->currentIndex();
    shownKeepPitch_ = keepPitch_->checkState();
    shownMute_ = mute_->checkState();
    volume_->selectAll();
}

QString AudioSettingsDialog::editingText() const
{
    return editing_->text();
}

std::vector<EntryProperties> AudioSettingsDialog::results() const
{
    if (entries_.empty())
        return {properties_};
    return results_;
}

void AudioSettingsDialog::setSettings(const AudioSettings& settings)
{
    settings_ = settings;
    volume_->setText(boxText(settings.volume));
    startTime_->setText(boxText(settings.startTime));
    speed_->setText(boxText(settings.speed));
    volume_->selectAll();  // the first box takes what is typed at once
}

ShapingTexts AudioSettingsDialog::shapingTexts() const
{
    return {inPoint_->text(), outPoint_->text(), fadeIn_->text(), fadeOut_->text(), pitch_->text()};
}

QChar AudioSettingsDialog::localePoint() const
{
    // '.' always works; the locale's own decimal point as well.
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 ? point[0] : QLatin1Char('.');
}

void AudioSettingsDialog::showProblem(const AudioSettingsProblem& problem)
{
    if (problem.caption.isEmpty())
        desktop_.showAppMessage(problem.message);
    else
        desktop_.showMessage(problem.message, problem.caption, MessageIcon::None);
    QLineEdit* failing = box(problem.field);
    if (failing->parentWidget() == morePart_)
        showMore(true);
    failing->setFocus(Qt::OtherFocusReason);
    failing->selectAll();
}

ShapingTexts AudioSettingsDialog::textsFor(const MixItem& item) const
{
    const ShapingTexts typed = shapingTexts();
    const ShapingTexts own = shapingTextsOf(item);
    auto pick = [](const QString& now, const QString& shown, const QString& itsOwn) {
        return now != shown ? now : itsOwn;
    };
    return {pick(typed.inPoint, shownTexts_.inPoint, own.inPoint),
            pick(typed.outPoint, shownTexts_.outPoint, own.outPoint),
            pick(typed.fadeIn, shownTexts_.fadeIn, own.fadeIn), pick(typed.fadeOut, shownTexts_.fadeOut, own.fadeOut),
            pick(typed.pitch, shownTexts_.pitch, own.pitch)};
}

ShapingChoices AudioSettingsDialog::choicesFor(const MixItem& item) const
{
    ShapingChoices choices = shapingChoicesOf(item);
    if (fadeCurve_->currentIndex() != shownCurve_ && fadeCurve_->currentIndex() >= 0)
        choices.fadeCurve = fadeCurve_->currentIndex() == 1 ? FadeCurve::EqualPower : FadeCurve::Linear;
    if (keepPitch_->checkState() != shownKeepPitch_ && keepPitch_->checkState() != Qt::PartiallyChecked)
        choices.keepPitch = keepPitch_->isChecked();
    if (mute_->checkState() != shownMute_ && mute_->checkState() != Qt::PartiallyChecked)
        choices.muted = mute_->isChecked();
    return choices;
}

void AudioSettingsDialog::acceptSeveral()
{
    // Only the boxes the person changed are read and checked, and only they are applied.
    std::optional<double> start;
    std::optional<double> volume;
    std::optional<double> speed;
    double value = 0.0;
    if (startTime_->text() != shownStart_) {
        if (const auto problem = readStartTimeBox(startTime_->text(), value, localePoint()))
            return showProblem(*problem);
        start = value;
    }
    if (volume_->text() != shownVolume_) {
        if (const auto problem = readVolumeBox(volume_->text(), value, localePoint()))
            return showProblem(*problem);
        volume = value;
    }
    if (speed_->text() != shownSpeed_) {
        if (const auto problem = readSpeedBox(speed_->text(), value, localePoint()))
            return showProblem(*problem);
        speed = value;
    }
    std::vector<EntryProperties> results;
    for (const MixItem& item : entries_) {
        EntryProperties result = item.properties();
        if (auto problem = readShaping(textsFor(item), choicesFor(item), item.properties(), item.duration, result,
                                       localePoint())) {
            // The typed value does not suit this entry: say which one.
            problem->message += QStringLiteral("\n\n%1").arg(item.filePathText());
            return showProblem(*problem);
        }
        if (start)
            result.startTime = secondsToReferenceTime(*start);
        if (volume)
            result.volume = *volume;
        if (speed)
            result.speed = *speed;
        results.push_back(result);
    }
    results_ = std::move(results);
    QDialog::accept();
}

void AudioSettingsDialog::accept()
{
    if (!entries_.empty())
        return acceptSeveral();
    AudioSettings read;
    auto problem = readAudioSettings(startTime_->text(), volume_->text(), speed_->text(), read, localePoint());
    EntryProperties properties = properties_;
    if (!problem) {
        const ShapingChoices choices{fadeCurve_->currentIndex() == 1 ? FadeCurve::EqualPower : FadeCurve::Linear,
                                     keepPitch_->isChecked(), mute_->isChecked()};
        problem = readShaping(shapingTexts(), choices, properties_, duration_, properties, localePoint());
    }
    if (problem) {
        showProblem(*problem);
        return;
    }
    settings_ = read;
    const EntryProperties placed = entryPropertiesOf(read);
    properties.startTime = placed.startTime;
    properties.volume = placed.volume;
    properties.speed = placed.speed;
    properties_ = properties;
    QDialog::accept();
}

void AudioSettingsDialog::fitLength()
{
    REFERENCE_TIME played = 0;
    if (const auto problem = readPlayedLength(shapingTexts(), properties_, duration_, played, localePoint())) {
        showProblem(*problem);
        return;
    }
    const double speed = readLeadingNumber(speed_->text(), localePoint()).value_or(0.0);
    FitLengthDialog ask(desktop_, played, speed, this);
    if (ask.exec() != QDialog::Accepted)
        return;
    speed_->setText(speedText(ask.speed()));
}

}  // namespace sonarel
