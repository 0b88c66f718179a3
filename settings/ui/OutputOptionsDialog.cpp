// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/OutputOptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

#include "controls/ControlIds.h"
#include "controls/DialogUnits.h"
#include "settings/FrameRateTable.h"
#include "settings/OutputOptions.h"
#include "settings/WaveFormatChoice.h"

namespace sonarel {

namespace {

constexpr int kDialogWidth = 249;
constexpr int kDialogHeight = 241;
constexpr int kButtonTop = 220;
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

QStringList rateTexts()
{
    QStringList texts;
    for (std::uint32_t rate : kAllSampleRates)
        texts << QString::number(rate);
    return texts;
}

QStringList formatTexts()
{
    QStringList texts;
    for (const media::core::ContainerInfo& info : media::core::allContainers())
        texts << QStringLiteral("%1 (%2)").arg(QString::fromLatin1(info.title), QString::fromLatin1(info.extension));
    return texts;
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
    createEncodingGroup();
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
    sampleRate_ = makeList(kIdSampleRateList, rateTexts(), 134, 38, 62);
    labelControl(*rateLabel, *sampleRate_);
    QLabel* channelsLabel = makeLabel("Channels:", 16, 58, 106, 12);
    channels_ = makeList(kIdChannelsList, {QStringLiteral("Stereo"), QStringLiteral("Mono")}, 134, 58, 62);
    labelControl(*channelsLabel, *channels_);
    QLabel* bitsLabel = makeLabel("Bits per second:", 16, 78, 106, 12);
    bits_ = makeList(kIdBitsList,
                     {QStringLiteral("16"), QStringLiteral("8"), QStringLiteral("24"), QStringLiteral("32 (float)")},
                     134, 78, 62);
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

// Below the ramp: the kind of file and what is done to the mix before it is written.
void OutputOptionsDialog::createEncodingGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Encoding"), this);
    place(*group, 0, 7, 120, 207, 94);
    QLabel* formatLabel = makeLabel("F&ormat:", 16, 132, 106, 12);
    format_ = makeList(kIdFormatList, formatTexts(), 134, 132, 74);
    formatLabel->setBuddy(format_);
    format_->setAccessibleName(QStringLiteral("Format"));
    QLabel* bitrateLabel = makeLabel("Bit rate (kbit/s):", 16, 148, 106, 12);
    bitrate_ = new QSpinBox(this);
    bitrate_->setRange(0, 512);
    bitrate_->setSpecialValueText(QStringLiteral("-"));  // 0: lossless formats have none
    bitrate_->setAlignment(Qt::AlignRight);
    place(*bitrate_, kIdBitrateBox, 134, 146, 40, kListHeight);
    labelControl(*bitrateLabel, *bitrate_);

    normalize_ = new QCheckBox(QStringLiteral("&Normalize to"), this);
    place(*normalize_, kIdNormalizeCheck, 16, 164, 106, 12);
    normalizeLufs_ = new QDoubleSpinBox(this);
    normalizeLufs_->setRange(-70.0, 0.0);
    normalizeLufs_->setDecimals(1);
    normalizeLufs_->setAlignment(Qt::AlignRight);
    place(*normalizeLufs_, kIdNormalizeBox, 134, 162, 40, kListHeight);
    normalizeLufs_->setAccessibleName(QStringLiteral("Normalize to LUFS"));
    makeLabel("LUFS", 178, 164, 30, 12);
    QLabel* peakLabel = makeLabel("True-peak ceiling:", 28, 180, 94, 12);
    truePeak_ = new QDoubleSpinBox(this);
    truePeak_->setRange(-20.0, 0.0);
    truePeak_->setDecimals(1);
    truePeak_->setAlignment(Qt::AlignRight);
    place(*truePeak_, kIdTruePeakBox, 134, 178, 40, kListHeight);
    labelControl(*peakLabel, *truePeak_);
    makeLabel("dBTP", 178, 180, 30, 12);
    limiter_ = new QCheckBox(QStringLiteral("&Limit the peaks to reach the target"), this);
    place(*limiter_, kIdLimiterCheck, 28, 192, 178, 10);
    limiter_->setAccessibleDescription(
        QStringLiteral("Where the target would take the true peak over the ceiling, a limiter lowers the loudest "
                       "peaks; unticked, the ceiling holds the mix below the target"));
    dither_ = new QCheckBox(QStringLiteral("&Dither before integer samples"), this);
    place(*dither_, kIdDitherCheck, 16, 204, 190, 10);

    connect(format_, &QComboBox::activated, this, &OutputOptionsDialog::formatChosen);
    connect(outputFile_, &QLineEdit::textEdited, this, &OutputOptionsDialog::outputFileTyped);
    connect(normalize_, &QCheckBox::toggled, this, &OutputOptionsDialog::enableEncodingControls);
}

void OutputOptionsDialog::formatChosen(int index)
{
    const auto& containers = media::core::allContainers();
    if (index < 0 || static_cast<std::size_t>(index) >= containers.size())
        return;
    const QString extension = QString::fromLatin1(containers[static_cast<std::size_t>(index)].extension);
    if (!outputFile_->text().isEmpty())
        outputFile_->setText(withExtension(outputFile_->text(), extension));
    bitrate_->setValue(defaultBitrateOf(index));
    enableEncodingControls();
}

void OutputOptionsDialog::outputFileTyped(const QString& text)
{
    const int index = formatIndexOfName(text);
    if (index < 0 || index == format_->currentIndex())
        return;
    format_->setCurrentIndex(index);
    bitrate_->setValue(defaultBitrateOf(index));
    enableEncodingControls();
}

void OutputOptionsDialog::enableEncodingControls()
{
    bitrate_->setEnabled(defaultBitrateOf(format_->currentIndex()) != 0);
    normalizeLufs_->setEnabled(normalize_->isChecked());
    truePeak_->setEnabled(normalize_->isChecked());
    limiter_->setEnabled(normalize_->isChecked());
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
    format_->setCurrentIndex(form.formatIndex);
    bitrate_->setValue(form.bitrateKbps);
    normalize_->setChecked(form.normalize);
    normalizeLufs_->setValue(form.normalizeLufs);
    truePeak_->setValue(form.truePeakCeilingDbtp);
    limiter_->setChecked(form.limiter);
    dither_->setChecked(form.dither);
    enableEncodingControls();
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
    form.formatIndex = format_->currentIndex();
    form.bitrateKbps = bitrate_->isEnabled() ? bitrate_->value() : 0;
    form.normalize = normalize_->isChecked();
    form.normalizeLufs = normalizeLufs_->value();
    form.truePeakCeilingDbtp = truePeak_->value();
    form.limiter = limiter_->isChecked();
    form.dither = dither_->isChecked();
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
    const auto& containers = media::core::allContainers();
    const auto index = static_cast<std::size_t>(std::max(format_->currentIndex(), 0));
    const QString name = browseOutputFile(settings_.outputFile, desktop_,
                                          index < containers.size() ? containers[index].container
                                                                    : media::core::OutputContainer::Wav);
    if (!name.isNull())
        outputFile_->setText(name);
}

}  // namespace sonarel
