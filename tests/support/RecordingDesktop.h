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
    std::deque<bool> answers;               // answers to questions, in order; No when empty
    std::deque<QStringList> filesToOpen;    // results of open dialogs, in order; none when empty
    std::deque<QString> fileToSave;         // results of save dialogs; cancelled when empty
    std::vector<FileDialogRequest> dialogRequests;
    std::vector<QString> openedDocuments;
    std::vector<QStringList> startedPrograms;  // program followed by its arguments
    bool openSucceeds = true;                  // what openWithDefaultHandler answers
    bool startSucceeds = true;                 // what startProgram answers
    std::optional<QString> browserCommand;     // what webBrowserCommand answers
    int beeps = 0;

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

    QStringList texts() const
    {
        QStringList all;
        for (const RecordedMessage& message : messages)
            all << message.text;
        return all;
    }
};

}  // namespace sonarel::testing
