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

// Sizes the columns to their texts. When they are wider together than the list, the
// columns before `keepFrom` (names, files) give up the difference, widest first, so that
// the columns from `keepFrom` on (amounts, states) are seen whole without scrolling.
void FitColumns(QTableWidget* table, int keepFrom);
// Fits the columns again whenever the list changes its size (as it does when its dialog
// first shows, with the fonts it is drawn in).
void KeepColumnsFitted(QTableWidget* table, int keepFrom);

} // namespace zen
