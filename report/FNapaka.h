#pragma once
// TNapaka: the transfer error report "Napake prenosa" over the error table. Made once at
// program start, right after the main window, and bound to the error table for its life.
// It prints one line per error row in the table's order, is shown as a print preview from
// which the operator prints, and can write itself to a PDF file.

#include "report/NapakaLayout.h"
#include "toolkit/Component.h"

#include <filesystem>
#include <vector>

class QWidget;

namespace zen {

class TDataSet;

class TNapaka : public TComponent {
public:
    // table: the error table (tbNapaka); the report drops its reference if the table goes
    // first. The first report made becomes Instance().
    TNapaka(TComponent* owner, TDataSet* table);
    ~TNapaka() override;
    const char* ClassName() const noexcept override { return "TNapaka"; }

    // The report made at program start, nullptr when there is none.
    static TNapaka* Instance();

    TDataSet* DataSet() const { return table_; }
    // A notice of the run that the report prints before the error rows; empty for none.
    void SetNotice(const std::string& notice) { notice_ = notice; }
    // The run's control totals, printed after the error rows; empty for none.
    void SetTotals(const std::string& totals) { totals_ = totals; }

    // The error rows from the first to the last, in the table's order; the table is left
    // on its first row. EInvalidOperation without a table or when it is closed.
    std::vector<TNapakaRow> Rows();

    // Goes to the table's first row and opens the modal print preview; returns when the
    // operator closes it. The rows are read before the preview opens, so the preview keeps
    // showing them whatever becomes of the table meanwhile. An empty table shows nothing
    // and answers false.
    bool Show(QWidget* parent = nullptr);

    // Writes the report to a PDF file, whole or not at all (see WriteNapakaPdf). An empty
    // table writes no file and answers false.
    bool ExportPdf(const std::filesystem::path& file);

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    TDataSet* table_;
    std::string notice_;
    std::string totals_;
};

} // namespace zen
