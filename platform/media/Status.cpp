// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/Status.h"

#include <cstdio>

namespace sonarel::media {

std::string errorText(Status s)
{
    switch (s) {
    case kOk: return "The operation completed successfully.";
    case kFalse: return "The operation completed, but there was nothing to report.";
    case kErrFail: return "The media engine could not complete the operation.";
    case kErrNotImplemented: return "This operation is not supported by the media engine.";
    case kErrNoInterface: return "This object does not support the requested operation.";
    case kErrPointer: return "A required object was missing.";
    case kErrAbort: return "The operation was cancelled.";
    case kErrInvalidArg: return "A value passed to the media engine is not valid.";
    case kErrOutOfMemory: return "There is not enough memory to complete the operation.";
    case kErrFileNotFound: return "The file could not be found.";
    case kErrPathNotFound: return "The folder of the file could not be found.";
    case kErrAccessDenied: return "Access to the file was denied.";
    case kErrDiskFull: return "The disk is full.";
    case kErrWriteFault: return "The output file could not be written.";
    case kErrReadFault: return "The file could not be read.";
    case kErrNotRegularFile: return "The name does not refer to an ordinary file (it is a folder, pipe or device).";
    case kErrUnsupportedFormat: return "The file is not a media file that can be played.";
    case kErrNoAudioStream: return "The file contains no sound that can be played.";
    case kErrCorruptData: return "The file is damaged and could not be decoded.";
    case kErrNotConnected: return "The parts of the mix are not connected to each other.";
    case kErrAlreadyConnected: return "The parts of the mix are already connected.";
    case kErrWrongState: return "The operation cannot be done at this moment.";
    case kErrNoFileName: return "No file name was given.";
    case kErrTimeout: return "The operation timed out.";
    case kErrInvalidMediaType: return "The requested audio format is not supported.";
    case kErrFileInUse: return "The output file is being written by another mix.";
    case kErrOutputReplaced:
        return "The output file was deleted or replaced while the mix was written (or its folder was removed); "
               "the mix is lost.";
    case kErrReaderGone: return "The program reading the mix stopped reading it.";
    case kErrEngineUnavailable: return "The media engine has not been started.";
    default: break;
    }
    char text[96];
    std::snprintf(text, sizeof text, "%s (code 0x%08X).",
                  failed(s) ? "An unexpected error occurred in the media engine" : "The operation succeeded",
                  static_cast<unsigned>(s));
    return text;
}

}  // namespace sonarel::media
