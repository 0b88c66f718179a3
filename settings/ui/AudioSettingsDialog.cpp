// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/AudioSettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <algorithm>

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

// How each property beyond start, volume and speed is shown in the "More" part, one row each in
// the table's order (model/EntryPropertyTable.h). A typed property gets a box with a unit beside
// it, a curve a list, a switch a check box; `width` is the unit's, the list's or the check box's.
struct MoreRowLook {
    EntryField field;
    int id;
    const char* label;  // with its access key
    const char* accessibleName;
    const char* description;
    const char* unit;
    int width;
    const char* placeholder;  // what an empty box means
};
using Ids = AudioSettingsDialog::ControlId;
constexpr MoreRowLook kMoreRowLooks[] = {
    {EntryField::InPoint, Ids::kIdInPoint, "&In point :", "In point in seconds", nullptr, "Seconds", 29, nullptr},
    {EntryField::OutPoint, Ids::kIdOutPoint, "O&ut point :", "Out point in seconds",
     "Empty plays to the end of the file", "Seconds", 29, "end"},
    {EntryField::FadeIn, Ids::kIdFadeIn, "&Fade in :", "Fade in in seconds", nullptr, "Seconds", 29, nullptr},
    {EntryField::FadeOut, Ids::kIdFadeOut, "Fade &out :", "Fade out in seconds", nullptr, "Seconds", 29, nullptr},
    {EntryField::FadeCurve, Ids::kIdFadeCurve, "Fade &curve :", "Fade curve", nullptr, nullptr, 85, nullptr},
    {EntryField::KeepPitch, Ids::kIdKeepPitch, "&Keep pitch", nullptr,
     "The speed changes the tempo and leaves the pitch", nullptr, 60, nullptr},
    {EntryField::Pitch, Ids::kIdPitch, "&Pitch :", "Pitch in semitones", nullptr, "Semitones", 38, nullptr},
    {EntryField::Muted, Ids::kIdMute, "Mu&te", nullptr, nullptr, nullptr, 40, nullptr},
    // A box without a unit, as wide as the part.
    {EntryField::Points, Ids::kIdVolumePoints, "Volume poi&nts :", "Volume points",
     "Seconds of the file and levels, as 0:1;2.5:0.3", nullptr, 0, "none"},
    {EntryField::Duck, Ids::kIdDuck, "&Duck others under this", nullptr,
     "While this entry plays, the others go down by the list's ducking depth", nullptr, 100, nullptr},
    {EntryField::Chapter, Ids::kIdChapter, "C&hapter :", "Chapter title",
     "A chapter of this title starts with the entry; empty: none", nullptr, 0, "none"},
    {EntryField::Group, Ids::kIdGroup, "&Group :", "Group", "The group whose stem the entry goes to; empty: none",
     nullptr, 0, "none"},
};
constexpr int kMoreRows = static_cast<int>(std::size(kMoreRowLooks));
constexpr int kMuteRow = static_cast<int>(std::find_if(std::begin(kMoreRowLooks), std::end(kMoreRowLooks),
                                                       [](const MoreRowLook& look) {
                                                           return look.field == EntryField::Muted;
                                                       }) -
                                          std::begin(kMoreRowLooks));
static_assert(kMoreRows == std::count_if(kEntryProperties.begin(), kEntryProperties.end(), isShaping),
              "every shaping property has its row");
constexpr int kOpenHeight = kClosedHeight + 4 + kMoreRows * kRowHeight;

// A curve's choices, in the order of their indices (choiceOf).
const QStringList kCurveChoices{QStringLiteral("Linear"), QStringLiteral("Equal power")};

// What an empty box says when the entries edited together differ in its value.
const QString kVarious = QStringLiteral("various");

// The top of row `row` of the More part, in dialog units.
int moreRowTop(int row)
{
    return 4 + row * kRowHeight;
}

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
        QStringLiteral("Shows or hides the in and out points, fades, pitch, mute, volume points and ducking of the "
                       "entry"));
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
    for (int i = 0; i < kMoreRows; ++i)
        moreRows_.push_back(createMoreRow(i, units));
    for (const MoreRow& row : moreRows_) {
        if (!row.property->needs)
            continue;
        auto* needed = static_cast<QCheckBox*>(moreRow(*row.property->needs)->control);
        connect(needed, &QCheckBox::toggled, this, [row](bool on) {
            row.control->setEnabled(on);
            row.label->setEnabled(on);
        });
    }

    // Beside the mute check box.
    auto* fit = new QPushButton(QStringLiteral("Fit &length..."), morePart_);
    fit_ = fit;
    fit->setObjectName(QString::number(kIdFitLength));
    fit->setGeometry(units.toPixels(95, moreRowTop(kMuteRow) - 1, 56, 14));
    fit->setAutoDefault(false);
    fit->setAccessibleDescription(QStringLiteral("Sets the speed so that the entry lasts a given number of seconds"));
    connect(fit, &QPushButton::clicked, this, &AudioSettingsDialog::fitLength);

    // In reading order: the fit button comes after the mute row beside it.
    QWidget* previous = more_;
    for (const MoreRow& row : moreRows_) {
        setTabOrder(previous, row.control);
        previous = row.control;
        if (row.property->field == EntryField::Muted) {
            setTabOrder(previous, fit);
            previous = fit;
        }
    }
}

