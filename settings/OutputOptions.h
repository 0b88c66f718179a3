// SPDX-License-Identifier: GPL-3.0-or-later
// The output options without a window: what the dialog's controls hold, how they are filled from
// the output settings, what OK checks and writes, and how a name chosen with Browse becomes the
// output file. OutputOptionsDialog is a thin view over these; tests drive either.
//
// The dialog keeps a block of video-form values (frame rate, frame size, picture fit, compressor
// choice) that no mix uses: they are carried from the settings to the profile at every OK, and
// the two compressor lists are read from the media engine each time the dialog opens.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

#include "platform/media/services/CompressorEnumerator.h"
#include "settings/OutputSettings.h"

namespace sonarel {

class Desktop;
class ProfileStore;
namespace media {
class MediaLibrary;
}

inline const QString kFirstVideoCompressor = QStringLiteral("Full frames (uncompressed)");
inline const QString kFirstAudioCompressor = QStringLiteral("Uncompressed Audio");
inline const QString kFrameRateTooSmall = QStringLiteral("The frame rate is too small!");
inline constexpr double kSmallestFrameRate = 0.001;
inline constexpr double kDefaultNormalizeLufs = -16.0;
inline constexpr double kDefaultTruePeakCeilingDbtp = -1.0;
// The bits list: the two plain choices first, then 24 bits and 32-bit float.
inline constexpr int kBitsChoices[] = {16, 8, 24, 32};

// The content of every control of the dialog: texts of the boxes, selected positions of the lists.
struct OutputOptionsForm {
    QString outputFile;
    int sampleRateIndex = 0;  // in kAllSampleRates
    int channelsIndex = 0;
    int bitsIndex = 0;                    // in kBitsChoices
    int edgeFadeMs = kDefaultEdgeFadeMs;  // "Fade cut edges"
    int formatIndex = 0;                  // in media::core::allContainers()
    int bitrateKbps = 0;                  // as shown; a lossless format has none
    bool normalize = false;
    double normalizeLufs = kDefaultNormalizeLufs;
    double truePeakCeilingDbtp = kDefaultTruePeakCeilingDbtp;
    bool limiter = true;  // "Limit the peaks to reach the target"
    bool dither = false;
    // The hidden video-form block.
    int frameRateIndex = 0;
    QString frameRateText;
    QString widthText;
    QString heightText;
    int pictureFitIndex = 0;  // 0 preserve aspect ratio, 1 stretch
    QStringList videoCompressors;
    QStringList audioCompressors;
    int videoCompressorIndex = 0;
    int audioCompressorIndex = 0;
};

// A compressor list: its first entry, then the engine's encoders of the category. When the
// engine cannot enumerate, the person is told ("Failed to create system enumerator" or "Failed to
// create class enumerator") and the list keeps its first entry only.
QStringList compressorList(media::CompressorCategory category, media::MediaLibrary& library, Desktop& desktop);

// The controls as the dialog opens with `settings`; fills both compressor lists.
OutputOptionsForm initialOutputOptions(const OutputSettings& settings, media::MediaLibrary& library, Desktop& desktop);

enum class OutputOptionsOutcome {
    Accepted,
    FrameRateTooSmall,  // told; nothing written
    OutputFileTooLong,  // told; nothing written
};

// OK: checks the form, then writes the profile values in their fixed order and sets `settings`
// from the form. A refused OK tells the person why and changes neither the profile nor `settings`.
OutputOptionsOutcome confirmOutputOptions(const OutputOptionsForm& form, OutputSettings& settings,
                                          ProfileStore& profile, Desktop& desktop);

// What the owner takes back from a confirmed dialog: the output file, the wave format, the
// encoding, loudness and dither choices and the cut-edge ramp. A file other than the one the
// owner had is the user's choice, no longer a list's suggestion.
void copyBackOutputOptions(OutputSettings& owner, const OutputSettings& confirmed);

// Browse: asks for a file name of `format`, starting in the folder of `receivedOutputFile` with its
// name (given the format's extension) proposed; the
// new text of the output file box (with the format's extension), or a null string when the
// person cancelled.
QString browseOutputFile(const QString& receivedOutputFile, Desktop& desktop,
                         media::core::OutputContainer format = media::core::OutputContainer::Wav);

// The name's extension (from the last "." of its file-name part) replaced by ".wav"; a dot in a
// folder name is not an extension.
QString withWavExtension(const QString& path);
// The same with `extension` (with its dot).
QString withExtension(const QString& path, const QString& extension);

// The position in allContainers() of the format a typed name's extension names, or -1 when the
// extension names none (or there is none).
int formatIndexOfName(const QString& path);
// The bit rate the box shows for the format at `formatIndex`: its default, 0 for lossless ones.
int defaultBitrateOf(int formatIndex);

// A stored frame size: truncated toward zero to a multiple of 8, at least 16.
std::int32_t frameSizeToStore(std::int32_t pixels);

}  // namespace sonarel
