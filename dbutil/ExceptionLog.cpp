#include "dbutil/ExceptionLog.h"

#include "dbutil/ExceptionLogDetails.h"
#include "toolkit/Component.h"
#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Home.h"
#include "toolkit/Text.h"

#include <QApplication>
#include <QWidget>
#include <memory>
#include <sqlite3.h>

namespace zen {

namespace {

// The log's columns in their fixed order; the text widths are in characters.
constexpr const char* kCreate = "CREATE TABLE IF NOT EXISTS \"TevrinError\" ("
                                "\"Cas\" REAL, "
                                "\"FormName\" VARCHAR(20), "
                                "\"ControlName\" VARCHAR(20), "
                                "\"SenderName\" VARCHAR(20), "
                                "\"ObjectName\" VARCHAR(100), "
                                "\"Operation\" VARCHAR(30), "
                                "\"ExceptObject\" VARCHAR(20), "
                                "\"BuildNo\" SMALLINT, "
                                "\"Error\" VARCHAR(255), "
                                "\"SenderProp\" TEXT)";

constexpr const char* kInsert =
    "INSERT INTO \"TevrinError\" (\"Cas\", \"FormName\", \"ControlName\", \"SenderName\", "
    "\"ObjectName\", \"Operation\", \"ExceptObject\", \"BuildNo\", \"Error\", \"SenderProp\") "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

constexpr int kBuildNo = 910;

struct DbClose {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StmtFinalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

void BindText(sqlite3_stmt* stmt, int index, const std::string& text, size_t width) {
    std::string cut = width ? Utf8Left(text, width) : text;
    sqlite3_bind_text(stmt, index, cut.data(), static_cast<int>(cut.size()), SQLITE_TRANSIENT);
}

// The active window and its focused control, when the program has a window system.
void ActiveNames(std::string& form, std::string& control) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return;
    }
    if (QWidget* w = QApplication::activeWindow()) {
        form = w->objectName().toStdString();
    }
    if (QWidget* f = QApplication::focusWidget()) {
        control = f->objectName().toStdString();
    }
}

void WriteRow(const std::exception& e, const TObject* sender, const std::string& operation) {
    std::filesystem::path path = MapWindowsPath("c:\\TevrinError");
    sqlite3* raw = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::unique_ptr<sqlite3, DbClose> db(raw);
    if (rc != SQLITE_OK) {
        return;
    }
    sqlite3_busy_timeout(db.get(), 2000);
    if (sqlite3_exec(db.get(), kCreate, nullptr, nullptr, nullptr) != SQLITE_OK) {
        return;
    }
    sqlite3_stmt* rawStmt = nullptr;
    if (sqlite3_prepare_v2(db.get(), kInsert, -1, &rawStmt, nullptr) != SQLITE_OK) {
        return;
    }
    std::unique_ptr<sqlite3_stmt, StmtFinalize> stmt(rawStmt);

    std::string form, control;
    ActiveNames(form, control);
    // Each part about the failing object is tried on its own: one that fails is left out.
    std::string senderName, objectName, details;
    try {
        senderName = sender ? sender->ClassName() : "";
    } catch (...) {
    }
    try {
        if (auto* component = dynamic_cast<const TComponent*>(sender)) {
            objectName = component->Name();
        }
    } catch (...) {
    }
    details = SenderDetails(sender);

    sqlite3_bind_double(stmt.get(), 1, Now());
    BindText(stmt.get(), 2, form, 20);
    BindText(stmt.get(), 3, control, 20);
    BindText(stmt.get(), 4, senderName, 20);
    BindText(stmt.get(), 5, objectName, 100);
    BindText(stmt.get(), 6, operation, 30);
    BindText(stmt.get(), 7, ExceptionClassName(e), 20);
    sqlite3_bind_int(stmt.get(), 8, kBuildNo);
    BindText(stmt.get(), 9, e.what(), 255);
    BindText(stmt.get(), 10, details, 0);
    sqlite3_step(stmt.get());
}

} // namespace

void LogException(const std::exception& e, const TObject* sender, const std::string& operation) {
    try {
        if (std::string_view(ExceptionClassName(e)) == "EAbort") {
            return;
        }
        WriteRow(e, sender, operation);
    } catch (...) {
        // A log that cannot be written loses the row; the caller goes on.
    }
}

} // namespace zen
