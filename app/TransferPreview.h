#pragma once
// The dry run in the window ("Preizkus"): what a transfer with the operator's inputs would
// write, as the run told it while rolling every invoice back, and how what a real run then
// wrote compares with it. The dialog "Predogled prenosa", its PDF and CSV files and the
// window's comparison after "Zapiši" all read it through the cells made here, so that the
// three show the same texts.

#include "report/NapakaLayout.h"
#include "toolkit/SloveneAmount.h"
#include "transfer/TransferRun.h"
#include "transfer/TransferUi.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zen {

struct TTransferPreview {
    TTransferOptions Options;              // the inputs of the dry run
    std::vector<TInvoiceSummary> Invoices; // in the order the run would write them
    std::vector<TNapakaRow> Errors;        // the error table's rows, as the report has them
    std::string Notice;                    // what the run told beside them, or empty
    bool FilePrices = true;                // the file's prices priced the lines, not the rules
    std::string Totals;                    // the run's control totals (ControlTotalsText)
};

// A date in the Slovene way: "6. 12. 2026".
std::string SloveneDate(TDateTime date);

inline constexpr const char* kPreviewTitle = "Predogled prenosa";

// The column headers and the cells of the three tables. The amounts of an invoice's row
// start at its kInvoiceAmountsFrom-th cell, those of a line's at its kLineAmountsFrom-th.
inline constexpr size_t kInvoiceAmountsFrom = 3;
inline constexpr size_t kLineAmountsFrom = 4;
const std::vector<std::string>& InvoiceHeaders();
const std::vector<std::string>& LineHeaders();
const std::vector<std::string>& ErrorHeaders();
std::vector<std::string> InvoiceCells(const TInvoiceSummary& invoice);
// "Skupaj", the number of invoices, the lines and the three amounts summed.
std::vector<std::string> TotalsCells(const std::vector<TInvoiceSummary>& invoices);
std::vector<std::string> LineCells(const TInvoiceLineSummary& line);
std::vector<std::string> ErrorCells(const TNapakaRow& row);
// The invoice's customers, each once, in the order of its lines.
std::string Customers(const TInvoiceSummary& invoice);

// The inputs the preview was made with, on one line.
std::string PreviewInputsLine(const TTransferPreview& preview);
// Whether the file's prices or Tevrin's rules price the lines.
std::string PricingLine(const TTransferPreview& preview);

// How what a real run wrote differs from the preview: the first invoice that differs and
// in what, or else the first error row; empty when it is the same.
std::string PreviewDifference(const TTransferPreview& preview,
                              const std::vector<TInvoiceSummary>& written,
                              const std::vector<TNapakaRow>& errors);

// The preview as a CSV file in the error report's conventions (NapakaCsv.h): the title and
// the lines above the tables, then the invoices with their totals, their lines and the
// records with errors, each table after an empty line and under its header line.
std::string PreviewCsv(const TTransferPreview& preview);
// Written whole or not at all; EInOutError when it cannot be.
void WritePreviewCsv(const TTransferPreview& preview, const std::filesystem::path& file);
// The same as a PDF on the error report's paper (Letter, 10 mm margins); needs a
// QGuiApplication. EInOutError when it cannot be written.
void WritePreviewPdf(const TTransferPreview& preview, const std::filesystem::path& file);

} // namespace zen
