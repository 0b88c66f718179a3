// SPDX-License-Identifier: GPL-3.0-or-later
// The audio settings dialog: edits the volume, start time and speed of one mix entry and, in the
// part that "More" opens, the shaping of what plays: in and out points, fades, keep pitch and
// pitch, mute. On several entries at once, a value they share shows as for one, one that differs
// starts empty (or half checked), and only what the person changes is applied to each. It works
// on the values it is given and hands them back only after OK; it never touches the list. Messages go through the
// desktop interface, so tests see them without a modal box.
#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "settings/AudioSettings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace sonarel {

class Desktop;
class DialogUnits;

class AudioSettingsDialog : public QDialog {
    Q_OBJECT

public:
    enum ControlId : int {
        kIdVolume = 1062,
        kIdStartTime = 1063,
        kIdSpeed = 1064,
        kIdMore = 1070,
        kIdInPoint = 1071,
        kIdOutPoint = 1072,
        kIdFadeIn = 1073,
        kIdFadeOut = 1074,
        kIdFadeCurve = 1075,
        kIdKeepPitch = 1076,
        kIdPitch = 1077,
        kIdMute = 1078,
        kIdFitLength = 1079,
        kIdDuck = 1088,
        kIdEditing = 1081,
        kIdVolumePoints = 1082,
        kIdChapter = 1089,
        kIdGroup = 1090,
    };

    explicit AudioSettingsDialog(Desktop& desktop, QWidget* parent = nullptr);

    // Fills every control from the entry; "More" opens when the entry uses any shaping. Call
    // before exec().
    void setEntry(const MixItem& item);
    // Fills the controls from several entries: a value that differs between them leaves its box
    // empty, its choice unset or its check box half checked. One entry is setEntry. The line
    // under the boxes names the file, or says how many entries are edited.
    void setEntries(const std::vector<MixItem>& items);
    // Fills the three boxes only.
    void setSettings(const AudioSettings& settings);
    // What the dialog edits, as the line under the boxes says: a file's name or "3 entries".
    QString editingText() const;
    // After OK: each entry's new properties, in the order given to setEntries (one for setEntry).
    std::vector<EntryProperties> results() const;
    // The values read at OK (the given ones until then).
    const AudioSettings& settings() const { return settings_; }
    const EntryProperties& properties() const { return properties_; }

    bool moreShown() const;
    void showMore(bool shown);

    void accept() override;  // OK: reads and checks the boxes; stays open on the first problem
    void fitLength();        // "Fit length...": asks for a length and sets the speed box

private:
    QLineEdit* makeBox(int id, int left, int top, QWidget* parent = nullptr);
    void createMorePart(int top);
    QLineEdit* box(AudioField field) const;
    ShapingTexts shapingTexts() const;
    void showProblem(const AudioSettingsProblem& problem);
    QChar localePoint() const;
    void acceptSeveral();
    // The texts of the seconds and pitch boxes for `item`: what was typed where the person changed
    // a box, the entry's own values elsewhere.
    ShapingTexts textsFor(const MixItem& item) const;
    ShapingChoices choicesFor(const MixItem& item) const;
    void setCommonCheck(QCheckBox* box, bool common, bool value);
    // Enables each row whose value needs a switch (the pitch needs keep pitch) while that switch
    // is not off.
    void enableNeedingRows();

    // A row of the "More" part: its property, the control that shows it (a box, a list of
    // choices or a check box) and its label (none for a check box).
    struct MoreRow {
        const EntryProperty* property = nullptr;
        QWidget* control = nullptr;
        QLabel* label = nullptr;
    };
    const MoreRow* moreRow(EntryField field) const;
    MoreRow createMoreRow(int index, const DialogUnits& units);
    // A chosen row's control as it stands: a list's index (-1 none) or a check state.
    static int choiceState(const MoreRow& row);
    // The choice it holds, if it holds one (not an empty list, not half checked).
    static std::optional<int> choiceIn(const MoreRow& row);
    void showChoice(const MoreRow& row, int choice);

    // Several entries: the entries, the controls' contents as they opened (to tell what changed)
    // and, after OK, the entries' new properties.
    std::vector<MixItem> entries_;
    ShapingTexts shownTexts_;
    QString shownVolume_;
    QString shownStart_;
    QString shownSpeed_;
    std::vector<int> shownChoices_;  // choiceState of each row, as it opened
    std::vector<EntryProperties> results_;
    QLabel* editing_ = nullptr;
    QPushButton* fit_ = nullptr;

    Desktop& desktop_;
    AudioSettings settings_;
    EntryProperties properties_;
    REFERENCE_TIME duration_ = 0;
    QLineEdit* volume_ = nullptr;
    QLineEdit* startTime_ = nullptr;
    QLineEdit* speed_ = nullptr;
    QPushButton* more_ = nullptr;
    QWidget* morePart_ = nullptr;
    std::vector<MoreRow> moreRows_;  // in the table's order
};

}  // namespace sonarel
