// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop interface for the command line: messages go to standard error, questions are
// answered by the --yes option, and there are no file dialogs.
#pragma once

#include <cstdio>
#include <functional>

#include "platform/Desktop.h"

namespace sonarel {

class ConsoleDesktop final : public Desktop {
public:
    // There is no quiet mode here: -q hides progress, and every message and every question
    // answered by --yes is still written, so nothing is lost without a word.
    explicit ConsoleDesktop(bool answerYes, std::FILE* out = stderr) : answerYes_(answerYes), out_(out) {}

    void showAppMessage(const QString& text) override;
    void showMessage(const QString& text, const QString& caption, MessageIcon icon) override;
    bool askYesNo(const QString& text, const QString& caption, MessageIcon icon) override;
    // One line: the cause first, the step's fixed text after it in parentheses.
    void showStepFailure(const StepFailure& failure) override;
    // Nothing here is ever unsaved or chosen interactively.
    SaveChoice askSaveChanges(const QString&, const QString&) override { return SaveChoice::Cancel; }
    ChangedFileChoice askAboutChangedFile(const QString&, const QString&) override { return ChangedFileChoice::Cancel; }
    QStringList chooseFilesToOpen(const FileDialogRequest&) override { return {}; }
    QString chooseFolder(const QString&, const QString&) override { return {}; }
    QString chooseFileToSave(const FileDialogRequest&) override { return {}; }
    bool openWithDefaultHandler(const QString&) override { return false; }
    bool startProgram(const QString&, const QStringList&) override { return false; }

    // Called before a message so a progress line on the terminal is not written over.
    void setBeforeMessage(std::function<void()> hook) { beforeMessage_ = std::move(hook); }
    // Writes each message instead of the plain "caption: text" line (the JSON progress lines).
    void setPrinter(std::function<void(const QString& caption, const QString& text)> printer)
    {
        printer_ = std::move(printer);
    }

private:
    void print(const QString& caption, const QString& text);
    bool answerYes_;
    std::FILE* out_;
    std::function<void()> beforeMessage_;
    std::function<void(const QString&, const QString&)> printer_;
};

}  // namespace sonarel
