#include "app/TransferPreview.h"

#include "report/NapakaCsv.h"
#include "report/NapakaPainter.h"
#include "report/PdfFile.h"
#include "toolkit/FileReplace.h"
#include "transfer/Ledger.h"
#include "transfer/TransferJournal.h"

#include <QPdfWriter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>
#include <QTextTable>
#include <algorithm>

namespace zen {

std::string SloveneDate(TDateTime date) {
    return FormatDateTime("d. m. yyyy", date);
}

const std::vector<std::string>& InvoiceHeaders() {
    static const std::vector<std::string> headers = {"Račun",    "Plačnik", "Kupci",     "Vrstic",
                                                     "Vrednost", "DDV",     "Za plačilo"};
    return headers;
}

const std::vector<std::string>& LineHeaders() {
    static const std::vector<std::string> headers = {"Kupec",    "Račun št.", "Artikel", "Naziv",
                                                     "Količina", "Cena",      "Rabat %", "Vrednost",
                                                     "DDV",      "Za plačilo"};
    return headers;
}

const std::vector<std::string>& ErrorHeaders() {
    static const std::vector<std::string> headers = {napaka::kStRacLabel, napaka::kNapakaLabel};
    return headers;
}

std::string Customers(const TInvoiceSummary& invoice) {
    std::vector<std::string> seen;
    std::string text;
    for (const TInvoiceLineSummary& line : invoice.Items) {
        if (std::find(seen.begin(), seen.end(), line.Kupec) == seen.end()) {
            text += (seen.empty() ? "" : ", ") + line.Kupec;
            seen.push_back(line.Kupec);
        }
    }
    return text;
}

std::vector<std::string> InvoiceCells(const TInvoiceSummary& i) {
    return {i.Kljuc,
            i.Placnik,
            Customers(i),
            std::to_string(i.Lines),
            SloveneAmount(i.Vrednost),
            SloveneAmount(i.Davek),
            SloveneAmount(i.ZaPlacilo)};
}

std::vector<std::string> TotalsCells(const std::vector<TInvoiceSummary>& invoices) {
    int lines = 0;
    Currency value, vat, payable;
    for (const TInvoiceSummary& i : invoices) {
        lines += i.Lines;
        value += i.Vrednost;
        vat += i.Davek;
        payable += i.ZaPlacilo;
    }
    return {"Skupaj",
            RacunCount(int64_t(invoices.size())),
            std::string(),
            std::to_string(lines),
            SloveneAmount(value),
            SloveneAmount(vat),
            SloveneAmount(payable)};
}

std::vector<std::string> LineCells(const TInvoiceLineSummary& l) {
    return {l.Kupec,
            l.StRac,
            l.Ident,
            l.Naziv,
            SloveneAmount(Currency::FromDouble(l.Kolicina), 0),
            SloveneAmount(l.Cena),
            SloveneAmount(l.Rabat, 0),
            SloveneAmount(l.Vrednost),
            SloveneAmount(l.Davek),
            SloveneAmount(l.ZaPlacilo)};
}

std::vector<std::string> ErrorCells(const TNapakaRow& row) {
    return {row.StRac, row.Napaka};
}

std::string PreviewInputsLine(const TTransferPreview& p) {
    const TTransferOptions& o = p.Options;
    TDateTime issue = 0;
    const std::string date = TryStrToDate(o.Datum, issue) ? SloveneDate(issue) : o.Datum;
    return "Poslovni dogodek " + o.PoslDog + ", referent " + o.Referent + ", datum računov " +
           date + ", baza " + o.DataSource + ", datoteka " + o.Path;
}

std::string PricingLine(const TTransferPreview& p) {
    return p.FilePrices ? "Cene vrstic so cene iz datoteke prenosa."
                        : "Cene vrstic so ocenjene po cenah in pravilih Tevrina.";
}

namespace {

// "vrednost 159,00 (v predogledu 149,00)" for each of the invoice's own values that differ.
std::vector<std::string> HeaderDifferences(const TInvoiceSummary& w, const TInvoiceSummary& p) {
    std::vector<std::string> found;
    auto compare = [&found](const char* what, const std::string& written,
                            const std::string& previewed) {
        if (written != previewed) {
            found.push_back(std::string(what) + " " + written + " (v predogledu " + previewed +
                            ")");
        }
    };
    compare("številka", w.Kljuc, p.Kljuc);
    compare("plačnik", w.Placnik, p.Placnik);
    compare("kupci", Customers(w), Customers(p));
    compare("vrstic", std::to_string(w.Lines), std::to_string(p.Lines));
    compare("vrednost", SloveneAmount(w.Vrednost), SloveneAmount(p.Vrednost));
    compare("DDV", SloveneAmount(w.Davek), SloveneAmount(p.Davek));
    compare("za plačilo", SloveneAmount(w.ZaPlacilo), SloveneAmount(p.ZaPlacilo));
    if (found.empty()) {
        // Only a line: which one, by the cells the dialog shows for it.
        for (size_t i = 0; i < w.Items.size() && i < p.Items.size(); ++i) {
            if (LineCells(w.Items[i]) != LineCells(p.Items[i])) {
                const std::vector<std::string>& headers = LineHeaders();
                const std::vector<std::string> a = LineCells(w.Items[i]);
                const std::vector<std::string> b = LineCells(p.Items[i]);
                std::string text =
                    "vrstica " + std::to_string(i + 1) + " (" + w.Items[i].Ident + "):";
                for (size_t c = 0; c < a.size(); ++c) {
                    if (a[c] != b[c]) {
                        text += " " + headers[c] + " " + a[c] + " (v predogledu " + b[c] + ")";
                    }
                }
                found.push_back(text);
                break;
            }
        }
    }
    return found;
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : separator) + part;
    }
    return text;
}

} // namespace

