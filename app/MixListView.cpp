// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MixListView.h"

#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <algorithm>
#include <set>

#include "model/MixListRows.h"
#include "platform/FileChecks.h"
#include "platform/MessageText.h"
#include "platform/NativePath.h"

namespace sonarel {

namespace {
// A file that is gone (moved, deleted, on a drive that is not there) says so in its row; the Mix
// command's own check names it again before mixing.
void markIfMissing(QTableWidgetItem& cell, const QString& path)
{
    if (path.isEmpty() || fileIdentity(path)) {
        cell.setToolTip(readablePath(path));
        return;
    }
    cell.setText(QStringLiteral("%1 (missing)").arg(cell.text()));
    cell.setToolTip(QStringLiteral("Missing: %1").arg(readablePath(path)));
    QFont font = cell.font();
    font.setItalic(true);
    cell.setFont(font);
}

// A file whose length could not be measured keeps the described duration text (-0.000 or 0.000),
// which reads like a length; the cell is marked so that it is not taken for one.
void markIfUnreadable(QTableWidgetItem& cell, const MixItem& item)
{
    if (item.duration > 0 || !QFileInfo::exists(item.filePathText()))
        return;
    const QString why = QStringLiteral(
                            "Unreadable: %1 is not a media file that can be played; it stays silent in "
                            "the mix.")
                            .arg(nameInMessage(QString::fromStdString(displayName(item.filePath))));
    cell.setToolTip(why);
    cell.setData(Qt::AccessibleTextRole, QStringLiteral("unreadable"));
    cell.setData(Qt::AccessibleDescriptionRole, why);
    cell.setForeground(QColor(0xb0, 0x20, 0x20));
    QFont font = cell.font();
    font.setItalic(true);
    cell.setFont(font);
}

// A muted entry stays in its place but is not mixed: its row is greyed and its name says so.
void markIfMuted(QTableWidgetItem& cell, const QColor& grey, bool isNameCell)
{
    cell.setForeground(grey);
    if (isNameCell) {
        cell.setText(QStringLiteral("%1 (muted)").arg(cell.text()));
        cell.setToolTip(QStringLiteral("Muted: %1").arg(cell.toolTip()));
    }
}

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

MixListView::MixListView(QWidget* parent) : QTableWidget(0, kMixListColumnCount, parent)
{
    QStringList headers;
    for (const MixListColumn& column : kMixListColumns)
        headers << QString::fromUtf8(column.header.data(), static_cast<qsizetype>(column.header.size()));
    setHorizontalHeaderLabels(headers);
    // The widths suit a small font; a header never gets narrower than its text, and the name
    // column takes whatever room is left.
    const QFontMetrics headerMetrics(horizontalHeader()->font());
    for (int c = 0; c < kMixListColumnCount; ++c) {
        QTableWidgetItem* header = horizontalHeaderItem(c);
        header->setTextAlignment(Qt::AlignCenter);
        const int textWidth = headerMetrics.horizontalAdvance(header->text()) + 2 * headerMetrics.averageCharWidth();
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
}

void MixListView::focusInEvent(QFocusEvent* event)
{
    keyboardFocus_.focusIn(*event);
    QTableWidget::focusInEvent(event);
    viewport()->update();
}

void MixListView::focusOutEvent(QFocusEvent* event)
{
    keyboardFocus_.focusOut(*event);
    QTableWidget::focusOutEvent(event);
    viewport()->update();
}

void MixListView::mousePressEvent(QMouseEvent* event)
{
    if (keyboardFocus_.mousePressed())
        viewport()->update();
    QTableWidget::mousePressEvent(event);
}

void MixListView::paintEvent(QPaintEvent* event)
{
    QTableWidget::paintEvent(event);
    if (keyboardFocus_.ringVisible(*this)) {
        QPainter painter(viewport());
        paintFocusRing(painter, *this, viewport()->rect());
    }
}

void MixListView::scrollContentsBy(int dx, int dy)
{
    QTableWidget::scrollContentsBy(dx, dy);
    // Scrolling moves the painted pixels, the ring with them; paint it afresh where it belongs.
    if (keyboardFocus_.ringVisible(*this))
        viewport()->update();
}

void MixListView::fillRow(const MixItem& item, int row)
{
    for (int c = 0; c < kMixListColumnCount; ++c) {
        auto* cell = new QTableWidgetItem(QString::fromStdString(readableBytes(cellText(item, c))));
        cell->setTextAlignment(Qt::AlignCenter);
        if (c == 0)
            markIfMissing(*cell, item.filePathText());
        if (c == 1)
            markIfUnreadable(*cell, item);
        if (item.muted)
            markIfMuted(*cell, palette().color(QPalette::Disabled, QPalette::Text), c == 0);
        setItem(row, c, cell);
    }
}

void MixListView::refresh(const MixItemStore& store)
{
    clearContents();
    setRowCount(store.audioCount());
    for (int i = 0; i < store.audioCount(); ++i)
        fillRow(store.at(i), i);
    Q_EMIT listChanged();
}

void MixListView::updateRow(const MixItemStore& store, int row)
{
    if (row >= 0 && row < store.audioCount() && row < rowCount()) {
        fillRow(store.at(row), row);
        Q_EMIT listChanged();
    }
}

void MixListView::updateRows(const MixItemStore& store, const std::vector<int>& rows)
{
    for (int row : rows) {
        if (row >= 0 && row < store.audioCount() && row < rowCount())
            fillRow(store.at(row), row);
    }
    Q_EMIT listChanged();
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
    default: QTableWidget::keyPressEvent(event);  // arrows, Shift and Ctrl+A select as usual
    }
}

void MixListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableWidget::mouseDoubleClickEvent(event);
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
