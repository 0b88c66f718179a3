#include "platform/QtDesktop.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
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

}  // namespace

void QtDesktop::showAppMessage(const QString& text)
{
    showMessage(text, applicationName(), MessageIcon::Exclamation);
}

void QtDesktop::showMessage(const QString& text, const QString& caption, MessageIcon icon)
{
    QMessageBox box(toQtIcon(icon), caption, text, QMessageBox::Ok, owner_);
    box.exec();
}

bool QtDesktop::askYesNo(const QString& text, const QString& caption, MessageIcon icon)
{
    QMessageBox box(toQtIcon(icon), caption, text, QMessageBox::Yes | QMessageBox::No, owner_);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QStringList QtDesktop::chooseFilesToOpen(const FileDialogRequest& request)
{
    QString selected = selectedFilterText(request);
    return QFileDialog::getOpenFileNames(owner_, request.title, request.initialFolder,
                                         filterText(request), &selected);
}

QString QtDesktop::chooseFileToSave(const FileDialogRequest& request)
{
    QString selected = selectedFilterText(request);
    QString start = request.initialFile;
    if (!request.initialFolder.isEmpty() && !start.isEmpty() && QFileInfo(start).isRelative())
        start = request.initialFolder + QLatin1Char('/') + start;
    else if (start.isEmpty())
        start = request.initialFolder;
    return QFileDialog::getSaveFileName(owner_, request.title, start, filterText(request), &selected);
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

}  // namespace sonarel
