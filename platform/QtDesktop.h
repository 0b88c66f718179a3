// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop interface on Qt Widgets: QMessageBox, QFileDialog, QDesktopServices, QProcess.
#pragma once

#include <QFileDialog>
#include <memory>

#include "platform/Desktop.h"

class QWidget;

namespace sonarel {

class QtDesktop final : public Desktop {
public:
    // `owner` parents the modal boxes and dialogs while no other modal dialog is open; it may be null.
    explicit QtDesktop(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }

    void showAppMessage(const QString& text) override;
    void showMessage(const QString& text, const QString& caption, MessageIcon icon) override;
    bool askYesNo(const QString& text, const QString& caption, MessageIcon icon) override;
    SaveChoice askSaveChanges(const QString& text, const QString& caption) override;
    ChangedFileChoice askAboutChangedFile(const QString& text, const QString& caption) override;
    QStringList chooseFilesToOpen(const FileDialogRequest& request) override;
    QString chooseFileToSave(const FileDialogRequest& request) override;
    QString chooseFolder(const QString& title, const QString& initialFolder) override;
    bool openWithDefaultHandler(const QString& pathOrUrl) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
    QString defaultHandlerOf(const QString& path) override;
    void beep() override;
    // Asks xdg-mime for the default handler of text/html and reads its .desktop file.
    std::optional<QString> webBrowserCommand() override;

private:
    QWidget* boxOwner() const;

    QWidget* owner_;
};

// The file dialog QtDesktop shows for a request, not yet shown. It is Qt's own dialog, so that
// each filter shows its label exactly once (a native dialog may repeat the patterns or cut the
// label at its first parenthesis); the patterns select the files without being shown.
std::unique_ptr<QFileDialog> makeFileDialog(QWidget* owner, const FileDialogRequest& request,
                                            QFileDialog::AcceptMode mode);

}  // namespace sonarel
