// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/TagsDialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/Desktop.h"
#include "platform/MessageText.h"
#include "platform/NativePath.h"

namespace sonarel {

namespace {

using media::core::TagField;

constexpr int kPictureSide = 96;  // pixels

struct TagRow {
    TagField field;
    const char* label;
    const char* hint;
};

constexpr TagRow kRows[] = {
    {TagField::Title, "&Title:", ""},     {TagField::Artist, "A&rtist:", ""},
    {TagField::Album, "Al&bum:", ""},     {TagField::Date, "&Date:", "YYYY, YYYY-MM or YYYY-MM-DD"},
    {TagField::Genre, "&Genre:", ""},     {TagField::Track, "Trac&k:", "N or N/M"},
    {TagField::Comment, "&Comment:", ""},
};

}  // namespace

TagsDialog::TagsDialog(Desktop& desktop, const ListTags& tags, QWidget* parent)
    : QDialog(parent), desktop_(desktop), tags_(tags)
{
    setWindowTitle(QStringLiteral("Tags"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    auto* grid = new QGridLayout;
    int row = 0;
    for (const TagRow& tagRow : kRows) {
        const auto name = QString::fromLatin1(media::core::kTagFields[static_cast<std::size_t>(tagRow.field)].name);
        auto* box = new QLineEdit(QString::fromStdString(tags.value(tagRow.field)), this);
        box->setObjectName(name);
        box->setAccessibleName(name.left(1).toUpper() + name.mid(1));
        box->setPlaceholderText(QString::fromLatin1(tagRow.hint));
        box->setMinimumWidth(260);
        auto* label = new QLabel(QString::fromLatin1(tagRow.label), this);
        label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        boxes_[static_cast<std::size_t>(tagRow.field)] = box;
        ++row;
    }

    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("cover"));
    picture_->setFixedSize(kPictureSide, kPictureSide);
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setFrameShape(QFrame::StyledPanel);
    picture_->setWordWrap(true);
    auto* choose = new QPushButton(QStringLiteral("Choose &Picture..."), this);
    choose->setObjectName(QStringLiteral("chooseCover"));
    choose->setAutoDefault(false);
    remove_ = new QPushButton(QStringLiteral("R&emove Picture"), this);
    remove_->setObjectName(QStringLiteral("removeCover"));
    remove_->setAutoDefault(false);
    connect(choose, &QPushButton::clicked, this, &TagsDialog::chooseCover);
    connect(remove_, &QPushButton::clicked, this, &TagsDialog::removeCover);
    auto* coverButtons = new QVBoxLayout;
    coverButtons->addWidget(choose);
    coverButtons->addWidget(remove_);
    coverButtons->addStretch();
    auto* coverRow = new QHBoxLayout;
    coverRow->addWidget(picture_);
    coverRow->addLayout(coverButtons);
    coverRow->addStretch();
    grid->addWidget(new QLabel(QStringLiteral("Cover:"), this), row, 0, Qt::AlignTop);
    grid->addLayout(coverRow, row, 1);
    ++row;
    auto* note = new QLabel(QStringLiteral("A PNG or JPEG picture of at most 16 MiB. WAV files keep the tags but not "
                                           "the picture."),
                            this);
    note->setWordWrap(true);
    grid->addWidget(note, row, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TagsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TagsDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    showCover();
    boxes_[0]->setFocus();
}

void TagsDialog::showCover()
{
    remove_->setEnabled(!tags_.coverPath.empty());
    picture_->setToolTip(pathFromBytes(tags_.coverPath));
    picture_->setAccessibleName(
        tags_.coverPath.empty()
            ? QStringLiteral("No cover picture")
            : QStringLiteral("Cover picture %1").arg(QFileInfo(pathFromBytes(tags_.coverPath)).fileName()));
    if (tags_.coverPath.empty()) {
        picture_->setPixmap({});
        picture_->setText(QStringLiteral("No picture"));
        return;
    }
    media::core::OutputTags read;
    QPixmap pixmap;
    if (!media::core::readCoverImage(tags_.coverPath, read).empty() ||
        !pixmap.loadFromData(read.cover.data(), static_cast<uint>(read.cover.size()))) {
        // A list from another machine may name a picture that is not here: it stays named.
        picture_->setPixmap({});
        picture_->setText(QStringLiteral("Not found"));
        return;
    }
    picture_->setPixmap(pixmap.scaled(kPictureSide - 4, kPictureSide - 4, Qt::KeepAspectRatio,
                                      Qt::SmoothTransformation));
}

void TagsDialog::chooseCover()
{
    FileDialogRequest request;
    request.title = QStringLiteral("Choose Cover Picture");
    if (!tags_.coverPath.empty())
        request.initialFolder = QFileInfo(pathFromBytes(tags_.coverPath)).absolutePath();
    request.filters = {{QStringLiteral("Pictures (*.png;*.jpg;*.jpeg)"),
                        {QStringLiteral("*.png"), QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")}},
                       {QStringLiteral("All files (*.*)"), {QStringLiteral("*")}}};
    const QStringList chosen = desktop_.chooseFilesToOpen(request);
    if (chosen.isEmpty())
        return;
    const std::string path = pathBytes(QFileInfo(chosen.first()).absoluteFilePath());
    media::core::OutputTags read;
    if (const std::string problem = media::core::readCoverImage(path, read); !problem.empty()) {
        desktop_.showAppMessage(QStringLiteral("%1 cannot be the cover picture: %2.")
                                    .arg(nameInMessage(chosen.first()), QString::fromStdString(problem)));
        return;
    }
    tags_.coverPath = path;
    showCover();
}

void TagsDialog::removeCover()
{
    tags_.coverPath.clear();
    showCover();
    boxes_[0]->setFocus();  // the focused button is now disabled
}

void TagsDialog::accept()
{
    ListTags read = tags_;
    for (const TagRow& tagRow : kRows) {
        QLineEdit* box = boxes_[static_cast<std::size_t>(tagRow.field)];
        const std::string value = box->text().toStdString();
        if (const std::string problem = media::core::tagValueProblem(tagRow.field, value); !problem.empty()) {
            QString why = QString::fromStdString(problem);
            why[0] = why[0].toUpper();
            desktop_.showAppMessage(why + QLatin1Char('.'));
            box->setFocus(Qt::OtherFocusReason);
            box->selectAll();
            return;
        }
        read.value(tagRow.field) = value;
    }
    tags_ = read;
    QDialog::accept();
}

}  // namespace sonarel
