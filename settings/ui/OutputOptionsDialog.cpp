// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/OutputOptionsDialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "controls/ControlIds.h"
#include "controls/DialogUnits.h"
#include "settings/FrameRateTable.h"
#include "settings/OutputOptions.h"

namespace sonarel {

namespace {

constexpr int kDialogWidth = 249;
constexpr int kDialogHeight = 145;
constexpr int kButtonTop = 124;
constexpr int kListHeight = 12;  // a closed drop-down list

QStringList frameRateTexts()
{
    QStringList texts;
    for (const FrameRateEntry& entry : FrameRateTable)
        texts << QString::fromLatin1(entry.listText);
    return texts;
}

// The label's control: its buddy, named for screen readers by the label without the colon.
void labelControl(QLabel& label, QWidget& control)
{
    label.setBuddy(&control);
    control.setAccessibleName(label.text().chopped(1));
}

}  // namespace

OutputOptionsDialog::OutputOptionsDialog(const OutputSettings& settings, ProfileStore& profile, Desktop& desktop,
                                         media::MediaLibrary& library, QWidget* parent)
    : QDialog(parent), settings_(settings), profile_(profile), desktop_(desktop)
{
    setObjectName(QStringLiteral("129"));
    setWindowTitle(QStringLiteral("Set output options"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    createControls();
    showForm(initialOutputOptions(settings_, library, desktop_));
}

void OutputOptionsDialog::createControls()
{
    const DialogUnits units(font());
    setFixedSize(units.x(kDialogWidth), units.y(kDialogHeight));
    // Created in tab order: the output file box is the first stop and gets the focus.
    createOutputFileRow();
    createWaveFormatGroup();
    createEdgeFadeRow();
    createDialogButtons();
    createHiddenVideoForm();
}

void OutputOptionsDialog::createOutputFileRow()
{
    QLabel* fileLabel = makeLabel("Output file:", 7, 10, 39, 10);
    outputFile_ = makeBox(kIdOutputFileBox, 56, 7, 141, 14);
    labelControl(*fileLabel, *outputFile_);
    QPushButton* browseButton = makeButton(kIdBrowse, "Browse", 208, 7);
    connect(browseButton, &QPushButton::clicked, this, &OutputOptionsDialog::browse);
}

void OutputOptionsDialog::createWaveFormatGroup()
{
    auto* waveFormat = new QGroupBox(QStringLiteral("Wave format"), this);
    place(*waveFormat, 0, 7, 26, 207, 72);
    QLabel* rateLabel = makeLabel("Samples per second (Hz):", 16, 38, 106, 12);
    sampleRate_ = makeList(kIdSampleRateList,
                           {QStringLiteral("44100"), QStringLiteral("22050"), QStringLiteral("11025"),
                            QStringLiteral("8000")},
                           134, 38, 62);
    labelControl(*rateLabel, *sampleRate_);
    QLabel* channelsLabel = makeLabel("Channels:", 16, 58, 106, 12);
    channels_ = makeList(kIdChannelsList, {QStringLiteral("Stereo"), QStringLiteral("Mono")}, 134, 58, 62);
    labelControl(*channelsLabel, *channels_);
    QLabel* bitsLabel = makeLabel("Bits per second:", 16, 78, 106, 12);
    bits_ = makeList(kIdBitsList, {QStringLiteral("16"), QStringLiteral("8")}, 134, 78, 62);
    labelControl(*bitsLabel, *bits_);
}

// Below the wave format: the short ramp on an entry's edge that cuts into its file's sound.
void OutputOptionsDialog::createEdgeFadeRow()
{
    QLabel* label = makeLabel("&Fade cut edges:", 16, 105, 106, 12);
    edgeFade_ = new QSpinBox(this);
    edgeFade_->setRange(0, kLongestEdgeFadeMs);
    edgeFade_->setAlignment(Qt::AlignRight);
    place(*edgeFade_, kIdEdgeFadeBox, 134, 103, 40, kListHeight);
    label->setBuddy(edgeFade_);
    edgeFade_->setAccessibleName(QStringLiteral("Fade cut edges in milliseconds"));
    edgeFade_->setAccessibleDescription(
        QStringLiteral("A short ramp where an entry is cut into its sound, so that the cut does not click"));
    makeLabel("ms", 178, 105, 16, 12);
}

void OutputOptionsDialog::createDialogButtons()
{
    QPushButton* ok = makeButton(kIdOptionsOk, "OK", 52, kButtonTop);
    ok->setDefault(true);
    QPushButton* cancel = makeButton(kIdOptionsCancel, "Cancel", 147, kButtonTop);
    connect(ok, &QPushButton::clicked, this, &OutputOptionsDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &OutputOptionsDialog::reject);
}

// The video-form block: small, in the bottom-left corner, and never shown.
void OutputOptionsDialog::createHiddenVideoForm()
{
    constexpr int kHiddenTop = kDialogHeight - 8;
    frameRateList_ = makeList(kIdFrameRateList, frameRateTexts(), 0, kHiddenTop, 4);
    frameRate_ = makeBox(kIdFrameRateBox, 4, kHiddenTop, 4, 4);
    QComboBox* frameSize = makeList(kIdFrameSizeList,
                                    {QStringLiteral("800*600"), QStringLiteral("640*480"), QStringLiteral("720 * 576"),
                                     QStringLiteral("720 * 480"), QStringLiteral("480*576"), QStringLiteral("480*480"),
                                     QStringLiteral("352 * 288"), QStringLiteral("352 * 240"),
                                     QStringLiteral("Custom Size")},
                                    8, kHiddenTop, 4);
    width_ = makeBox(kIdWidthBox, 12, kHiddenTop, 4, 4);
    height_ = makeBox(kIdHeightBox, 16, kHiddenTop, 4, 4);
    pictureFit_ = makeList(kIdPictureFitList, {QStringLiteral("Preserve aspect ratio"), QStringLiteral("Stretch")}, 20,
                           kHiddenTop, 4);
    videoCompressors_ = makeList(kIdVideoCompressorList, {}, 24, kHiddenTop, 4);
    audioCompressors_ = makeList(kIdAudioCompressorList, {}, 28, kHiddenTop, 4);
    for (QWidget* hidden : std::initializer_list<QWidget*>{frameRateList_, frameSize, width_, height_, frameRate_,
                                                           pictureFit_, videoCompressors_, audioCompressors_})
        hidden->hide();
}

void OutputOptionsDialog::place(QWidget& widget, int id, int left, int top, int width, int height)
{
    if (id != 0)
        widget.setObjectName(objectNameOf(id));
    widget.setGeometry(DialogUnits(font()).toPixels(left, top, width, height));
}

QLabel* OutputOptionsDialog::makeLabel(const char* text, int left, int top, int width, int height)
{
    auto* made = new QLabel(QString::fromUtf8(text), this);
    place(*made, 0, left, top, width, height);
    return made;
}

QComboBox* OutputOptionsDialog::makeList(int id, const QStringList& entries, int left, int top, int width)
{
    auto* made = new QComboBox(this);
    made->addItems(entries);
    place(*made, id, left, top, width, kListHeight);
    return made;
}

QLineEdit* OutputOptionsDialog::makeBox(int id, int left, int top, int width, int height)
{
    auto* made = new QLineEdit(this);
    place(*made, id, left, top, width, height);
    return made;
}

QPushButton* OutputOptionsDialog::makeButton(int id, const char* text, int left, int top)
{
    auto* made = new QPushButton(QString::fromUtf8(text), this);
    place(*made, id, left, top, id == kIdBrowse ? 34 : 50, 14);
    return made;
}

void OutputOptionsDialog::showForm(const OutputOptionsForm& form)
{
    outputFile_->setText(form.outputFile);
    width_->setText(form.widthText);
    height_->setText(form.heightText);
    frameRate_->setText(form.frameRateText);
    frameRateList_->setCurrentIndex(form.frameRateIndex);
    videoCompressors_->addItems(form.videoCompressors);
    videoCompressors_->setCurrentIndex(form.videoCompressorIndex);
    audioCompressors_->addItems(form.audioCompressors);
    audioCompressors_->setCurrentIndex(form.audioCompressorIndex);
    pictureFit_->setCurrentIndex(form.pictureFitIndex);
    sampleRate_->setCurrentIndex(form.sampleRateIndex);
    channels_->setCurrentIndex(form.channelsIndex);
    bits_->setCurrentIndex(form.bitsIndex);
    edgeFade_->setValue(form.edgeFadeMs);
    outputFile_->selectAll();  // the first stop gets the focus: typing replaces the whole name
}

OutputOptionsForm OutputOptionsDialog::readForm() const
{
    OutputOptionsForm form;
    form.outputFile = outputFile_->text();
    form.sampleRateIndex = sampleRate_->currentIndex();
    form.channelsIndex = channels_->currentIndex();
    form.bitsIndex = bits_->currentIndex();
    form.edgeFadeMs = edgeFade_->value();
    form.frameRateIndex = frameRateList_->currentIndex();
    form.frameRateText = frameRate_->text();
    form.widthText = width_->text();
    form.heightText = height_->text();
    form.pictureFitIndex = pictureFit_->currentIndex();
    form.videoCompressorIndex = videoCompressors_->currentIndex();
    form.audioCompressorIndex = audioCompressors_->currentIndex();
    return form;
}

void OutputOptionsDialog::accept()
{
    switch (confirmOutputOptions(readForm(), settings_, profile_, desktop_)) {
    case OutputOptionsOutcome::Accepted: QDialog::accept(); return;
    case OutputOptionsOutcome::OutputFileTooLong:
        outputFile_->setFocus();
        outputFile_->selectAll();
        return;
    case OutputOptionsOutcome::FrameRateTooSmall: return;  // its box is hidden: the person can only cancel, as before
    }
}

void OutputOptionsDialog::browse()
{
    // Starts from the file the dialog received, whatever the box holds now.
    const QString name = browseOutputFile(settings_.outputFile, desktop_);
    if (!name.isNull())
        outputFile_->setText(name);
}

}  // namespace sonarel
