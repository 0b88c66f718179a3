// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/MixListModel.h"

#include <QFileInfo>
#include <algorithm>

#include "model/EntryEditing.h"
#include "model/MixListRows.h"
#include "platform/FileChecks.h"
#include "platform/MessageText.h"
#include "platform/NativePath.h"

namespace sonarel {

namespace {

constexpr int kNameColumn = 0;
constexpr int kDurationColumn = 1;

QString unreadableText(const MixItem& item)
{
    return QStringLiteral("Unreadable: %1 is not a media file that can be played; it stays silent in the mix.")
        .arg(nameInMessage(QString::fromStdString(displayName(item.filePath))));
}

}  // namespace

MixListModel::MixListModel(MixItemStore& store, QObject* parent) : QAbstractTableModel(parent), store_(store)
{
    readAllFileStates();
}

MixListModel::~MixListModel() = default;

MixListModel::FileState MixListModel::fileStateOf(const MixItem& item)
{
    // A file that is gone (moved, deleted, on a drive that is not there) says so in its row; the
    // Mix command's own check names it again before mixing. A file whose length could not be
    // measured keeps its duration text (-0.000 or 0.000), which reads like a length, so the cell
    // is marked as well.
    const QString path = item.filePathText();
    FileState state;
    state.missing = !path.isEmpty() && !fileIdentity(path);
    state.unreadable = item.duration <= 0 && QFileInfo::exists(path);
    return state;
}

void MixListModel::readAllFileStates()
{
    files_.clear();
    files_.reserve(static_cast<std::size_t>(store_.audioCount()));
    for (int i = 0; i < store_.audioCount(); ++i)
        files_.push_back(fileStateOf(store_.at(i)));
}

int MixListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : store_.audioCount();
}

int MixListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kMixListColumnCount;
}

Qt::ItemFlags MixListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QVariant MixListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= store_.audioCount() || index.column() >= kMixListColumnCount)
        return {};
    const MixItem& item = store_.at(index.row());
    const FileState& file = files_[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole: {
        QString text = QString::fromStdString(readableBytes(cellText(item, column)));
        if (column == kNameColumn && file.missing)
            text = QStringLiteral("%1 (missing)").arg(text);
        // A muted entry stays in its place but is not mixed: its name says so.
        if (column == kNameColumn && item.muted)
            text = QStringLiteral("%1 (muted)").arg(text);
        // The others duck under it: its name says so.
        if (column == kNameColumn && item.duck)
            text = QStringLiteral("%1 (duck)").arg(text);
        return text;
    }
    case Qt::ToolTipRole: {
        QString tip;
        if (column == kNameColumn)
            tip = file.missing ? QStringLiteral("Missing: %1").arg(readablePath(item.filePathText()))
                               : readablePath(item.filePathText());
        else if (column == kDurationColumn && file.unreadable)
            tip = unreadableText(item);
        if (column == kNameColumn && item.muted)
            tip = QStringLiteral("Muted: %1").arg(tip);
        if (column == kNameColumn && item.duck)
            tip = QStringLiteral("Others duck under it: %1").arg(tip);
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::AccessibleTextRole:
        if (column == kDurationColumn && file.unreadable)
            return QStringLiteral("unreadable");
        return {};
    case Qt::AccessibleDescriptionRole:
        if (column == kDurationColumn && file.unreadable)
            return unreadableText(item);
        return {};
    case Qt::TextAlignmentRole: return static_cast<int>(Qt::AlignCenter);
    case MissingRole: return file.missing;
    case UnreadableRole: return file.unreadable;
    case MutedRole: return item.muted;
    case DuckRole: return item.duck;
    default: return {};
    }
}

QVariant MixListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kMixListColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) {
        const std::string_view header = kMixListColumns[static_cast<std::size_t>(section)].header;
        return QString::fromUtf8(header.data(), static_cast<qsizetype>(header.size()));
    }
    if (role == Qt::TextAlignmentRole)
        return static_cast<int>(Qt::AlignCenter);
    return {};
}

