#include "report/PdfFile.h"

#include "toolkit/Exceptions.h"
#include "toolkit/FileReplace.h"

#include <QFile>
#include <QPdfWriter>
#include <algorithm>

namespace zen {

namespace {

std::string FailureText(const std::string& title, const std::filesystem::path& file) {
    return "Poročila \"" + title + "\" ni mogoče zapisati v '" + file.string() + "'";
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

void WritePdfFile(const std::filesystem::path& file, const std::string& title,
                  const std::function<void(QPdfWriter&)>& paint) {
    const std::filesystem::path target = std::filesystem::absolute(file);
    TReplacement replacement(target, AccessFor(target), FailureText(title, target));
    // The writer gets the open file, never its name: a name could be swapped for a link
    // between its creation and the writing.
    QFile pdf;
    if (!pdf.open(replacement.Descriptor(), QIODevice::ReadWrite, QFileDevice::DontCloseHandle)) {
        throw EInOutError(FailureText(title, target) + ": " + pdf.errorString().toStdString());
    }
    {
        QPdfWriter writer(&pdf);
        writer.setResolution(1200);
        writer.setTitle(QString::fromStdString(title));
        paint(writer);
    }
    if (!LooksComplete(pdf)) {
        throw EInOutError(FailureText(title, target) + ": zapisana datoteka ni popolna");
    }
    pdf.close();
    replacement.Commit();
}

} // namespace zen
