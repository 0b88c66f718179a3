// SPDX-License-Identifier: GPL-3.0-or-later
// The standard streams as the mixer's input and output: "-" names them, so that sonarel-mix can
// take its list from a pipe and hand its WAV file to one.
#pragma once

#include <QString>
#include <cstddef>
#include <string>

namespace sonarel {

// The argument that names standard input (--csv) or standard output (-o).
inline constexpr char kStandardStreamName[] = "-";
// The path the engine writes standard output through.
inline constexpr char kStandardOutputPath[] = "/dev/stdout";
// The most a list read from standard input may hold: a list of several hundred thousand entries
// fits with room to spare, a runaway producer is stopped.
inline constexpr std::size_t kLongestListOnStandardInput = 64u * 1024u * 1024u;

// Reads all of standard input into `text`; false, with `error` saying why, when it could not be
// read or holds more than `limit` bytes.
bool readStandardInput(std::string& text, std::string& error, std::size_t limit = kLongestListOnStandardInput);

// How standard output can take the mix.
enum class StandardOutputKind {
    Terminal,  // refused: a WAV file is no text for a terminal
    Stream,    // a pipe or socket: written once in order, never rewound
    File,      // redirected to a file: written like any file
};
StandardOutputKind standardOutputKind();

}  // namespace sonarel
