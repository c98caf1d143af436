#include "report/NapakaPdf.h"

#include "report/NapakaPainter.h"
#include "toolkit/Exceptions.h"
#include "toolkit/FileReplace.h"

#include <QFile>
#include <QPageLayout>
#include <QPdfWriter>
#include <algorithm>

namespace zen {

namespace {

std::string FailureText(const std::filesystem::path& file) {
    return "Poročila \"Napake prenosa\" ni mogoče zapisati v '" + file.string() + "'";
}

// The PDF engine reports no write errors of its own (a full disk passes silently), so the
// file is checked for the header and the end-of-file marker that every complete PDF has.
bool LooksComplete(QFile& f) {
    if (!f.flush() || f.size() < 16 || !f.seek(0) || f.read(5) != "%PDF-") {
        return false;
    }
    f.seek(std::max<qint64>(0, f.size() - 32));
    return f.read(32).contains("%%EOF");
}

} // namespace

void WriteNapakaPdf(const std::vector<TNapakaRow>& rows, const std::filesystem::path& file) {
    if (rows.empty()) {
        throw EInvalidOperation("Poročilo \"Napake prenosa\" brez napak se ne izpiše");
    }
    const std::filesystem::path target = std::filesystem::absolute(file);
    TReplacement replacement(target, AccessFor(target), FailureText(target));
    // The writer gets the open file, never its name: a name could be swapped for a link
    // between its creation and the writing.
    QFile pdf;
    if (!pdf.open(replacement.Descriptor(), QIODevice::ReadWrite, QFileDevice::DontCloseHandle)) {
        throw EInOutError(FailureText(target) + ": " + pdf.errorString().toStdString());
    }
    {
        QPdfWriter writer(&pdf);
        writer.setResolution(1200);
        writer.setTitle(QString::fromUtf8(napaka::kTitle));
        writer.setPageLayout(NapakaPageLayout());
        PaintNapakaReport(writer, rows);
    }
    if (!LooksComplete(pdf)) {
        throw EInOutError(FailureText(target) + ": zapisana datoteka ni popolna");
    }
    pdf.close();
    replacement.Commit();
}

} // namespace zen
