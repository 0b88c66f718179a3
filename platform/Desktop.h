// SPDX-License-Identifier: GPL-3.0-or-later
// The one interface through which the program talks to the person and the desktop: message boxes,
// file dialogs, and launching other programs or documents. The window uses QtDesktop, the
// command-line mixer a console version, and tests a recording double, so a modal box never blocks
// a test. All calls are made on the user-interface thread.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace sonarel {

enum class MessageIcon { None, Information, Exclamation, Error };

// The answers to "save your changes first?".
enum class SaveChoice { Save, Discard, Cancel };
// What to do with a file that another program changed while it was open here.
enum class ChangedFileChoice { Reload, Overwrite, Cancel };

struct FileFilter {
    QString displayText;   // "Audio files (*.mp3;*.wav)"
    QStringList patterns;  // {"*.mp3", "*.wav"}
};

struct FileDialogRequest {
    QString title;
    QString initialFolder;  // empty: the platform's choice
    QString initialFile;    // save dialogs: the proposed name
    QList<FileFilter> filters;
    int selectedFilter = 0;
    bool confirmOverwrite = true;  // save dialogs: ask before an existing file is chosen
};

// A failed step of setting up a mix. The window shows the step's fixed text (which names the
// internal call) and, for some steps, a second box with the platform's text for the code; where a
// step name means nothing to the reader (the command line), the cause comes first.
struct StepFailure {
    QString stepText;  // the fixed text, e.g. "can not pControl->Run()!!!"
    QString caption;   // empty: the application box
    MessageIcon icon = MessageIcon::Exclamation;
    QString platformText;  // the second box; empty when the step shows none
    QString cause;         // the file concerned and what went wrong, in plain words
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // The application box: caption the application name, exclamation icon, OK.
    virtual void showAppMessage(const QString& text) = 0;
    // A box with an explicit caption and an OK button.
    virtual void showMessage(const QString& text, const QString& caption, MessageIcon icon = MessageIcon::None) = 0;
    // The window's boxes for a failed step: its text, then the platform's text when there is one.
    virtual void showStepFailure(const StepFailure& failure)
    {
        if (failure.caption.isEmpty())
            showAppMessage(failure.stepText);
        else
            showMessage(failure.stepText, failure.caption, failure.icon);
        if (!failure.platformText.isEmpty())
            showAppMessage(failure.platformText);
    }
    // A Yes/No question; true only for Yes.
    virtual bool askYesNo(const QString& text, const QString& caption, MessageIcon icon = MessageIcon::Exclamation) = 0;
    // Asks whether to save unsaved changes before they would be lost: Save, Discard or Cancel.
    virtual SaveChoice askSaveChanges(const QString& text, const QString& caption) = 0;
    // Asks, before a save, about a file changed by another program: Reload, Overwrite or Cancel.
    virtual ChangedFileChoice askAboutChangedFile(const QString& text, const QString& caption) = 0;

    // Open-file dialog with multiple selection; the chosen paths in the dialog's order, or none.
    virtual QStringList chooseFilesToOpen(const FileDialogRequest& request) = 0;
    // Save-file dialog; the chosen path, or empty when cancelled.
    virtual QString chooseFileToSave(const FileDialogRequest& request) = 0;
    // Folder dialog; the chosen folder, or empty when cancelled.
    virtual QString chooseFolder(const QString& title, const QString& initialFolder) = 0;

    // Opens a document or address with the user's default handler.
    virtual bool openWithDefaultHandler(const QString& pathOrUrl) = 0;
    // Starts a program with an argument list (never through a shell) and does not wait for it.
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;

    // The desktop's warning sound.
    virtual void beep() {}
    // The desktop entry (its file name without ".desktop") of the program that opens `path` by
    // default; empty when none is known.
    virtual QString defaultHandlerOf(const QString& /*path*/) { return {}; }
    // The command line (a .desktop file's Exec value) of the default program for web pages:
    // empty when its entry names none, nothing when no default is known.
    virtual std::optional<QString> webBrowserCommand() { return std::nullopt; }
};

// The application's name as captions show it: the executable's file name without extension.
QString applicationName();

}  // namespace sonarel
