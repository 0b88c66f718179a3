// SPDX-License-Identifier: GPL-3.0-or-later
// A desktop double for tests: records every box and request, answers from a script, never blocks.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

#include "platform/Desktop.h"

namespace sonarel::testing {

struct RecordedMessage {
    QString text;
    QString caption;  // the application name for application boxes
    bool question = false;
};

class RecordingDesktop final : public Desktop {
public:
    std::vector<RecordedMessage> messages;
    std::deque<bool> answers;             // answers to questions, in order; No when empty
    std::deque<QStringList> filesToOpen;  // results of open dialogs, in order; none when empty
    std::deque<QString> fileToSave;       // results of save dialogs; cancelled when empty
    // Answers to "save changes?"; Discard when empty, so tests that do not save close as before.
    std::deque<SaveChoice> saveChoices;
    // Answers about a file changed on disk; Cancel when empty.
    std::deque<ChangedFileChoice> changedFileChoices;
    std::deque<QString> folders;  // results of folder dialogs; cancelled when empty
    std::vector<FileDialogRequest> dialogRequests;
    std::vector<QString> openedDocuments;
    std::vector<QStringList> startedPrograms;  // program followed by its arguments
    bool openSucceeds = true;                  // what openWithDefaultHandler answers
    bool startSucceeds = true;                 // what startProgram answers
    std::optional<QString> browserCommand;     // what webBrowserCommand answers
    QString defaultHandler;                    // what defaultHandlerOf answers for every file
    int beeps = 0;

    QString defaultHandlerOf(const QString&) override { return defaultHandler; }
    void showAppMessage(const QString& text) override { messages.push_back({text, applicationName(), false}); }
    void showMessage(const QString& text, const QString& caption, MessageIcon) override
    {
        messages.push_back({text, caption, false});
    }
    bool askYesNo(const QString& text, const QString& caption, MessageIcon) override
    {
        messages.push_back({text, caption, true});
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    SaveChoice askSaveChanges(const QString& text, const QString& caption) override
    {
        messages.push_back({text, caption, true});
        return pop(saveChoices, SaveChoice::Discard);
    }
    ChangedFileChoice askAboutChangedFile(const QString& text, const QString& caption) override
    {
        messages.push_back({text, caption, true});
        return pop(changedFileChoices, ChangedFileChoice::Cancel);
    }
    QString chooseFolder(const QString& title, const QString& initialFolder) override
    {
        FileDialogRequest request;
        request.title = title;
        request.initialFolder = initialFolder;
        dialogRequests.push_back(request);
        return pop(folders, QString());
    }
    QStringList chooseFilesToOpen(const FileDialogRequest& request) override
    {
        dialogRequests.push_back(request);
        if (filesToOpen.empty())
            return {};
        QStringList files = filesToOpen.front();
        filesToOpen.pop_front();
        return files;
    }
    QString chooseFileToSave(const FileDialogRequest& request) override
    {
        dialogRequests.push_back(request);
        if (fileToSave.empty())
            return {};
        QString file = fileToSave.front();
        fileToSave.pop_front();
        return file;
    }
    bool openWithDefaultHandler(const QString& pathOrUrl) override
    {
        openedDocuments.push_back(pathOrUrl);
        return openSucceeds;
    }
    bool startProgram(const QString& program, const QStringList& arguments) override
    {
        startedPrograms.push_back(QStringList{program} + arguments);
        return startSucceeds;
    }
    void beep() override { ++beeps; }
    std::optional<QString> webBrowserCommand() override { return browserCommand; }

    template <typename T>
    static T pop(std::deque<T>& queue, T whenEmpty)
    {
        if (queue.empty())
            return whenEmpty;
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }

    QStringList texts() const
    {
        QStringList all;
        for (const RecordedMessage& message : messages)
            all << message.text;
        return all;
    }
};

}  // namespace sonarel::testing
