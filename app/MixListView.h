// SPDX-License-Identifier: GPL-3.0-or-later
// The mix list as the person sees it: a report view of a MixListModel with five centred columns,
// grid lines, full-row selection of several rows, and drops of files from a file manager. Row i
// always shows entry i, and the rows follow the model's own signals. Tab leaves the list (it does
// not walk its cells); a focus ring frames the list while the focus came from the keyboard. A
// missing file's name and an unreadable file's duration are italic (the duration red), and a muted
// entry's row is greyed.
#pragma once

#include <QBrush>
#include <QFont>
#include <QModelIndex>
#include <QStringList>
#include <QTableView>
#include <utility>
#include <vector>

#include "controls/KeyboardFocus.h"
#include "model/ListEditing.h"
#include "model/MixItem.h"

namespace sonarel {

class MixListModel;

// One cell as the view shows it, read from its model: what a table widget's item would tell.
class MixListCell {
public:
    explicit MixListCell(const QModelIndex& index) : index_(index) {}
    const MixListCell* operator->() const { return this; }  // reads like a table widget's item
    const QModelIndex& index() const { return index_; }
    QString text() const { return index_.data(Qt::DisplayRole).toString(); }
    QString toolTip() const { return index_.data(Qt::ToolTipRole).toString(); }
    QFont font() const { return index_.data(Qt::FontRole).value<QFont>(); }
    QBrush foreground() const { return index_.data(Qt::ForegroundRole).value<QBrush>(); }
    QVariant data(int role) const { return index_.data(role); }

private:
    QModelIndex index_;
};

// A header section's text, as a table widget's header item would tell it.
class MixListHeader {
public:
    explicit MixListHeader(QString text) : text_(std::move(text)) {}
    const MixListHeader* operator->() const { return this; }
    const QString& text() const { return text_; }

private:
    QString text_;
};

class MixListView : public QTableView {
    Q_OBJECT

public:
    // `list` outlives the view.
    explicit MixListView(MixListModel& list, QWidget* parent = nullptr);

    // For a store changed without the model (see MixListModel::reload): the rows read it again.
    void refresh(const MixItemStore& store);
    void updateRow(const MixItemStore& store, int row);
    void updateRows(const MixItemStore& store, const std::vector<int>& rows);
    SelectionCursor selectionCursor() const;  // the selected rows in ascending order
    int firstSelectedRow() const;             // -1 when none

    int rowCount() const;
    MixListCell item(int row, int column) const;
    MixListHeader horizontalHeaderItem(int column) const;
    QRect visualItemRect(const MixListCell& cell) const { return visualRect(cell.index()); }

Q_SIGNALS:
    void filesDropped(const QStringList& paths);
    void editRequested();     // Enter or Return
    void deleteRequested();   // Delete
    void previewRequested();  // a double click, on a row or beside the rows

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    MixListModel& list_;
    KeyboardFocus keyboardFocus_;
};

}  // namespace sonarel
