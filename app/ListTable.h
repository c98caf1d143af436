#pragma once
// The read-only lists of the program's dialogs: whole rows selected one at a time, no row
// numbers, the last column stretched.

#include <QStringList>

class QTableWidget;
class QWidget;

namespace zen {

QTableWidget* ListTable(QWidget* parent, const QStringList& headers);
// Fills a row's cells with the texts, from the first column on.
void SetListRow(QTableWidget* table, int row, const QStringList& cells);

} // namespace zen
