// SPDX-License-Identifier: GPL-3.0-or-later
// The list file: the mix list as CSV, the one format the window saves and opens and sonarel-mix
// reads. The header is "path,start_seconds,volume,speed"; each row holds one entry. A list with
// a shaped entry adds the columns of kMixListShapingHeader (and fade_curve when a fade is equal
// power, volume_points when an entry has volume points), with an empty cell wherever an entry
// keeps the default; a list without one is written
// with the four columns alone. With a header, columns are found by their names (the first four
// also by their places) and unknown ones are ignored; without one, by their places. A path that
// lies under the list's folder is written relative to it, so a folder of media with its list can
// be moved or copied to another machine whole. Start times are written as exact decimals of
// their 100-ns units and volume and speed in the shortest text that reads back as the same
// double, so saving what was opened gives the same bytes.
//
// Reading is forgiving about what people write by hand: the header may be missing, and its
// classic columns may be named otherwise (a first line is a header only when it names some
// column this reader knows; else it is the first entry). Blank lines and lines starting with '#'
// are skipped, fields may be padded, lines may end in LF, CR LF or CR, and a byte-order mark is
// ignored. Quoted fields ("a, b.wav", "" for a quote) may hold commas and line breaks. The first
// malformed record stops the reading and is named by its line; a file beyond the reader's limits
// (model/ListRecordReader.h) is refused the same way. Paths are kept as the file's bytes, UTF-8
// or not, as the file system names files.
//
// A list may also carry what it is mixed into: "#output.KEY=VALUE" lines before the header.
// Readers that know nothing of them skip them as comments, so the entries read the same. A '%',
// CR or LF in a value, and a blank at either end of it, is written as %XX (%25, %0D, %0A, %20...)
// so that every value stays on its line whole. Its ducking (model/Ducking.h) is kept the same way in
// "#duck.KEY=VALUE" lines, after the output lines, and only where it differs from the default.
#pragma once

#include <QIODevice>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "model/Ducking.h"
#include "model/EntryPropertyTable.h"
#include "model/MixItem.h"
#include "model/MixListImport.h"

namespace sonarel {

inline constexpr std::string_view kMixListHeader = "path,start_seconds,volume,speed";
// The columns that follow the four when an entry is shaped (trimmed, faded, pitched or muted),
// and the one after them when an entry's fades follow the equal-power curve.
inline constexpr std::string_view kMixListShapingHeader =
    "in_seconds,out_seconds,fade_in_seconds,fade_out_seconds,keep_pitch,pitch_semitones,muted";
inline constexpr std::string_view kMixListFadeCurveHeader = "fade_curve";
// The columns that each appear only when some entry uses them, in their order.
inline constexpr std::string_view kMixListWhenUsedHeader = "fade_curve,volume_points,duck,chapter,group";

namespace detail {

// The header the table's columns make, `set` by `set` after the path.
consteval bool headerIs(std::string_view header, ListColumn set)
{
    std::size_t at = 0;
    for (EntryField field : kListColumnOrder) {
        const std::string_view column = entryProperty(field).column;
        if (entryProperty(field).listColumn != set)
            continue;
        if (at > 0 && (at >= header.size() || header[at++] != ','))
            return false;
        if (header.substr(at, column.size()) != column)
            return false;
        at += column.size();
    }
    return at == header.size();
}

}  // namespace detail

static_assert(detail::headerIs(kMixListHeader.substr(5), ListColumn::Always) &&
              detail::headerIs(kMixListShapingHeader, ListColumn::Shaped) &&
              detail::headerIs(kMixListWhenUsedHeader, ListColumn::WhenUsed));

inline constexpr std::string_view kListOutputPrefix = "#output.";

// The output lines of a list, in their order: key (without the prefix) and value.
struct ListOutputLine {
    std::string key;
    std::string value;
    friend bool operator==(const ListOutputLine&, const ListOutputLine&) = default;
};
using ListOutputLines = std::vector<ListOutputLine>;

// Reads a list from `device` as it comes. Relative paths are taken from `listFolder`. Durations are
// left 0: they are measured when the entries are added to a list. `output`, when given, receives
// the output lines; `unknownColumns` the header's column names this reader does not know (their
// cells are ignored), for a warning; `ducking` the list's ducking (the default without "#duck."
// lines). A "#duck." line with a value out of range is refused by its line like a malformed row;
// one with a key this reader does not know is skipped. A refusal's message is short whatever the
// file holds.
bool readMixList(QIODevice& device, const std::string& listFolder, std::vector<MixItem>& entries, ImportError& error,
                 ListOutputLines* output = nullptr, std::vector<std::string>* unknownColumns = nullptr,
                 DuckSettings* ducking = nullptr);

// readMixList on CSV text.
bool parseMixListCsv(std::string_view text, const std::string& listFolder, std::vector<MixItem>& entries,
                     ImportError& error, ListOutputLines* output = nullptr,
                     std::vector<std::string>* unknownColumns = nullptr, DuckSettings* ducking = nullptr);

// The warning about unknown columns: a few of them named (shortened, bytes that are not UTF-8
// escaped), the rest counted.
std::string unknownColumnsText(const std::vector<std::string>& names);

// The CSV text of `entries`, with paths under `listFolder` written relative to it, after the
// `output` lines and the lines of `ducking` that differ from the default (none: the text is
// exactly what a list without them has always been).
std::string formatMixListCsv(const std::vector<MixItem>& entries, const std::string& listFolder,
                             const ListOutputLines& output = {}, const DuckSettings& ducking = {});

// Exact decimal seconds of a 100-ns time: 15000001 -> "1.5000001", 20000000 -> "2".
std::string secondsDecimal(REFERENCE_TIME time);

// Reads a list file. On failure `error` says why; its line is 0 when the file itself could not
// be read.
bool readMixListFile(const QString& path, std::vector<MixItem>& entries, ImportError& error,
                     ListOutputLines* output = nullptr, std::vector<std::string>* unknownColumns = nullptr,
                     DuckSettings* ducking = nullptr);

// Saves a list file atomically (the old file stays whole if anything fails). Returns an empty
// text on success, otherwise why it failed.
[[nodiscard]] QString saveMixListFile(const QString& path, const std::vector<MixItem>& entries,
                                      const ListOutputLines& output = {}, const DuckSettings& ducking = {});

}  // namespace sonarel