std::string PreviewDifference(const TTransferPreview& preview,
                              const std::vector<TInvoiceSummary>& written,
                              const std::vector<TNapakaRow>& errors) {
    const std::string head = "Zapisano se razlikuje od predogleda: baza Tevrin ali datoteka "
                             "prenosa se je medtem spremenila. ";
    const std::vector<TInvoiceSummary>& previewed = preview.Invoices;
    for (size_t i = 0; i < std::max(written.size(), previewed.size()); ++i) {
        if (i >= written.size()) {
            return head + "Račun " + previewed[i].Kljuc + " (" + previewed[i].Placnik +
                   ") iz predogleda ni zapisan.";
        }
        if (i >= previewed.size()) {
            return head + "Zapisan je račun " + written[i].Kljuc + " (" + written[i].Placnik +
                   "), ki ga v predogledu ni.";
        }
        const std::vector<std::string> found = HeaderDifferences(written[i], previewed[i]);
        if (!found.empty()) {
            return head + "Prvi drugačen račun je " + written[i].Kljuc + " (" + written[i].Placnik +
                   "): " + Joined(found, ", ") + ".";
        }
    }
    for (size_t i = 0; i < std::max(errors.size(), preview.Errors.size()); ++i) {
        const TNapakaRow none;
        const TNapakaRow& w = i < errors.size() ? errors[i] : none;
        const TNapakaRow& p = i < preview.Errors.size() ? preview.Errors[i] : none;
        if (w.StRac != p.StRac || w.Napaka != p.Napaka) {
            auto row = [](const TNapakaRow& r) {
                return r.StRac.empty() && r.Napaka.empty() ? std::string("brez napake")
                                                           : r.StRac + ": " + r.Napaka;
            };
            return head +
                   "Računi so kot v predogledu, zapisi z napakami pa ne; prvi drugačen: " + row(w) +
                   " (v predogledu " + row(p) + ").";
        }
    }
    return {};
}

namespace {

using TTableRows = std::vector<std::vector<std::string>>;

// The lines of every invoice, each led by its invoice's key.
TTableRows AllLineRows(const TTransferPreview& p) {
    TTableRows rows;
    for (const TInvoiceSummary& invoice : p.Invoices) {
        for (const TInvoiceLineSummary& line : invoice.Items) {
            std::vector<std::string> cells = LineCells(line);
            cells.insert(cells.begin(), invoice.Kljuc);
            rows.push_back(std::move(cells));
        }
    }
    return rows;
}

std::vector<std::string> AllLineHeaders() {
    std::vector<std::string> headers = LineHeaders();
    headers.insert(headers.begin(), InvoiceHeaders().front());
    return headers;
}

std::vector<std::string> TopLines(const TTransferPreview& p) {
    std::vector<std::string> lines = {kPreviewTitle, PreviewInputsLine(p), PricingLine(p)};
    if (!p.Notice.empty()) {
        lines.push_back(p.Notice);
    }
    if (!p.Totals.empty()) {
        lines.push_back(p.Totals);
    }
    return lines;
}

} // namespace

std::string PreviewCsv(const TTransferPreview& p) {
    TTableRows lines;
    for (const std::string& line : TopLines(p)) {
        lines.push_back({line});
    }
    auto table = [&lines](const std::vector<std::string>& headers, const TTableRows& rows) {
        lines.emplace_back();
        lines.push_back(headers);
        lines.insert(lines.end(), rows.begin(), rows.end());
    };
    TTableRows invoices;
    for (const TInvoiceSummary& invoice : p.Invoices) {
        invoices.push_back(InvoiceCells(invoice));
    }
    invoices.push_back(TotalsCells(p.Invoices));
    table(InvoiceHeaders(), invoices);
    table(AllLineHeaders(), AllLineRows(p));
    TTableRows errors;
    for (const TNapakaRow& row : p.Errors) {
        errors.push_back(ErrorCells(row));
    }
    table(ErrorHeaders(), errors);
    return CsvDocument(lines);
}

