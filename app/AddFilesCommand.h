// SPDX-License-Identifier: GPL-3.0-or-later
// Adding files to the mix list: each file is measured and appended in the order given; files that
// cannot be added (missing, a folder, unreadable, the path does not fit, the list is full) are
// collected to be named in one message. No widget here: the window supplies the paths, a
// progress callback and the desktop.
#pragma once

#include <QStringList>
#include <functional>

#include "model/MixItem.h"
#include "platform/Desktop.h"
#include "platform/media/services/MediaLibrary.h"

namespace sonarel {

class ProfileStore;

// The open-file dialog of the Add command: title, filters and the folder to start in. The filters
// hold every common extension the engine decodes, in lower and upper case.
FileDialogRequest addFilesDialogRequest(const QString& lastFolder);

struct AddFilesResult {
    int added = 0;
    QStringList refused;  // "path: reason"
    bool cancelled = false;
};

// Called before each file with the number done and the total; returns false to cancel.
using AddFilesProgress = std::function<bool(int done, int total)>;

AddFilesResult addFilesToMixList(MixItemStore& store, const QStringList& paths, media::MediaLibrary& library,
                                 const AddFilesProgress& progress = {});

// The one message naming the refused files; empty when none was refused.
QString refusedFilesMessage(const AddFilesResult& result);

// Remembers the folder of the list's last entry as the next dialog's starting folder.
void rememberLastFolder(const MixItemStore& store, ProfileStore& profile);

}  // namespace sonarel
