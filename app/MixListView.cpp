// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MixListView.h"

#include <QDragEnterEvent>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <algorithm>
#include <set>

#include "model/MixListModel.h"
#include "model/MixListRows.h"

namespace sonarel {

namespace {

// The list's looks over the model's words: italic for a missing file's name and an unreadable
// file's duration (red), and the text of a muted entry's row in the view's disabled colour.
class CellLooks : public QIdentityProxyModel {
public:
    explicit CellLooks(QWidget& view) : QIdentityProxyModel(&view), view_(view) {}

    QVariant data(const QModelIndex& index, int role) const override
    {
        switch (role) {
        case Qt::FontRole: {
            if (!marked(index, MixListModel::MissingRole, 0) && !marked(index, MixListModel::UnreadableRole, 1))
                return QIdentityProxyModel::data(index, role);
            QFont font;
            font.setItalic(true);
            return font;
        }
        case Qt::ForegroundRole:
            if (index.data(MixListModel::MutedRole).toBool())
                return QBrush(view_.palette().color(QPalette::Disabled, QPalette::Text));
            if (marked(index, MixListModel::UnreadableRole, 1))
                return QBrush(QColor(0xb0, 0x20, 0x20));
            return QIdentityProxyModel::data(index, role);
        default: return QIdentityProxyModel::data(index, role);
        }
    }

private:
    static bool marked(const QModelIndex& index, int role, int column)
    {
        return index.column() == column && index.data(role).toBool();
    }

    const QWidget& view_;
};

QStringList localFiles(const QMimeData* data)
{
    QStringList paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}
}  // namespace

MixListView::MixListView(MixListModel& list, QWidget* parent) : QTableView(parent), list_(list)
{
    auto* looks = new CellLooks(*this);
    looks->setSourceModel(&list_);
    setModel(looks);
    // The widths suit a small font; a header never gets narrower than its text, and the name
    // column takes whatever room is left.
    const QFontMetrics headerMetrics(horizontalHeader()->font());
    for (int c = 0; c < kMixListColumnCount; ++c) {
        const int textWidth = headerMetrics.horizontalAdvance(horizontalHeaderItem(c).text()) +
                              2 * headerMetrics.averageCharWidth();
        setColumnWidth(c, std::max(kMixListColumns[static_cast<std::size_t>(c)].width, textWidth));
    }
    horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setTabKeyNavigation(false);
    // Rows added or removed leave nothing selected, as a list rewritten whole does.
    connect(&list_, &QAbstractItemModel::rowsInserted, this, [this] { clearSelection(); });
    connect(&list_, &QAbstractItemModel::rowsRemoved, this, [this] { clearSelection(); });
}

void MixListView::focusInEvent(QFocusEvent* event)
{
    keyboardFocus_.focusIn(*event);
    QTableView::focusInEvent(event);
    viewport()->update();
}

void MixListView::focusOutEvent(QFocusEvent* event)
{
    keyboardFocus_.focusOut(*event);
    QTableView::focusOutEvent(event);
    viewport()->update();
}

void MixListView::mousePressEvent(QMouseEvent* event)
{
    if (keyboardFocus_.mousePressed())
        viewport()->update();
    QTableView::mousePressEvent(event);
}

void MixListView::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    if (keyboardFocus_.ringVisible(*this)) {
        QPainter painter(viewport());
        paintFocusRing(painter, *this, viewport()->rect());
    }
}

void MixListView::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    // Scrolling moves the painted pixels, the ring with them; paint it afresh where it belongs.
    if (keyboardFocus_.ringVisible(*this))
        viewport()->update();
}

void MixListView::refresh(const MixItemStore&)
{
    list_.reload();
}

void MixListView::updateRow(const MixItemStore& store, int row)
{
    if (row >= 0 && row < store.audioCount())
        list_.rowsRewritten({row});
}

void MixListView::updateRows(const MixItemStore&, const std::vector<int>& rows)
{
    list_.rowsRewritten(rows);
}

int MixListView::rowCount() const
{
    return model()->rowCount();
}

MixListCell MixListView::item(int row, int column) const
{
    return MixListCell(model()->index(row, column));
}

MixListHeader MixListView::horizontalHeaderItem(int column) const
{
    return MixListHeader(model()->headerData(column, Qt::Horizontal).toString());
}

SelectionCursor MixListView::selectionCursor() const
{
    std::set<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.insert(index.row());
    return SelectionCursor([rows](int after) {
        const auto next = rows.upper_bound(after);
        return next == rows.end() ? -1 : *next;
    });
}

int MixListView::firstSelectedRow() const
{
    SelectionCursor cursor = selectionCursor();
    return cursor.next();
}

void MixListView::keyPressEvent(QKeyEvent* event)
{
    if (keyboardFocus_.keyPressed())
        viewport()->update();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: Q_EMIT editRequested(); return;
    case Qt::Key_Delete: Q_EMIT deleteRequested(); return;
    default: QTableView::keyPressEvent(event);  // arrows, Shift and Ctrl+A select as usual
    }
}

void MixListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        Q_EMIT previewRequested();
}

void MixListView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MixListView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MixListView::dropEvent(QDropEvent* event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    Q_EMIT filesDropped(paths);
}

}  // namespace sonarel