void WritePreviewCsv(const TTransferPreview& preview, const std::filesystem::path& file) {
    ReplaceFile(file, PreviewCsv(preview), AccessFor(file));
}

namespace {

constexpr double kPdfTextPoints = 8.0;

// A table of the PDF: a header row repeated on every page, amounts (the columns from
// `firstAmount` on) to the right, the last row in bold when `totals`.
void AddPdfTable(QTextCursor& cursor, const std::vector<std::string>& headers,
                 const TTableRows& rows, size_t firstAmount, bool totals) {
    QTextTableFormat format;
    format.setHeaderRowCount(1);
    format.setBorder(0.5);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderCollapse(true);
    format.setCellPadding(2);
    format.setCellSpacing(0);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QTextTable* table = cursor.insertTable(int(rows.size() + 1), int(headers.size()), format);
    auto put = [table, firstAmount](int row, size_t column, const std::string& text, bool bold) {
        QTextCursor cell = table->cellAt(row, int(column)).firstCursorPosition();
        QTextBlockFormat block;
        block.setAlignment(column >= firstAmount ? Qt::AlignRight : Qt::AlignLeft);
        cell.setBlockFormat(block);
        QTextCharFormat chars;
        chars.setFontWeight(bold ? QFont::Bold : QFont::Normal);
        cell.insertText(QString::fromStdString(text), chars);
    };
    for (size_t c = 0; c < headers.size(); ++c) {
        put(0, c, headers[c], true);
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < rows[r].size(); ++c) {
            put(int(r + 1), c, rows[r][c], totals && r + 1 == rows.size());
        }
    }
    cursor.movePosition(QTextCursor::End);
}

void AddPdfHeading(QTextCursor& cursor, const std::string& text, double points) {
    QTextCharFormat chars;
    chars.setFont(ReportFont(points));
    chars.setFontWeight(QFont::Bold);
    QTextBlockFormat block;
    block.setTopMargin(points);
    block.setBottomMargin(points / 2);
    cursor.insertBlock(block, chars);
    cursor.insertText(QString::fromStdString(text), chars);
}

} // namespace

void WritePreviewPdf(const TTransferPreview& p, const std::filesystem::path& file) {
    WritePdfFile(file, kPreviewTitle, [&p](QPdfWriter& writer) {
        writer.setPageLayout(NapakaPageLayout());
        QTextDocument document;
        document.setDefaultFont(ReportFont(kPdfTextPoints));
        // A name broken inside a word reads as two; a cell wraps between words only, and
        // the table gives each column at least its longest word.
        QTextOption wrapping = document.defaultTextOption();
        wrapping.setWrapMode(QTextOption::WordWrap);
        document.setDefaultTextOption(wrapping);
        QTextCursor cursor(&document);
        const std::vector<std::string> top = TopLines(p);
        QTextCharFormat title;
        title.setFont(ReportFont(napaka::kTitlePoints));
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        cursor.setBlockFormat(centred);
        cursor.insertText(QString::fromUtf8(kPreviewTitle), title);
        for (size_t i = 1; i < top.size(); ++i) {
            cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
            cursor.insertText(QString::fromStdString(top[i]));
        }
        TTableRows invoices;
        for (const TInvoiceSummary& invoice : p.Invoices) {
            invoices.push_back(InvoiceCells(invoice));
        }
        invoices.push_back(TotalsCells(p.Invoices));
        AddPdfHeading(cursor, "Računi", napaka::kTextPoints);
        AddPdfTable(cursor, InvoiceHeaders(), invoices, kInvoiceAmountsFrom, true);
        AddPdfHeading(cursor, "Vrstice računov", napaka::kTextPoints);
        AddPdfTable(cursor, AllLineHeaders(), AllLineRows(p), kLineAmountsFrom + 1, false);
        if (!p.Errors.empty()) {
            TTableRows errors;
            for (const TNapakaRow& row : p.Errors) {
                errors.push_back(ErrorCells(row));
            }
            AddPdfHeading(cursor, "Zapisi z napakami", napaka::kTextPoints);
            AddPdfTable(cursor, ErrorHeaders(), errors, ErrorHeaders().size(), false);
        }
        document.print(&writer);
    });
}

} // namespace zen
