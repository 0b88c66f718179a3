// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the WAV file of a mix fits where it goes, worked out before anything is written: the
// file's size is known from the entries' places and the output format, so a mix that cannot fit
// is said before it fills the disk.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/MixItem.h"
#include "platform/media/core/OutputEncoding.h"
#include "settings/WaveFormatChoice.h"

namespace sonarel {

struct OutputSpace {
    std::uint64_t neededBytes = 0;  // what the finished file occupies, in whole blocks
    std::uint64_t freeBytes = 0;    // free now, plus what deleting the old output gives back
    QString mountPoint;
    bool fits() const { return neededBytes <= freeBytes; }
};

// The size of the file the WAV writer makes of these entries: its header, every frame up to the
// end of the last usable entry (placed as the engine places it), and the pad byte of an odd data
// length. A mix past 4 GiB keeps the same header size (the reserved chunk becomes ds64). For an
// encoded file, a bound that the encoder stays under: the PCM size for FLAC, whose worst case
// stores samples as they are, and the bit rate with a margin for the lossy ones. A normalized mix
// adds its temporary float file.
std::uint64_t mixFileBytes(const MixItemStore& store, const std::vector<bool>& usable, const PcmFormat& format,
                           const media::core::OutputEncoding& encoding = {});

// The temporary float file of a normalized mix (its first pass); 0 for a mix not normalized.
std::uint64_t normalizingBytes(const MixItemStore& store, const std::vector<bool>& usable, const PcmFormat& format,
                               const media::core::OutputEncoding& encoding);

// The room for `fileBytes` written as `outputFile`; `replacing` when the existing output is
// deleted first. None when there is nothing to check: the output is a device or a FIFO, or the
// file system does not say how much is free.
std::optional<OutputSpace> outputSpaceFor(const QString& outputFile, std::uint64_t fileBytes, bool replacing);

// "1.77 MB": decimal units, three significant digits, rounded up or down. A size rounded up set
// beside one rounded down never reads as if it fitted.
QString sizeText(std::uint64_t bytes, bool roundUp);

// "The mix needs X but only Y are free on FOLDER."
QString shortOfSpaceText(const OutputSpace& space);
// The same for the temporary file of a normalized mix in `folder`.
QString temporaryShortOfSpaceText(const OutputSpace& space, const QString& folder);

}  // namespace sonarel
