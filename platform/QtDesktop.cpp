// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QtDesktop.h"

#include "platform/BrowserCommand.h"
#include "platform/FileChecks.h"
#include "platform/MessageText.h"
#include "platform/NativePath.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>

namespace sonarel {

namespace {

QMessageBox::Icon toQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// "Label (patterns)": the form from which QFileDialog takes the patterns; with its details hidden
// it shows only the label (the text before the last parenthesised list).
QStringList nameFilterTexts(const FileDialogRequest& request)
{
    QStringList texts;
    for (const FileFilter& filter : request.filters)
        texts << QStringLiteral("%1 (%2)").arg(filter.displayText, filter.patterns.join(QLatin1Char(' ')));
    return texts;
}

// The .desktop file of a desktop file id; a '-' in the id may stand for a subfolder
// ("kde-foo.desktop" can be kde/foo.desktop).
QString locateDesktopFile(const QString& id)
{
    QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
    for (qsizetype dash = id.indexOf(u'-'); path.isEmpty() && dash > 0; dash = id.indexOf(u'-', dash + 1)) {
        QString nested = id;
        nested[dash] = u'/';
        path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, nested);
    }
    return path;
}

// Puts `text` into `box` as plain text with its control characters escaped, and no taller than the
// screen: lines beyond what fits are left to the box's details, which scroll.
void setBoxText(QMessageBox& box, const QString& text)
{
    const QString safe = safeMessageText(text);
    box.setTextFormat(Qt::PlainText);
    const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    const int lineHeight = std::max(1, QFontMetrics(box.font()).lineSpacing());
    const int screenLines = screen ? screen->availableGeometry().height() / lineHeight : 40;
    // Room for the title, the buttons and the details button.
    const int most = std::max(8, screenLines - 14);
    const QStringList lines = safe.split(QLatin1Char('\n'));
    if (lines.size() <= most) {
        box.setText(safe);
        return;
    }
    box.setText(QStringList(lines.mid(0, most - 1)).join(QLatin1Char('\n')) +
                QStringLiteral("\n... %1 more lines: see Show Details...").arg(lines.size() - (most - 1)));
    box.setDetailedText(safe);
}

}  // namespace

QWidget* QtDesktop::boxOwner() const
{
    // A box asked for by a modal dialog (the output options, say) belongs over that dialog.
    QWidget* modal = QApplication::activeModalWidget();
    return modal ? modal : owner_;
}

void QtDesktop::showAppMessage(const QString& text)
{
    showMessage(text, applicationName(), MessageIcon::Exclamation);
}

void QtDesktop::showMessage(const QString& text, const QString& caption, MessageIcon icon)
{
    QMessageBox box(toQtIcon(icon), caption, QString(), QMessageBox::Ok, boxOwner());
    setBoxText(box, text);
    box.exec();
}

bool QtDesktop::askYesNo(const QString& text, const QString& caption, MessageIcon icon)
{
    QMessageBox box(toQtIcon(icon), caption, QString(), QMessageBox::Yes | QMessageBox::No, boxOwner());
    setBoxText(box, text);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::unique_ptr<QFileDialog> makeFileDialog(QWidget* owner, const FileDialogRequest& request,
                                            QFileDialog::AcceptMode mode)
{
    auto dialog = std::make_unique<QFileDialog>(owner, request.title);
    dialog->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    dialog->setAcceptMode(mode);
    const QStringList filters = nameFilterTexts(request);
    dialog->setNameFilters(filters);
    if (request.selectedFilter >= 0 && request.selectedFilter < filters.size())
        dialog->selectNameFilter(filters[request.selectedFilter]);
    if (!request.confirmOverwrite)
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.initialFolder.isEmpty())
        dialog->setDirectory(existingFolder(request.initialFolder));
    if (!request.initialFile.isEmpty()) {
        // Only the name goes into the name box; the folder is the nearest one that exists.
        const QFileInfo file(request.initialFile);
        if (!file.isRelative())
            dialog->setDirectory(existingFolder(file.absolutePath()));
        dialog->selectFile(file.fileName());
    }
    return dialog;
}

SaveChoice QtDesktop::askSaveChanges(const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::Warning, caption, QString(),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, owner_);
    setBoxText(box, text);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save: return SaveChoice::Save;
    case QMessageBox::Discard: return SaveChoice::Discard;
    default: return SaveChoice::Cancel;
    }
}

ChangedFileChoice QtDesktop::askAboutChangedFile(const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::Warning, caption, QString(), QMessageBox::NoButton, owner_);
    setBoxText(box, text);
    QPushButton* reload = box.addButton(QStringLiteral("&Reload"), QMessageBox::DestructiveRole);
    QPushButton* overwrite = box.addButton(QStringLiteral("&Overwrite"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == reload)
        return ChangedFileChoice::Reload;
    return box.clickedButton() == overwrite ? ChangedFileChoice::Overwrite : ChangedFileChoice::Cancel;
}

QString QtDesktop::chooseFolder(const QString& title, const QString& initialFolder)
{
    return QFileDialog::getExistingDirectory(owner_, title, initialFolder);
}

QStringList QtDesktop::chooseFilesToOpen(const FileDialogRequest& request)
{
    const auto dialog = makeFileDialog(boxOwner(), request, QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    if (dialog->exec() != QDialog::Accepted)
        return {};
    return dialog->selectedFiles();
}

QString QtDesktop::chooseFileToSave(const FileDialogRequest& request)
{
    const auto dialog = makeFileDialog(boxOwner(), request, QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    if (dialog->exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog->selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

bool QtDesktop::openWithDefaultHandler(const QString& pathOrUrl)
{
    const QUrl url = QFileInfo::exists(pathOrUrl) ? QUrl::fromLocalFile(pathOrUrl) : QUrl(pathOrUrl, QUrl::StrictMode);
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool QtDesktop::startProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

// Asks xdg-mime, which reads the same associations the desktop's file manager uses.
QString QtDesktop::defaultHandlerOf(const QString& path)
{
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(2000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        query.kill();
        return {};
    }
    QString entry = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    if (entry.endsWith(QStringLiteral(".desktop")))
        entry.chop(8);
    return entry;
}

void QtDesktop::beep()
{
    QApplication::beep();
}

std::optional<QString> QtDesktop::webBrowserCommand()
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    // Only asked after the desktop failed to open an address, so a short wait on the window's
    // thread is acceptable; a hung helper must not hang the window.
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return std::nullopt;
    }
    const QString id = QString::fromLocal8Bit(query.readAllStandardOutput()).section(u'\n', 0, 0).trimmed();
    if (query.exitCode() != 0 || id.isEmpty() || id.contains(u'/'))
        return std::nullopt;
    QFile entry(locateDesktopFile(id));
    if (entry.fileName().isEmpty() || !entry.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    constexpr qint64 kLargestEntry = 1 << 20;
    return desktopEntryExec(QString::fromUtf8(entry.read(kLargestEntry)));
}

}  // namespace sonarel
