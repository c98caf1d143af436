#include "app/ListTable.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableWidget>
#include <algorithm>

namespace zen {

namespace {

// A name cut below this still tells the operator which row is which.
constexpr int kNarrowest = 60;

// Watches the list's viewport, whose new size is known when it is told of it.
class TColumnFitter : public QObject {
public:
    TColumnFitter(QTableWidget* table, int keepFrom)
        : QObject(table), table_(table), keepFrom_(keepFrom) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            FitColumns(table_, keepFrom_);
        }
        return false;
    }

private:
    QTableWidget* table_;
    int keepFrom_;
};

} // namespace

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

void FitColumns(QTableWidget* table, int keepFrom) {
    QHeaderView* header = table->horizontalHeader();
    // A stretched last column would be measured at its stretched width.
    header->setStretchLastSection(false);
    table->resizeColumnsToContents();
    int total = 0;
    for (int c = 0; c < table->columnCount(); ++c) {
        total += table->columnWidth(c);
    }
    int excess = total - table->viewport()->width();
    while (excess > 0) {
        int widest = -1;
        for (int c = 0; c < std::min(keepFrom, table->columnCount()); ++c) {
            if (table->columnWidth(c) > kNarrowest &&
                (widest < 0 || table->columnWidth(c) > table->columnWidth(widest))) {
                widest = c;
            }
        }
        if (widest < 0) {
            break; // nothing left to give: the list scrolls
        }
        const int width = table->columnWidth(widest);
        const int narrower = std::max(kNarrowest, width - excess);
        table->setColumnWidth(widest, narrower);
        excess -= width - narrower;
    }
    header->setStretchLastSection(true);
}

void KeepColumnsFitted(QTableWidget* table, int keepFrom) {
    table->viewport()->installEventFilter(new TColumnFitter(table, keepFrom));
}

} // namespace zen
