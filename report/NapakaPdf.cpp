#include "report/NapakaPdf.h"

#include "report/NapakaPainter.h"
#include "toolkit/Exceptions.h"

#include <QFile>
#include <QPrinter>
#include <QTemporaryFile>
#include <algorithm>
#include <system_error>

namespace zen {

namespace {

[[noreturn]] void Fail(const std::filesystem::path& file, const std::string& why) {
    throw EInOutError("Poročila \"Napake prenosa\" ni mogoče zapisati v '" + file.string() +
                      "': " + why);
}

// The PDF engine reports no write errors of its own (a full disk passes silently), so the
// file is checked for the header and the end-of-file marker that every complete PDF has.
bool LooksComplete(const QString& name) {
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly) || f.size() < 16) {
        return false;
    }
    if (f.read(5) != "%PDF-") {
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
    QTemporaryFile temp(QString::fromStdString(target.string() + ".XXXXXX"));
    if (!temp.open()) {
        Fail(target, temp.errorString().toStdString());
    }
    temp.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    temp.close(); // the printer writes the file by its name; the object keeps it reserved
    const QString tempName = temp.fileName();

    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(tempName);
        SetupNapakaPrinter(printer);
        PaintNapakaReport(printer, rows);
    }
    if (!LooksComplete(tempName)) {
        Fail(target, "zapisana datoteka ni popolna");
    }
    std::error_code ec;
    std::filesystem::rename(tempName.toStdString(), target, ec);
    if (ec) {
        Fail(target, ec.message());
    }
    temp.setAutoRemove(false);
}

} // namespace zen
