// SPDX-License-Identifier: GPL-3.0-or-later
// The mix list as the person sees it: a report view with five centred columns, grid lines, full-row
// selection of several rows, and drops of files from a file manager. Row i always shows entry i.
// Tab leaves the list (it does not walk its cells); a focus ring frames the list while the focus
// came from the keyboard. A muted entry's row is greyed and its name ends in "(muted)".
#pragma once

#include <QStringList>
#include <QTableWidget>
#include <vector>

#include "controls/KeyboardFocus.h"
#include "model/ListEditing.h"
#include "model/MixItem.h"

namespace sonarel {

class MixListView : public QTableWidget {
    Q_OBJECT

public:
    explicit MixListView(QWidget* parent = nullptr);

    void refresh(const MixItemStore& store);  // all rows from the store
    void updateRow(const MixItemStore& store, int row);
    // Rewrites the given rows, keeping the selection, and says once that the list changed.
    void updateRows(const MixItemStore& store, const std::vector<int>& rows);
    SelectionCursor selectionCursor() const;  // the selected rows in ascending order
    int firstSelectedRow() const;             // -1 when none

Q_SIGNALS:
    void filesDropped(const QStringList& paths);
    void editRequested();     // Enter or Return
    void deleteRequested();   // Delete
    void previewRequested();  // a double click, on a row or beside the rows
    // The rows were rewritten from the store: whatever shows the list follows.
    void listChanged();

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
    void fillRow(const MixItem& item, int row);

    KeyboardFocus keyboardFocus_;
};

}  // namespace sonarel
