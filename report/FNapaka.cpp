#include "report/FNapaka.h"

#include "report/NapakaPainter.h"
#include "report/NapakaPdf.h"
#include "toolkit/DataSet.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Field.h"

#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

namespace zen {

namespace {

TNapaka* instance = nullptr;

} // namespace

TNapaka::TNapaka(TComponent* owner, TDataSet* table) : TComponent(owner), table_(table) {
    SetName("Napaka");
    if (table_) {
        FreeNotification(table_);
    }
    if (!instance) {
        instance = this;
    }
}

TNapaka::~TNapaka() {
    if (instance == this) {
        instance = nullptr;
    }
}

TNapaka* TNapaka::Instance() {
    return instance;
}

void TNapaka::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == table_) {
        table_ = nullptr;
    }
}

std::vector<TNapakaRow> TNapaka::Rows() {
    if (!table_) {
        throw EInvalidOperation("Poročilo \"Napake prenosa\" ni vezano na tabelo napak");
    }
    if (!table_->Active()) {
        throw EInvalidOperation("Tabela napak za poročilo \"Napake prenosa\" ni odprta");
    }
    std::vector<TNapakaRow> rows;
    TField* stRac = table_->FieldByName("StRac");
    TField* napaka = table_->FieldByName("Napaka");
    for (table_->First(); !table_->Eof(); table_->Next()) {
        rows.push_back({stRac->AsString(), napaka->AsString()});
    }
    table_->First();
    return rows;
}

bool TNapaka::Show(QWidget* parent) {
    std::vector<TNapakaRow> errors = Rows();
    if (errors.empty() && notice_.empty()) {
        return false;
    }
    const std::vector<TNapakaRow> rows = WithRunTexts(std::move(errors), notice_, totals_);
    QPrinter printer(QPrinter::HighResolution);
    SetupNapakaPrinter(printer);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QString::fromUtf8(napaka::kTitle));
    // The preview calls back from inside Qt's event handling, which an exception must not
    // cross: a page that cannot be drawn (a printer gone away) is told to the operator here.
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&rows, &preview](QPrinter* target) {
                         try {
                             PaintNapakaReport(*target, rows);
                         } catch (const std::exception& e) {
                             // Plain text: the fault's text may quote data.
                             QMessageBox box(QMessageBox::Critical,
                                             QString::fromUtf8(napaka::kTitle), QString(),
                                             QMessageBox::Ok, &preview);
                             box.setTextFormat(Qt::PlainText);
                             box.setText(QString::fromUtf8(e.what()));
                             box.exec();
                         }
                     });
    // The page at its own size, not fitted to the window.
    if (auto* view = preview.findChild<QPrintPreviewWidget*>()) {
        view->setZoomMode(QPrintPreviewWidget::CustomZoom);
        view->setZoomFactor(1.0);
    }
    preview.exec();
    return true;
}

bool TNapaka::ExportPdf(const std::filesystem::path& file) {
    std::vector<TNapakaRow> errors = Rows();
    if (errors.empty() && notice_.empty()) {
        return false;
    }
    WriteNapakaPdf(WithRunTexts(std::move(errors), notice_, totals_), file);
    return true;
}

} // namespace zen