// One row of the More part: a box, a list or a check box as the property is set; a box's label
// names it for screen readers.
AudioSettingsDialog::MoreRow AudioSettingsDialog::createMoreRow(int index, const DialogUnits& units)
{
    const MoreRowLook& look = kMoreRowLooks[index];
    const int top = moreRowTop(index);
    auto label = [this, &units](const char* text, int left, int labelTop, int width, QWidget* buddy) {
        auto* made = new QLabel(QString::fromUtf8(text), morePart_);
        made->setGeometry(units.toPixels(left, labelTop, width, 9));
        made->setBuddy(buddy);
        return made;
    };
    MoreRow row{&entryProperty(look.field)};
    if (isTyped(*row.property)) {
        QLineEdit* made = makeBox(look.id, 66, top, morePart_);
        row.label = label(look.label, 7, top + 1, 56, made);
        if (look.unit != nullptr) {
            label(look.unit, 122, top + 2, look.width, nullptr);
        } else {
            made->setGeometry(units.toPixels(66, top, kDialogWidth - 66 - 7, 12));
            made->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        }
        made->setAccessibleName(QString::fromUtf8(look.accessibleName));
        if (look.placeholder != nullptr)
            made->setPlaceholderText(QString::fromUtf8(look.placeholder));
        row.control = made;
    } else if (row.property->kind == PropertyKind::Curve) {
        auto* list = new QComboBox(morePart_);
        list->setObjectName(QString::number(look.id));
        list->addItems(kCurveChoices);
        list->setGeometry(units.toPixels(66, top, look.width, 12));
        list->setAccessibleName(QString::fromUtf8(look.accessibleName));
        row.label = label(look.label, 7, top + 1, 56, list);
        row.control = list;
    } else {
        auto* check = new QCheckBox(QString::fromUtf8(look.label), morePart_);
        check->setObjectName(QString::number(look.id));
        check->setGeometry(units.toPixels(7, top, look.width, 12));
        // A half-checked box (entries that differ) becomes a plain one once the person clicks it.
        connect(check, &QCheckBox::clicked, check, [check] { check->setTristate(false); });
        row.control = check;
    }
    if (look.description != nullptr)
        row.control->setAccessibleDescription(QString::fromUtf8(look.description));
    return row;
}

const AudioSettingsDialog::MoreRow* AudioSettingsDialog::moreRow(EntryField field) const
{
    for (const MoreRow& row : moreRows_)
        if (row.property->field == field)
            return &row;
    return nullptr;
}

int AudioSettingsDialog::choiceState(const MoreRow& row)
{
    if (auto* list = qobject_cast<QComboBox*>(row.control))
        return list->currentIndex();
    return static_cast<QCheckBox*>(row.control)->checkState();
}

std::optional<int> AudioSettingsDialog::choiceIn(const MoreRow& row)
{
    if (auto* list = qobject_cast<QComboBox*>(row.control))
        return list->currentIndex() >= 0 ? std::optional<int>(list->currentIndex()) : std::nullopt;
    const Qt::CheckState state = static_cast<QCheckBox*>(row.control)->checkState();
    return state == Qt::PartiallyChecked ? std::nullopt : std::optional<int>(state == Qt::Checked ? 1 : 0);
}

void AudioSettingsDialog::showChoice(const MoreRow& row, int choice)
{
    if (auto* list = qobject_cast<QComboBox*>(row.control))
        list->setCurrentIndex(choice);
    else
        static_cast<QCheckBox*>(row.control)->setChecked(choice == 1);
}