int MixListModel::append(const MixItemStore& added)
{
    int room = added.audioCount();
    if (store_.capacity() != kUnboundedCapacity)
        room = std::min(room, store_.capacity() - store_.audioCount());
    int count = 0;
    for (int i = 0; i < room; ++i) {
        if (fitsPathBuffer(added.at(i).filePath))
            ++count;
    }
    if (count == 0)
        return 0;
    const int first = store_.audioCount();
    beginInsertRows({}, first, first + count - 1);
    for (int i = 0; i < room; ++i) {
        if (store_.append(added.at(i)) == AppendResult::Appended)
            files_.push_back(fileStateOf(store_.at(store_.audioCount() - 1)));
    }
    endInsertRows();
    edited();
    return count;
}

bool MixListModel::setProperties(int index, const EntryProperties& properties)
{
    if (!setEntryProperties(store_, index, properties))
        return false;
    rowsRewritten({index});
    return true;
}

int MixListModel::removeSelected(SelectionCursor& selection)
{
    std::vector<int> rows;
    for (int row = selection.next(); row >= 0 && row < store_.audioCount(); row = selection.next())
        rows.push_back(row);
    // From the last run of rows to the first, so that the rows still to go keep their numbers.
    auto end = rows.end();
    while (end != rows.begin()) {
        auto first = end - 1;
        while (first != rows.begin() && *(first - 1) == *first - 1)
            --first;
        const int from = *first;
        const int to = *(end - 1);
        beginRemoveRows({}, from, to);
        for (int row = to; row >= from; --row)
            store_.removeAt(row);
        files_.erase(files_.begin() + from, files_.begin() + to + 1);
        endRemoveRows();
        end = first;
    }
    if (!rows.empty())
        edited();
    return static_cast<int>(rows.size());
}

void MixListModel::clear()
{
    replace([](MixItemStore& store) { store.clear(); });
}

void MixListModel::replace(const std::function<void(MixItemStore&)>& change)
{
    beginResetModel();
    change(store_);
    readAllFileStates();
    endResetModel();
    edited();
}

void MixListModel::setDucking(const DuckSettings& ducking)
{
    if (ducking == store_.ducking())
        return;
    store_.setDucking(ducking);
    edited();
}

void MixListModel::setTags(const ListTags& tags)
{
    if (tags == store_.tags())
        return;
    store_.setTags(tags);
    edited();
}

void MixListModel::changeRows(const std::function<std::vector<int>(MixItemStore&)>& change)
{
    const std::vector<int> rows = change(store_);
    if (!rows.empty())
        rowsRewritten(rows);
}

void MixListModel::reload()
{
    beginResetModel();
    readAllFileStates();
    endResetModel();
    edited();
}

void MixListModel::rowsRewritten(const std::vector<int>& rows)
{
    int first = store_.audioCount();
    int last = -1;
    for (int row : rows) {
        if (row < 0 || row >= store_.audioCount())
            continue;
        files_[static_cast<std::size_t>(row)] = fileStateOf(store_.at(row));
        first = std::min(first, row);
        last = std::max(last, row);
    }
    if (last >= 0)
        Q_EMIT dataChanged(index(first, 0), index(last, kMixListColumnCount - 1));
    edited();
}

void MixListModel::edited()
{
    if (scopeDepth_ > 0) {
        editedInScope_ = true;
        return;
    }
    Q_EMIT listEdited();
}

MixListModel::CommandScope::CommandScope(MixListModel& model, const QString& name) : model_(model)
{
    if (model_.scopeDepth_++ == 0)
        model_.commandName_ = name;
}

MixListModel::CommandScope::~CommandScope()
{
    if (--model_.scopeDepth_ > 0)
        return;
    const bool edited = model_.editedInScope_;
    model_.editedInScope_ = false;
    if (edited)
        Q_EMIT model_.listEdited();
    model_.commandName_.clear();
}

}  // namespace sonarel
