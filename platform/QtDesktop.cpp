#include "platform/QtDesktop.h"

#include "platform/BrowserCommand.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

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

QString filterText(const FileDialogRequest& request)
{
    QStringList lines;
    for (const FileFilter& filter : request.filters)
        lines << QStringLiteral("%1 (%2)").arg(filter.displayText, filter.patterns.join(QLatin1Char(' ')));
    return lines.join(QStringLiteral(";;"));
}

QString selectedFilterText(const FileDialogRequest& request)
{
    if (request.selectedFilter < 0 || request.selectedFilter >= request.filters.size())
        return {};
    return filterText(FileDialogRequest{{}, {}, {}, {request.filters[request.selectedFilter]}, 0});
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

// The folder, or its nearest parent that exists: given a missing folder, a file dialog would
// take the folder's last part for a file name.
QString existingFolder(const QString& folder)
{
    if (folder.isEmpty())
        return folder;
    QString path = QFileInfo(folder).absoluteFilePath();
    while (!QFileInfo(path).isDir()) {
        const QString parent = QFileInfo(path).absolutePath();
        if (parent == path)
            break;
        path = parent;
    }
    return path;
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
    QMessageBox box(toQtIcon(icon), caption, text, QMessageBox::Ok, boxOwner());
    box.exec();
}

bool QtDesktop::askYesNo(const QString& text, const QString& caption, MessageIcon icon)
{
    QMessageBox box(toQtIcon(icon), caption, text, QMessageBox::Yes | QMessageBox::No, boxOwner());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QStringList QtDesktop::chooseFilesToOpen(const FileDialogRequest& request)
{
    QString selected = selectedFilterText(request);
    return QFileDialog::getOpenFileNames(boxOwner(), request.title, existingFolder(request.initialFolder),
                                         filterText(request), &selected);
}

QString QtDesktop::chooseFileToSave(const FileDialogRequest& request)
{
    QString selected = selectedFilterText(request);
    QString start = request.initialFile;
    if (!request.initialFolder.isEmpty() && !start.isEmpty() && QFileInfo(start).isRelative())
        start = request.initialFolder + QLatin1Char('/') + start;
    else if (start.isEmpty())
        start = existingFolder(request.initialFolder);
    const QFileDialog::Options options =
        request.confirmOverwrite ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite;
    return QFileDialog::getSaveFileName(boxOwner(), request.title, start, filterText(request), &selected, options);
}

bool QtDesktop::openWithDefaultHandler(const QString& pathOrUrl)
{
    const QUrl url = QFileInfo::exists(pathOrUrl) ? QUrl::fromLocalFile(pathOrUrl)
                                                  : QUrl(pathOrUrl, QUrl::StrictMode);
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool QtDesktop::startProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

void QtDesktop::beep()
{
    QApplication::beep();
}

std::optional<QString> QtDesktop::webBrowserCommand()
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
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