void AudioSettingsDialog::enableNeedingRows()
{
    for (const MoreRow& row : moreRows_) {
        if (!row.property->needs)
            continue;
        const auto* needed = static_cast<QCheckBox*>(moreRow(*row.property->needs)->control);
        row.control->setEnabled(needed->checkState() != Qt::Unchecked);
        row.label->setEnabled(row.control->isEnabled());
    }
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
    case AudioField::Speed: return speed_;
    default: break;
    }
    const MoreRow* row = moreRow(field);
    auto* typed = row != nullptr ? qobject_cast<QLineEdit*>(row->control) : nullptr;
    return typed != nullptr ? typed : speed_;
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
    for (QLineEdit* box : {volume_, startTime_, speed_})
        box->setPlaceholderText(QString());
    for (int i = 0; i < kMoreRows; ++i) {
        const char* placeholder = kMoreRowLooks[i].placeholder;
        const QString empty = placeholder != nullptr ? QString::fromUtf8(placeholder) : QString();
        if (auto* box = qobject_cast<QLineEdit*>(moreRows_[i].control))
            box->setPlaceholderText(empty);
        else if (auto* list = qobject_cast<QComboBox*>(moreRows_[i].control))
            list->setPlaceholderText(empty);
        else
            static_cast<QCheckBox*>(moreRows_[i].control)->setTristate(false);
    }
    const QString name = QFileInfo(item.filePathText()).fileName();
    editing_->setText(editing_->fontMetrics().elidedText(name, Qt::ElideMiddle, editing_->width()));
    editing_->setToolTip(item.filePathText());
    properties_ = item.properties();
    duration_ = item.duration;
    const ShapingTexts texts = shapingTextsOf(properties_);
    for (const MoreRow& row : moreRows_) {
        if (isTyped(*row.property))
            static_cast<QLineEdit*>(row.control)->setText(texts.*shapingTextOf(row.property->field));
        else
            showChoice(row, choiceOf(*row.property, properties_));
    }
    enableNeedingRows();
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
    std::vector<bool> sameChoice(moreRows_.size(), true);
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
        for (std::size_t i = 0; i < moreRows_.size(); ++i) {
            const MoreRow& row = moreRows_[i];
            if (isTyped(*row.property)) {
                QString ShapingTexts::*text = shapingTextOf(row.property->field);
                keepIfSame(static_cast<QLineEdit*>(row.control), firstTexts.*text, texts.*text);
            } else {
                sameChoice[i] = sameChoice[i] && sameValue(*row.property, item, first);
            }
        }
    }
    for (std::size_t i = 0; i < moreRows_.size(); ++i) {
        const MoreRow& row = moreRows_[i];
        if (auto* list = qobject_cast<QComboBox*>(row.control); list != nullptr && !sameChoice[i]) {
            list->setPlaceholderText(kVarious);
            list->setCurrentIndex(-1);
        } else if (auto* check = qobject_cast<QCheckBox*>(row.control)) {
            setCommonCheck(check, sameChoice[i], choiceOf(*row.property, first) == 1);
        }
    }
    enableNeedingRows();
    showMore(shaped);
    shownVolume_ = volume_->text();
    shownStart_ = startTime_->text();
    shownSpeed_ = speed_->text();
    shownTexts_ = shapingTexts();
    shownChoices_.clear();
    for (const MoreRow& row : moreRows_)
        shownChoices_.push_back(isTyped(*row.property) ? 0 : choiceState(row));
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
    ShapingTexts texts;
    for (const MoreRow& row : moreRows_)
        if (isTyped(*row.property))
            texts.*shapingTextOf(row.property->field) = static_cast<QLineEdit*>(row.control)->text();
    return texts;
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
    ShapingTexts texts = shapingTextsOf(item);
    for (const MoreRow& row : moreRows_) {
        if (!isTyped(*row.property))
            continue;
        QString ShapingTexts::*text = shapingTextOf(row.property->field);
        if (typed.*text != shownTexts_.*text)
            texts.*text = typed.*text;
    }
    return texts;
}

ShapingChoices AudioSettingsDialog::choicesFor(const MixItem& item) const
{
    EntryProperties chosen = item.properties();
    for (std::size_t i = 0; i < moreRows_.size(); ++i) {
        const MoreRow& row = moreRows_[i];
        if (isTyped(*row.property) || choiceState(row) == shownChoices_[i])
            continue;
        if (const std::optional<int> choice = choiceIn(row))
            setChoice(*row.property, chosen, *choice);
    }
    return shapingChoicesOf(chosen);
}

void AudioSettingsDialog::acceptSeveral()
{
    // Only the boxes the person changed are read and checked, and only they are applied.
    const auto changedText = [](const QLineEdit* box, const QString& shown) {
        return box->text() != shown ? std::optional<QString>(box->text()) : std::nullopt;
    };
    ChangedAudioSettings changed;
    if (const auto problem = readChangedAudioSettings(changedText(startTime_, shownStart_),
                                                      changedText(volume_, shownVolume_),
                                                      changedText(speed_, shownSpeed_), changed, localePoint()))
        return showProblem(*problem);
    const std::optional<double>& start = changed.startTime;
    const std::optional<double>& volume = changed.volume;
    const std::optional<double>& speed = changed.speed;
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
        EntryProperties chosen = properties_;
        for (const MoreRow& row : moreRows_)
            if (!isTyped(*row.property))
                setChoice(*row.property, chosen, choiceIn(row).value_or(0));
        problem = readShaping(shapingTexts(), shapingChoicesOf(chosen), properties_, duration_, properties,
                              localePoint());
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
