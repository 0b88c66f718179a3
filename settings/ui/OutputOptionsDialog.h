// SPDX-License-Identifier: GPL-3.0-or-later
// "Set output options": the output file, the wave format, the cut-edge ramp and the encoding
// (format, bit rate, loudness normalization, dither) of the next mix.
//
// A thin view over OutputOptions.h: the constructor fills the controls from a copy of the owner's
// output settings (reading the compressor lists from the engine), Browse proposes a name with the chosen format's
// extension, and OK hands the controls to confirmOutputOptions(), which writes the profile. The video-form controls are
// created hidden and never shown; they only carry the stored values to the profile. Each control carries its number as
// object name.
#pragma once

#include <QDialog>

#include "settings/OutputSettings.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace sonarel {

class Desktop;
class ProfileStore;
struct OutputOptionsForm;
namespace media {
class MediaLibrary;
}

enum OutputOptionsControlId : int {
    kIdOptionsOk = 1,
    kIdOptionsCancel = 2,
    kIdVideoCompressorList = 1001,
    kIdAudioCompressorList = 1002,
    kIdOutputFileBox = 1022,
    kIdBrowse = 1024,
    kIdFrameSizeList = 1025,
    kIdWidthBox = 1027,
    kIdHeightBox = 1028,
    kIdFrameRateList = 1055,
    kIdFrameRateBox = 1056,
    kIdPictureFitList = 1057,
    kIdSampleRateList = 1065,
    kIdChannelsList = 1066,
    kIdBitsList = 1067,
    kIdEdgeFadeBox = 1068,
    kIdFormatList = 1069,
    kIdBitrateBox = 1070,
    kIdNormalizeCheck = 1071,
    kIdNormalizeBox = 1072,
    kIdTruePeakBox = 1073,
    kIdDitherCheck = 1074,
    kIdLimiterCheck = 1075,
};

class OutputOptionsDialog : public QDialog {
    Q_OBJECT

public:
    OutputOptionsDialog(const OutputSettings& settings, ProfileStore& profile, Desktop& desktop,
                        media::MediaLibrary& library, QWidget* parent = nullptr);

    // The settings as received, and after OK as confirmed.
    const OutputSettings& settings() const { return settings_; }

public Q_SLOTS:
    void accept() override;  // OK: may refuse and stay open
    void browse();

private:
    void createControls();
    // The steps of createControls, in tab order.
    void createOutputFileRow();
    void createWaveFormatGroup();
    void createEdgeFadeRow();
    void createEncodingGroup();
    // The format follows a typed name's extension; a chosen format changes the extension.
    void formatChosen(int index);
    void outputFileTyped(const QString& text);
    void enableEncodingControls();
    void createDialogButtons();
    void createHiddenVideoForm();
    // Controls placed in dialog units and named by their number (0: no name).
    void place(QWidget& widget, int id, int left, int top, int width, int height);
    QLabel* makeLabel(const char* text, int left, int top, int width, int height);
    QComboBox* makeList(int id, const QStringList& entries, int left, int top, int width);
    QLineEdit* makeBox(int id, int left, int top, int width, int height);
    QPushButton* makeButton(int id, const char* text, int left, int top);
    void showForm(const OutputOptionsForm& form);
    OutputOptionsForm readForm() const;

    OutputSettings settings_;
    ProfileStore& profile_;
    Desktop& desktop_;
    QLineEdit* outputFile_ = nullptr;
    QComboBox* sampleRate_ = nullptr;
    QComboBox* channels_ = nullptr;
    QComboBox* bits_ = nullptr;
    QSpinBox* edgeFade_ = nullptr;
    QComboBox* format_ = nullptr;
    QSpinBox* bitrate_ = nullptr;
    QCheckBox* normalize_ = nullptr;
    QDoubleSpinBox* normalizeLufs_ = nullptr;
    QDoubleSpinBox* truePeak_ = nullptr;
    QCheckBox* dither_ = nullptr;
    QCheckBox* limiter_ = nullptr;
    QComboBox* frameRateList_ = nullptr;
    QLineEdit* frameRate_ = nullptr;
    QLineEdit* width_ = nullptr;
    QLineEdit* height_ = nullptr;
    QComboBox* pictureFit_ = nullptr;
    QComboBox* videoCompressors_ = nullptr;
    QComboBox* audioCompressors_ = nullptr;
};

}  // namespace sonarel
