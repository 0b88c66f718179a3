// SPDX-License-Identifier: GPL-3.0-or-later
// --match-loudness LUFS and --trim-silence[=DB]: each entry's volume or trim set from its sound
// before the mix (or the dry run, or playing), as the window's Match Loudness and Trim Silence do.
#pragma once

#include <QCommandLineParser>
#include <QStringList>
#include <cstdio>
#include <functional>
#include <optional>

#include "app/cli/MixOptions.h"
#include "model/MixItem.h"

namespace sonarel {

// QCommandLineParser knows no option whose value may be left out: `--trim-silence=DB` is taken out
// of `arguments` here and its value kept in `threshold` (the text as given), leaving the bare flag.
void takeTrimSilenceValue(QStringList& arguments, std::optional<QString>& threshold);

// Reads --match-loudness and --trim-silence into `options`; false after saying what is wrong.
bool readLevelOptions(const QCommandLineParser& parser, const OptionDefinitions& defined,
                      const std::optional<QString>& trimThreshold, MixOptions& options);

// Trims, then matches, the store's mixed entries as the options ask; one line per changed entry
// on `report` (null: none), and one warning naming the entries left as they were. False when
// `interrupted` ended the scan (after saying so).
bool applyLevelOptions(const MixOptions& options, MixItemStore& store, std::FILE* report,
                       const std::function<bool()>& interrupted);

}  // namespace sonarel
