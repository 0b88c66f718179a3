// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ListFileCommands.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenu>
#include <QProgressDialog>
#include <QWidget>
#include <algorithm>

#include "model/MixListFile.h"
#include "model/MixListModel.h"
#include "model/RelinkSearch.h"
#include "platform/Desktop.h"
#include "platform/FileChecks.h"
#include "platform/MessageText.h"
#include "platform/NativePath.h"
#include "platform/PathHelpers.h"
#include "render/MediaProbe.h"
#include "settings/OutputSettings.h"
#include "settings/ProfileStore.h"
#include "settings/WaveFormatChoice.h"

namespace sonarel {

namespace {

const QString kWindowCaption = QStringLiteral("Sonarel");

QString recentKey(int index)
{
    return QStringLiteral("RecentList%1").arg(index + 1);
}

// At most `limit` paths, one a line, and how many more there are.
QString pathLines(const QStringList& paths, int limit = 15)
{
    QStringList shown = paths.mid(0, limit);
    if (paths.size() > limit)
        shown << QStringLiteral("... and %1 more").arg(paths.size() - limit);
    return shown.join(QLatin1Char('\n'));
}

FileDialogRequest listDialogRequest(const QString& title, const QString& folder, const QString& file)
{
    FileDialogRequest request;
    request.title = title;
    request.initialFolder = folder;
    request.initialFile = file;
    request.filters = {{QStringLiteral("Mix lists (*.csv)"), {QStringLiteral("*.csv")}},
                       {QStringLiteral("Any Files (*.*)"), {QStringLiteral("*")}}};
    return request;
}

}  // namespace

ListFileCommands::ListFileCommands(MixListModel& list, Desktop& desktop, ProfileStore& profile,
                                   media::MediaLibrary& library, QWidget& window)
    : QObject(&window),
      list_(list),
      store_(list.store()),
      desktop_(desktop),
      profile_(profile),
      library_(library),
      window_(window),
      history_(list.store())
{
    auto* newList = new QAction(QStringLiteral("&New List"), this);
    newList->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(newList, &QAction::triggered, this, &ListFileCommands::newList);
    auto* open = new QAction(QStringLiteral("&Open List..."), this);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(open, &QAction::triggered, this, &ListFileCommands::openList);
    auto* save = new QAction(QStringLiteral("&Save List"), this);
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(save, &QAction::triggered, this, [this] { (void)saveList(); });  // a failure has its message
    auto* saveAs = new QAction(QStringLiteral("Save &List As..."), this);
    saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(saveAs, &QAction::triggered, this, [this] { (void)saveListAs(); });
    undoAction_ = new QAction(QStringLiteral("&Undo"), this);
    undoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(undoAction_, &QAction::triggered, this, &ListFileCommands::undo);
    redoAction_ = new QAction(QStringLiteral("&Redo"), this);
    redoAction_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(redoAction_, &QAction::triggered, this, &ListFileCommands::redo);
    fileActions_ << newList << open << save << saveAs;
    window_.addActions(fileActions_);
    window_.addActions({undoAction_, redoAction_});
    connect(&list_, &MixListModel::listEdited, this, &ListFileCommands::noteListChanged);
    updateTitle();
}

ListFileCommands::~ListFileCommands() = default;

void ListFileCommands::noteListChanged()
{
    if (history_.noteChange(store_, list_.commandName()))
        rememberOutput();
    updateTitle();
}

bool ListFileCommands::hasUnsavedWork() const
{
    return history_.isModified() && !(history_.file().isEmpty() && store_.audioCount() == 0);
}

void ListFileCommands::updateTitle()
{
    const bool unsaved = hasUnsavedWork();
    if (history_.file().isEmpty() && !unsaved) {
        window_.setWindowTitle(kWindowCaption);
    } else {
        const QString name = history_.file().isEmpty() ? QStringLiteral("Untitled")
                                                       : QFileInfo(history_.file()).fileName();
        window_.setWindowTitle(
            QStringLiteral("%1%2 - %3").arg(unsaved ? QStringLiteral("*") : QString(), name, kWindowCaption));
    }
    undoAction_->setEnabled(history_.canUndo());
    undoAction_->setText(history_.canUndo() ? QStringLiteral("&Undo %1").arg(history_.undoLabel())
                                            : QStringLiteral("&Undo"));
    redoAction_->setEnabled(history_.canRedo());
    redoAction_->setText(history_.canRedo() ? QStringLiteral("&Redo %1").arg(history_.redoLabel())
                                            : QStringLiteral("&Redo"));
}

QStringList ListFileCommands::recentLists() const
{
    QStringList lists;
    for (int i = 0; i < kMaxRecentLists; ++i) {
        const QString path = profile_.ReadString(profile::kOption, recentKey(i), QString());
        if (!path.isEmpty() && !lists.contains(path))
            lists << path;
    }
    return lists;
}

void ListFileCommands::writeRecent(const QStringList& lists)
{
    for (int i = 0; i < kMaxRecentLists; ++i)
        profile_.WriteString(profile::kOption, recentKey(i), i < lists.size() ? lists[i] : QString());
}

void ListFileCommands::rememberRecent(const QString& path)
{
    QStringList lists = recentLists();
    lists.removeAll(path);
    lists.prepend(path);
    writeRecent(lists);
}

void ListFileCommands::forgetRecent(const QString& path)
{
    QStringList lists = recentLists();
    if (lists.removeAll(path) > 0)
        writeRecent(lists);
}

bool ListFileCommands::confirmLosingChanges(const QString& question)
{
    if (!hasUnsavedWork())
        return true;
    const QString name = history_.file().isEmpty() ? QStringLiteral("the new list")
                                                   : QFileInfo(history_.file()).fileName();
    switch (desktop_.askSaveChanges(question.arg(name), applicationName())) {
    case SaveChoice::Save: return saveList();
    case SaveChoice::Discard: return true;
    case SaveChoice::Cancel: break;
    }
    return false;
}

bool ListFileCommands::closeRequested()
{
    return confirmLosingChanges(QStringLiteral("Save the changes to %1 before closing?"));
}

void ListFileCommands::openList()
{
    const QStringList recent = recentLists();
    const QString folder = !history_.file().isEmpty() ? QFileInfo(history_.file()).absolutePath()
                           : recent.isEmpty()         ? QString()
                                                      : QFileInfo(recent.first()).absolutePath();
    const QStringList chosen = desktop_.chooseFilesToOpen(listDialogRequest(QStringLiteral("Open List"), folder, {}));
    if (!chosen.isEmpty())
        openListFile(chosen.first());
}

void ListFileCommands::newList()
{
    if (history_.file().isEmpty() && store_.audioCount() == 0)
        return;  // it is one already
    if (!confirmLosingChanges(QStringLiteral("Save the changes to %1 before starting a new list?")))
        return;
    {
        // A step of its own, as opening is: Undo brings the list before it back, with its file.
        const MixListModel::CommandScope command(list_);
        list_.replace([](MixItemStore& store) {
            store.clear();
            store.setDucking({});
            store.setTags({});
        });
        history_.noteOpened(store_, QString(), QStringLiteral("New List"));
        listHasOutput_ = false;
        rememberOutput();
        Q_EMIT listOpened();
    }
    updateTitle();
}

bool ListFileCommands::openListFile(const QString& path)
{
    return readListFile(path, true);
}

bool ListFileCommands::readListFile(const QString& chosenPath, bool askToSaveFirst)
{
    const QString path = QFileInfo(chosenPath).absoluteFilePath();
    // Taken before reading: a change made meanwhile is then seen at the next save.
    const std::optional<FileVersion> version = fileVersion(path);
    std::vector<MixItem> entries;
    ImportError error;
    ListOutputLines output;
    std::vector<std::string> unknownColumns;
    DuckSettings ducking;
    ListTags tags;
    if (!readMixListFile(path, entries, error, &output, &unknownColumns, &ducking, &tags)) {
        const QString why = pathFromBytes(error.message);  // bytes that are not UTF-8 are shown as \xHH
        desktop_.showMessage(error.line > 0
                                 ? QStringLiteral("%1 could not be opened:\nline %2: %3.\n\nNothing was loaded.")
                                       .arg(path, QString::number(error.line), why)
                                 : QStringLiteral("%1 could not be opened: %2.").arg(path, why),
                             QStringLiteral("Error"), MessageIcon::Error);
        if (!QFileInfo::exists(path))
            forgetRecent(path);
        return false;
    }
    if (entries.size() > static_cast<std::size_t>(kMixItemCapacity)) {
        desktop_.showMessage(QStringLiteral("%1 holds %2 entries; a mix list holds at most %3.\n\nNothing was loaded.")
                                 .arg(path, QString::number(entries.size()), QString::number(kMixItemCapacity)),
                             QStringLiteral("Error"), MessageIcon::Error);
        return false;
    }
    if (askToSaveFirst && !confirmLosingChanges(QStringLiteral("Save the changes to %1 before opening another list?")))
        return false;
    if (!loadEntries(entries, ducking, tags, path))
        return false;
    if (version)
        versions_[path] = *version;
    listHasOutput_ = false;
    QString refusedOutput;
    if (!output.empty() && currentOutput_ && restoreOutput_) {
        OutputSettings settings = currentOutput_();
        listHasOutput_ = applyListOutputLines(output, FolderOfPath(pathBytes(path)), settings, &refusedOutput) > 0;
        if (listHasOutput_)
            restoreOutput_(settings);
    }
    rememberOutput();
    rememberRecent(path);
    if (!refusedOutput.isEmpty())
        desktop_.showMessage(QStringLiteral("%1: %2.\n\nThe list opens without its output; the mix goes to %3 "
                                            "unless you choose another in Output Options.")
                                 .arg(QFileInfo(path).fileName(), refusedOutput,
                                      nameInMessage(currentOutput_().outputFile)),
                             QStringLiteral("Output File"), MessageIcon::Exclamation);
    if (!unknownColumns.empty())
        desktop_.showMessage(QStringLiteral("%1: %2.").arg(QFileInfo(path).fileName(),
                                                           QString::fromStdString(unknownColumnsText(unknownColumns))),
                             QStringLiteral("Unknown Columns"), MessageIcon::Exclamation);
    relinkMissing(path);
    return true;
}

bool ListFileCommands::loadEntries(const std::vector<MixItem>& entries, const DuckSettings& ducking,
                                   const ListTags& tags, const QString& path)
{
    const int total = static_cast<int>(entries.size());
    QProgressDialog progress(QStringLiteral("Opening %1...").arg(QFileInfo(path).fileName()), QStringLiteral("Cancel"),
                             0, total, &window_);
    progress.setWindowTitle(kWindowCaption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    // Read into a list of its own: the window's list changes once, whole, and a cancel or a refused
    // entry leaves it as it was.
    MixItemStore opened(store_.capacity());
    // As many files measured at once as there are threads for it: the window waits no longer
    // between two steps of the progress than it does for one file.
    const auto ahead = static_cast<std::size_t>(library_.measuringThreads(entries.size()));
    for (int i = 0; i < total; ++i) {
        progress.setValue(i);
        if (progress.wasCanceled())
            return false;
        if (static_cast<std::size_t>(i) % ahead == 0)
            measureAhead(library_, entries, static_cast<std::size_t>(i), ahead);
        // The reader checked the count and the path lengths, so every entry fits.
        static_cast<void>(appendMeasured(opened, library_, entries[static_cast<std::size_t>(i)]));
        // Only now is the file's length known, so only now can an in point past it be told.
        std::string problem;
        if (!checkInPointWithinFile(opened.at(opened.audioCount() - 1), problem)) {
            progress.close();
            desktop_.showMessage(QStringLiteral("%1 could not be opened:\nentry %2 (%3): %4.\n\nNothing was loaded.")
                                     .arg(path, QString::number(i + 1),
                                          entries[static_cast<std::size_t>(i)].filePathText(),
                                          QString::fromStdString(problem)),
                                 QStringLiteral("Error"), MessageIcon::Error);
            return false;
        }
    }
    progress.setValue(total);
    opened.setDucking(ducking);
    opened.setTags(tags);
    // The history takes the opened list as a step of its own before the change is announced.
    const MixListModel::CommandScope command(list_);
    list_.replace([&opened](MixItemStore& store) { store = std::move(opened); });
    history_.noteOpened(store_, path);
    Q_EMIT listOpened();
    return true;
}

void ListFileCommands::relinkMissing(const QString& listPath)
{
    const std::vector<std::string> missing = missingFiles();
    if (missing.empty())
        return;
    const QString folder = askFolderToSearch(missing, listPath);
    if (folder.isEmpty())
        return;
    // The history records the relinking as a change of its own.
    const QStringList stillMissing = relinkFound(missing, searchFolder(missing, folder));
    if (!stillMissing.isEmpty()) {
        desktop_.showMessage(QStringLiteral("These files were not found in %1 and stay in the list, "
                                            "marked as missing:\n%2")
                                 .arg(folder, pathLines(stillMissing)),
                             QStringLiteral("Missing Files"), MessageIcon::Exclamation);
    }
}

std::vector<std::string> ListFileCommands::missingFiles() const
{
    std::vector<std::string> missing;
    for (int i = 0; i < store_.audioCount(); ++i) {
        const std::string& path = store_.at(i).filePath;
        if (!fileIdentity(pathFromBytes(path)) && std::find(missing.begin(), missing.end(), path) == missing.end())
            missing.push_back(path);
    }
    return missing;
}

QString ListFileCommands::askFolderToSearch(const std::vector<std::string>& missing, const QString& listPath)
{
    QStringList names;
    for (const std::string& path : missing)
        names << pathFromBytes(path);
    if (!desktop_.askYesNo(QStringLiteral("These files of the list were not found:\n%1\n\n"
                                          "Do you want to look for them in a folder?")
                               .arg(pathLines(names)),
                           QStringLiteral("Missing Files"), MessageIcon::Exclamation))
        return {};
    return desktop_.chooseFolder(QStringLiteral("Look for the Missing Files in"), QFileInfo(listPath).absolutePath());
}

std::vector<std::string> ListFileCommands::searchFolder(const std::vector<std::string>& missing, const QString& folder)
{
    QProgressDialog progress(QStringLiteral("Looking for the missing files..."), QStringLiteral("Cancel"), 0, 0,
                             &window_);
    progress.setWindowTitle(kWindowCaption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.reset();  // shown only once the search takes a while
    QElapsedTimer clock;
    clock.start();
    std::vector<std::string> found = findMovedFiles(missing, folder, [&] {
        if (clock.elapsed() > 500 && !progress.isVisible())
            progress.show();
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    });
    progress.close();
    return found;
}

QStringList ListFileCommands::relinkFound(const std::vector<std::string>& missing,
                                          const std::vector<std::string>& found)
{
    QStringList stillMissing;
    list_.changeRows([&](MixItemStore& store) {
        std::vector<int> relinked;
        for (std::size_t m = 0; m < missing.size(); ++m) {
            if (found[m].empty() || !fitsPathBuffer(found[m])) {
                stillMissing << pathFromBytes(missing[m]);
                continue;
            }
            const REFERENCE_TIME duration = MeasureAudioDuration(library_, pathFromBytes(found[m]));
            for (int i = 0; i < store.audioCount(); ++i) {
                MixItem& item = store.at(i);
                if (item.filePath == missing[m]) {
                    item.filePath = found[m];
                    item.duration = duration;
                    relinked.push_back(i);
                }
            }
        }
        return relinked;
    });
    return stillMissing;
}

bool ListFileCommands::saveList()
{
    if (history_.file().isEmpty())
        return saveListAs();
    return writeTo(history_.file());
}

QString ListFileCommands::folderToSaveIn() const
{
    if (!history_.file().isEmpty())
        return QFileInfo(history_.file()).absolutePath();
    // A new list belongs with its files more often than with the last list saved.
    if (store_.audioCount() > 0)
        return QFileInfo(store_.at(0).filePathText()).absolutePath();
    const QStringList recent = recentLists();
    return recent.isEmpty() ? QString() : QFileInfo(recent.first()).absolutePath();
}

bool ListFileCommands::saveListAs()
{
    const QString current = history_.file();
    const QString name = current.isEmpty() ? QStringLiteral("mix list.csv") : QFileInfo(current).fileName();
    QString chosen = desktop_.chooseFileToSave(listDialogRequest(QStringLiteral("Save List As"), folderToSaveIn(),
                                                                 name));
    if (chosen.isEmpty())
        return false;
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".csv");
    return writeTo(QFileInfo(chosen).absoluteFilePath());
}

void ListFileCommands::linkOutput(std::function<OutputSettings()> current,
                                  std::function<void(const OutputSettings&)> restore)
{
    currentOutput_ = std::move(current);
    restoreOutput_ = std::move(restore);
    rememberOutput();
}

ListFileCommands::ListOutput ListFileCommands::currentListOutput() const
{
    return {currentOutput_ ? currentOutput_() : OutputSettings{}, listHasOutput_};
}

ListOutputLines ListFileCommands::keptLines(const ListOutput& output)
{
    if (output.kept || !hasNewListFormat(output.settings))
        return listOutputLinesOf(output.settings);
    return {};
}

void ListFileCommands::rememberOutput()
{
    if (!currentOutput_)
        return;
    outputs_[history_.state()] = currentListOutput();
    // Only the states the history can return to are kept.
    if (outputs_.size() > 2 * (ListHistory::kMaxSteps + 1)) {
        const std::vector<int> states = history_.states();
        std::erase_if(outputs_, [&states](const auto& kept) {
            return std::find(states.begin(), states.end(), kept.first) == states.end();
        });
    }
}

void ListFileCommands::outputChanged()
{
    if (!currentOutput_)
        return;
    const auto before = outputs_.find(history_.state());
    if (before != outputs_.end() && keptLines(before->second) != keptLines(currentListOutput())) {
        history_.noteOtherChange(QStringLiteral("Output Options"));
        updateTitle();
    }
    rememberOutput();
}

void ListFileCommands::restoreOutputOfState()
{
    const auto kept = outputs_.find(history_.state());
    if (kept == outputs_.end() || !restoreOutput_)
        return;
    // An output the list does not keep (its file, while it is a plain WAV list) stays the window's.
    if (keptLines(kept->second) == keptLines(currentListOutput()))
        return;
    OutputSettings settings = currentOutput_();
    takeListOutput(kept->second.settings, settings);
    listHasOutput_ = kept->second.kept;
    restoreOutput_(settings);
}

void ListFileCommands::rememberVersion(const QString& path)
{
    if (const std::optional<FileVersion> version = fileVersion(path))
        versions_[path] = *version;
    else
        versions_.erase(path);
}

bool ListFileCommands::confirmWriting(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const auto known = versions_.find(path);
    const std::optional<FileVersion> onDisk = fileVersion(path);
    if (known != versions_.end() && onDisk && *onDisk != known->second) {
        switch (desktop_.askAboutChangedFile(
            QStringLiteral("%1 was changed by another program since Sonarel last read or saved it.\n\n"
                           "Reload it (Undo brings this list back), overwrite it with this list, or cancel?")
                .arg(name),
            QStringLiteral("File Changed"))) {
        case ChangedFileChoice::Reload: readListFile(path, false); return false;
        case ChangedFileChoice::Cancel: return false;
        case ChangedFileChoice::Overwrite: break;
        }
    }
    if (store_.audioCount() > 0 || !onDisk)
        return true;
    // Saving what Delete All left over a list that holds entries would lose them with one key.
    std::vector<MixItem> entries;
    ImportError error;
    if (!readMixListFile(path, entries, error) || entries.empty())
        return true;
    return desktop_.askYesNo(QStringLiteral("This list is empty, and %1 holds %2 %3. Save the empty list over it?")
                                 .arg(name, QString::number(entries.size()),
                                      entries.size() == 1 ? QStringLiteral("entry") : QStringLiteral("entries")),
                             applicationName(), MessageIcon::Exclamation);
}

bool ListFileCommands::writeTo(const QString& path)
{
    if (!confirmWriting(path))
        return false;
    ListOutputLines output;
    if (currentOutput_) {
        const OutputSettings settings = currentOutput_();
        if (listHasOutput_ || !hasNewListFormat(settings))
            output = listOutputLinesOf(settings);
    }
    const QString error = saveMixListFile(path, entriesOf(store_), output, store_.ducking(), store_.tags());
    if (!error.isEmpty()) {
        desktop_.showMessage(
            QStringLiteral("The list could not be saved to %1:\n%2\n\nThe changes are not saved.").arg(path, error),
            QStringLiteral("Error"), MessageIcon::Error);
        return false;
    }
    history_.markSaved(path);
    listHasOutput_ = !output.empty();
    rememberOutput();
    rememberVersion(path);
    rememberRecent(path);
    updateTitle();
    return true;
}

void ListFileCommands::undo()
{
    if (!history_.canUndo())
        return;
    list_.replace([this](MixItemStore& store) { history_.undo(store); });
    restoreOutputOfState();
    updateTitle();
}

void ListFileCommands::redo()
{
    if (!history_.canRedo())
        return;
    list_.replace([this](MixItemStore& store) { history_.redo(store); });
    restoreOutputOfState();
    updateTitle();
}

QStringList ListFileCommands::openListArguments(const QStringList& arguments)
{
    QStringList others;
    bool opened = false;
    for (const QString& argument : arguments) {
        if (!opened && QFileInfo(argument).suffix().compare(QStringLiteral("csv"), Qt::CaseInsensitive) == 0) {
            opened = true;
            openListFile(argument);
        } else {
            others << argument;
        }
    }
    return others;
}

void ListFileCommands::addToMenu(QMenu& menu)
{
    menu.addActions(fileActions_);
    QMenu* recent = menu.addMenu(QStringLiteral("Recen&t Lists"));
    recent->setToolTipsVisible(true);
    fillRecentMenu(*recent);
    menu.addSeparator();
    menu.addAction(undoAction_);
    menu.addAction(redoAction_);
    menu.addSeparator();
}

void ListFileCommands::fillRecentMenu(QMenu& menu)
{
    menu.clear();
    const QStringList lists = recentLists();
    for (int i = 0; i < lists.size(); ++i) {
        const QFileInfo info(lists[i]);
        QString name = info.fileName();
        name.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* action = menu.addAction(QStringLiteral("&%1 %2").arg(QString::number(i + 1), name));
        action->setToolTip(lists[i]);
        const QString path = lists[i];
        connect(action, &QAction::triggered, this, [this, path] { openListFile(path); });
    }
    menu.setEnabled(!lists.isEmpty());
}

}  // namespace sonarel
