#include "report/NapakaPdf.h"

#include "report/NapakaPainter.h"
#include "report/PdfFile.h"
#include "toolkit/Exceptions.h"

#include <QPageLayout>
#include <QPdfWriter>

namespace zen {

void WriteNapakaPdf(const std::vector<TNapakaRow>& rows, const std::filesystem::path& file) {
    if (rows.empty()) {
        throw EInvalidOperation("Poročilo \"Napake prenosa\" brez napak se ne izpiše");
    }
    WritePdfFile(file, napaka::kTitle, [&rows](QPdfWriter& writer) {
        writer.setPageLayout(NapakaPageLayout());
        PaintNapakaReport(writer, rows);
    });
}

} // namespace zen
