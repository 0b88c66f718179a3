// SPDX-License-Identifier: GPL-3.0-or-later
// The output-related values of the current run, owned by the main window.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "model/MixListFile.h"
#include "platform/media/core/OutputEncoding.h"

namespace sonarel {

class Desktop;
class ProfileStore;

// Profile sections and keys.
namespace profile {
inline const QString kSettings = QStringLiteral("Settings");
inline const QString kVideoCompress = QStringLiteral("DexVideoCompress");
inline const QString kAudioCompress = QStringLiteral("DexAudioCompress");
inline const QString kOption = QStringLiteral("Option");
inline const QString kOutputName = QStringLiteral("OutputName");
inline const QString kOutputWidth = QStringLiteral("OutputWidth");
inline const QString kOutputHigh = QStringLiteral("OutputHigh");
inline const QString kOutputFrameRateIndex = QStringLiteral("OutputFrameRateIndex");
inline const QString kOutputFrameRate = QStringLiteral("OutputFrameRate");
inline const QString kCompressorNumber = QStringLiteral("CompressorNumber");
inline const QString kLastAudioFolder = QStringLiteral("LastAudioFolder");
inline const QString kEdgeFade = QStringLiteral("EdgeFade");
}  // namespace profile

inline const QString kOutputFileName = QStringLiteral("audio_mix.wav");
inline constexpr std::int32_t kDefaultOutputWidth = 352;
inline constexpr std::int32_t kDefaultOutputHeight = 240;
inline constexpr std::int32_t kDefaultEdgeFadeMs = 5;
inline constexpr std::int32_t kLongestEdgeFadeMs = 10;

struct OutputSettings {
    QString outputFile;  // the WAV file a mix writes
    std::int32_t outputWidth = kDefaultOutputWidth;
    std::int32_t outputHeight = kDefaultOutputHeight;
    double frameRate = 23.976;
    std::int32_t frameRateIndex = 0;
    std::int32_t resizeMode = 2;  // 2 preserve aspect ratio, 0 stretch
    // Wave format: positions in the lists "44100/22050/11025/8000", "Stereo/Mono", "16/8".
    // Not in the profile: every run starts with 44100 Hz, stereo, 16 bits (a saved list keeps them).
    std::int32_t sampleRateIndex = 0;
    std::int32_t channelsIndex = 0;
    std::int32_t bitsIndex = 0;
    // Beyond the three lists (the Options dialog's further choices and the command line); not in
    // the profile either. A rate of 8000..192000 Hz instead of sampleRateIndex's when not 0; 24 or
    // 32 (float) bits instead of bitsIndex's when not 0.
    std::uint32_t sampleRate = 0;
    std::int32_t sampleBits = 0;
    // The kind of file: none takes it from the output file's extension (no extension: WAV).
    std::optional<media::core::OutputContainer> outputFormat;
    std::int32_t bitrateKbps = 0;         // lossy formats; 0: the format's default
    std::optional<double> normalizeLufs;  // the integrated loudness to write the mix at
    double truePeakCeilingDbtp = -1.0;    // what normalization keeps the true peak under
    // Normalization reaches its target with a limiter that holds the peaks at the ceiling; off,
    // the ceiling holds the gain instead.
    bool limiter = true;
    std::optional<double> limitDbtp;  // without normalization: the limiter alone, at this ceiling
    bool dither = false;              // TPDF dither before integer samples
    // The ramp, in milliseconds (0 to 10), on an entry's edge that cuts into its file's sound.
    std::int32_t edgeFadeMs = kDefaultEdgeFadeMs;
    // outputFile came from a list that was opened, not from the user (the default, Output Options,
    // Browse, -o): a list from someone else only suggests where its mix goes. No folder is made for
    // such a name, and a file of that name is replaced only once the user accepted it.
    bool outputNamedByList = false;
    bool listOutputAccepted = false;
    // Besides the mix, one file per group of entries goes to this folder (--stems, File > Mix
    // Stems); empty: none. Chosen for one mix only: never in the profile or a list.
    QString stemsFolder;
};

// What a saved list remembers of its output, as its "#output." lines: file, format, rate,
// channels, bits, bitrate (lossy formats only), normalize (LUFS, or "off"), true_peak and dither;
// limiter (only when "off") and limit (only when set).
ListOutputLines listOutputLinesOf(const OutputSettings& settings);
// Copies into `into` what a list keeps of its output (the values of listOutputLinesOf), with
// whether its file was named by a list and accepted; the rest of `into` stays.
void takeListOutput(const OutputSettings& from, OutputSettings& into);
// Takes the lines it knows into `settings`; a line with an unknown key or a value out of range
// is passed over, so a hand-edited list still opens. The file line is a suggestion to be checked:
// a relative name is taken from `listFolder` (empty for a list without a folder, such as one on
// standard input, whose relative names are refused), and a name without a known output
// extension, with a control character, or with a shell's "~" or "$NAME" is refused; `refusal`
// then says which line and why, and the output file stays as it was. A file taken is marked as
// named by the list. The file's extension says the format (as the Options dialog has it). The
// number of lines taken.
int applyListOutputLines(const ListOutputLines& lines, const std::string& listFolder, OutputSettings& settings,
                         QString* refusal = nullptr);

// Why `name` cannot be an output file name: it holds a control character (a NUL among them),
// which would make the name opened differ from the name shown. Empty when it can.
QString outputNameProblem(const QString& name);

// The cut-edge ramp as stored ("EdgeFade" in "Settings"): kept within 0..kLongestEdgeFadeMs; a
// missing or unreadable value is the default.
std::int32_t readEdgeFadeMs(const ProfileStore& profile);
void writeEdgeFadeMs(ProfileStore& profile, std::int32_t milliseconds);

// The plain output default: the home folder followed by "/audio_mix.wav".
QString plainOutputDefault();

// Reads a path from the profile whose default lies in the user's music folder: the music folder
// followed by the default's last component. When there is no music folder the person is told
// ("Can not get My Music directory!", caption "Error") and the plain default is used.
// `musicFolder` empty means the lookup failed.
QString ReadProfilePathInMusicFolder(const ProfileStore& profile, const QString& section, const QString& key,
                                     const QString& plainDefault, const QString& musicFolder, Desktop& desktop);

// The user's music folder, or empty when the platform has none.
QString musicFolderLocation();

// The start-up load: output file, frame size, frame rate and the cut-edge ramp. A stored output name too long for a
// path is refused in favour of the default.
OutputSettings loadOutputSettings(const ProfileStore& profile, const QString& musicFolder, Desktop& desktop);

}  // namespace sonarel
