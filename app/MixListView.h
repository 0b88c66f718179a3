// The mix list as the person sees it: a report view with five centred columns, grid lines, full-row
// selection of several rows, and drops of files from a file manager. Row i always shows entry i.
#pragma once

#include <QStringList>
#include <QTableWidget>

#include "model/ListEditing.h"
#include "model/MixItem.h"

namespace sonarel {

class MixListView : public QTableWidget {
    Q_OBJECT

public:
    explicit MixListView(QWidget* parent = nullptr);

    void refresh(const MixItemStore& store);      // all rows from the store
    void updateRow(const MixItemStore& store, int row);
    SelectionCursor selectionCursor() const;     // the selected rows in ascending order
    int firstSelectedRow() const;                // -1 when none

Q_SIGNALS:
    void filesDropped(const QStringList& paths);
    void editRequested();     // Enter or Return
    void deleteRequested();   // Delete
    void previewRequested();  // a double click, on a row or beside the rows

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void fillRow(const MixItem& item, int row);
};

}  // namespace sonarel
