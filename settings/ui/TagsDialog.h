// SPDX-License-Identifier: GPL-3.0-or-later
// "Tags...": the title, artist, album, date, genre, track and comment that the mix's file carries,
// and its cover picture, shown small, with buttons to choose and remove it. A picture that cannot
// be a cover, and a value that cannot be its tag, are told through the desktop interface; the
// picture stays as it was and the value's box keeps the focus.
#pragma once

#include <QDialog>
#include <array>

#include "model/ListTags.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace sonarel {

class Desktop;

class TagsDialog : public QDialog {
    Q_OBJECT

public:
    TagsDialog(Desktop& desktop, const ListTags& tags, QWidget* parent = nullptr);

    const ListTags& tags() const { return tags_; }  // after OK: the values read

    void accept() override;

private:
    void chooseCover();
    void removeCover();
    void showCover();

    Desktop& desktop_;
    ListTags tags_;
    std::array<QLineEdit*, media::core::kTagFieldCount> boxes_{};
    QLabel* picture_ = nullptr;
    QPushButton* remove_ = nullptr;
};

}  // namespace sonarel
