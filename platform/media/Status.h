// SPDX-License-Identifier: GPL-3.0-or-later
// Status codes of the media engine.
//
// Every call of the engine returns a signed 32-bit status: zero or positive is success, negative is
// failure. The failure values follow the familiar COM layout so that a code printed in a log reads
// the same as elsewhere, but nothing outside this folder depends on the exact numbers: callers test
// `failed()` and show `errorText()`.
//
// A status must not be dropped silently: the type is [[nodiscard]], and a call whose result does
// not matter is written `static_cast<void>(call())` next to a comment that says why.
#pragma once

#include <cstdint>
#include <string>

#include "platform/media/ReferenceTime.h"

namespace sonarel::media {

// Any 32-bit value is a status; the named ones below are those the engine returns itself.
enum [[nodiscard]] Status : std::int32_t{};

inline constexpr Status kOk = Status{0};
inline constexpr Status kFalse = Status{1};  // success, but "nothing there" (e.g. no event available)

namespace detail {
constexpr Status code(std::uint32_t value)
{
    return static_cast<Status>(static_cast<std::int32_t>(value));
}
}  // namespace detail

inline constexpr Status kErrFail = detail::code(0x80004005);
inline constexpr Status kErrNotImplemented = detail::code(0x80004001);
inline constexpr Status kErrNoInterface = detail::code(0x80004002);
inline constexpr Status kErrPointer = detail::code(0x80004003);
inline constexpr Status kErrAbort = detail::code(0x80004004);
inline constexpr Status kErrInvalidArg = detail::code(0x80070057);
inline constexpr Status kErrOutOfMemory = detail::code(0x8007000E);
inline constexpr Status kErrFileNotFound = detail::code(0x80070002);
inline constexpr Status kErrPathNotFound = detail::code(0x80070003);
inline constexpr Status kErrAccessDenied = detail::code(0x80070005);
inline constexpr Status kErrDiskFull = detail::code(0x80070070);
inline constexpr Status kErrWriteFault = detail::code(0x8007001D);
inline constexpr Status kErrReadFault = detail::code(0x8007001E);
inline constexpr Status kErrNotRegularFile = detail::code(0x80040200);  // directory, FIFO, device
inline constexpr Status kErrUnsupportedFormat = detail::code(0x80040241);
inline constexpr Status kErrNoAudioStream = detail::code(0x80040242);
inline constexpr Status kErrCorruptData = detail::code(0x80040243);
inline constexpr Status kErrNotConnected = detail::code(0x80040209);
inline constexpr Status kErrAlreadyConnected = detail::code(0x80040204);
inline constexpr Status kErrWrongState = detail::code(0x80040227);
inline constexpr Status kErrNoFileName = detail::code(0x80040231);
inline constexpr Status kErrTimeout = detail::code(0x80040250);
inline constexpr Status kErrInvalidMediaType = detail::code(0x80040248);
inline constexpr Status kErrFileInUse = detail::code(0x80070020);          // the output is locked by another mix
inline constexpr Status kErrOutputReplaced = detail::code(0x80040251);     // deleted or replaced while written
inline constexpr Status kErrReaderGone = detail::code(0x800700E8);         // the pipe's reader closed it
inline constexpr Status kErrEngineUnavailable = detail::code(0x800401F0);  // library not initialised

constexpr bool failed(Status s)
{
    return s < 0;
}
constexpr bool succeeded(Status s)
{
    return s >= 0;
}

// A sentence a user understands, saying what failed; at most kMaxErrorTextLength characters.
std::string errorText(Status s);
inline constexpr std::size_t kMaxErrorTextLength = 160;

}  // namespace sonarel::media
