#include "app/ListTable.h"

#include <QHeaderView>
#include <QTableWidget>

namespace zen {

QTableWidget* ListTable(QWidget* parent, const QStringList& headers) {
    auto* t = new QTableWidget(0, int(headers.size()), parent);
    t->setHorizontalHeaderLabels(headers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->setVisible(false);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void SetListRow(QTableWidget* table, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c) {
        table->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
}

} // namespace zen
