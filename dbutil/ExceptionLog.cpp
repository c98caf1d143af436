#include "dbutil/ExceptionLog.h"

#include "dbutil/CaughtFault.h"

#include "dbutil/ExceptionLogDetails.h"
#include "localtable/SqliteFile.h"
#include "toolkit/Component.h"
#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"
#include "toolkit/FileReplace.h"
#include "toolkit/Home.h"
#include "toolkit/Text.h"

#include <QApplication>
#include <QWidget>
#include <iterator>
#include <memory>
#include <sqlite3.h>
#include <utility>
#include <vector>

namespace zen {

namespace {

// The log's columns in their fixed order; the text widths are in characters. "Cas" holds
// SQLite's date-time text, so that any reader of the file sees when it happened.
constexpr const char* kColumns[] = {"Cas",        "FormName",  "ControlName",  "SenderName",
                                    "ObjectName", "Operation", "ExceptObject", "BuildNo",
                                    "Error",      "SenderProp"};
constexpr const char* kCreate = "CREATE TABLE \"TevrinError\" ("
                                "\"Cas\" DATETIME, "
                                "\"FormName\" VARCHAR(20), "
                                "\"ControlName\" VARCHAR(20), "
                                "\"SenderName\" VARCHAR(20), "
                                "\"ObjectName\" VARCHAR(100), "
                                "\"Operation\" VARCHAR(30), "
                                "\"ExceptObject\" VARCHAR(20), "
                                "\"BuildNo\" SMALLINT, "
                                "\"Error\" VARCHAR(255), "
                                "\"SenderProp\" TEXT)";

// Logs written before "Cas" was a date-time kept it as a day number (days since
// 30 December 1899, Julian day 2415018.5); they are rewritten once in the current shape.
constexpr const char* kUpgrade =
    "ALTER TABLE \"TevrinError\" RENAME TO \"TevrinErrorOld\";"
    "%CREATE%;"
    "INSERT INTO \"TevrinError\" SELECT CASE WHEN typeof(\"Cas\") IN ('real', 'integer') "
    "THEN strftime('%Y-%m-%d %H:%M:%f', \"Cas\" + 2415018.5) ELSE \"Cas\" END, "
    "\"FormName\", \"ControlName\", \"SenderName\", \"ObjectName\", \"Operation\", "
    "\"ExceptObject\", \"BuildNo\", \"Error\", \"SenderProp\" FROM \"TevrinErrorOld\";"
    "DROP TABLE \"TevrinErrorOld\"";

constexpr const char* kInsert =
    "INSERT INTO \"TevrinError\" (\"Cas\", \"FormName\", \"ControlName\", \"SenderName\", "
    "\"ObjectName\", \"Operation\", \"ExceptObject\", \"BuildNo\", \"Error\", \"SenderProp\") "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

constexpr int kBuildNo = 910;

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

using Db = lite::DbHandle;

bool Damage(int rc) {
    return rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT;
}

enum class TLogState { Ready, NotALog };

// Makes sure the open file holds the log table in its current shape. NotALog when the file
// is no SQLite database, is damaged, or holds a "TevrinError" of another shape.
TLogState PrepareLog(sqlite3* db) {
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT name, type FROM pragma_table_info('TevrinError')", -1,
                                &raw, nullptr);
    lite::StmtHandle info(raw);
    std::vector<std::pair<std::string, std::string>> columns;
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(info.get())) == SQLITE_ROW) {
            columns.emplace_back(lite::ColumnText(info.get(), 0),
                                 AsciiUpper(lite::ColumnText(info.get(), 1)));
        }
    }
    if (Damage(rc)) {
        return TLogState::NotALog;
    }
    if (rc != SQLITE_DONE) {
        throw EDatabaseError(std::string("Exception log: ") + sqlite3_errmsg(db));
    }
    if (columns.empty()) {
        lite::Exec(db, kCreate, "Exception log");
        return TLogState::Ready;
    }
    if (columns.size() != std::size(kColumns)) {
        return TLogState::NotALog;
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!SameName(columns[i].first, kColumns[i])) {
            return TLogState::NotALog;
        }
    }
    if (columns[0].second == "REAL") {
        std::string upgrade = kUpgrade;
        upgrade.replace(upgrade.find("%CREATE%"), 8, kCreate);
        lite::Transaction t(db, "Exception log");
        lite::Exec(db, upgrade, "Exception log");
        t.Commit();
    }
    return TLogState::Ready;
}

Db OpenLog(const std::filesystem::path& path) {
    CreateOwnerFile(path);  // its owner's alone, its -wal and -journal too; else the open says why
    lite::CheckFiles(path); // a pipe in its place must lose the row, not hang the program
    sqlite3* raw = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Db db(raw);
    if (rc != SQLITE_OK) {
        throw EDatabaseError("Exception log: cannot open " + path.string());
    }
    sqlite3_busy_timeout(db.get(), 2000);
    if (PrepareLog(db.get()) == TLogState::NotALog) {
        return nullptr;
    }
    return db;
}

struct TLogRow {
    std::string cas, form, control, senderName, objectName, operation, exceptObject, error, details;
};

// False when the file proves damaged while the row is written.
bool Append(sqlite3* db, const TLogRow& row) {
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db, kInsert, -1, &raw, nullptr);
    lite::StmtHandle stmt(raw);
    if (rc == SQLITE_OK) {
        BindText(stmt.get(), 1, row.cas, 0);
        BindText(stmt.get(), 2, row.form, 20);
        BindText(stmt.get(), 3, row.control, 20);
        BindText(stmt.get(), 4, row.senderName, 20);
        BindText(stmt.get(), 5, row.objectName, 100);
        BindText(stmt.get(), 6, row.operation, 30);
        BindText(stmt.get(), 7, row.exceptObject, 20);
        sqlite3_bind_int(stmt.get(), 8, kBuildNo);
        BindText(stmt.get(), 9, row.error, 255);
        BindText(stmt.get(), 10, row.details, 0);
        rc = sqlite3_step(stmt.get());
    }
    return !Damage(rc);
}

void WriteRow(const std::exception& e, const TObject* sender, const std::string& operation) {
    TLogRow row;
    row.cas = DateTimeToIso(Now());
    ActiveNames(row.form, row.control);
    // Each part about the failing object is tried on its own: one that fails is left out.
    try {
        row.senderName = sender ? sender->ClassName() : "";
    } catch (...) {
    }
    try {
        if (auto* component = dynamic_cast<const TComponent*>(sender)) {
            row.objectName = component->Name();
        }
    } catch (...) {
    }
    row.details = SenderDetails(sender);
    row.operation = operation;
    row.exceptObject = ExceptionClassName(e);
    row.error = e.what();

    std::filesystem::path path = MapWindowsPath("c:\\TevrinError");
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (Db db = OpenLog(path); db && Append(db.get(), row)) {
            return;
        }
        if (attempt == 0) {
            // A file that is not the log would swallow every later row: it is kept for
            // whoever wants to look at it, and a new log takes its place.
            lite::MoveAside(path);
        }
    }
}

thread_local TFaultWatch* currentWatch = nullptr;

} // namespace

TFaultWatch::TFaultWatch(const char* ignored) noexcept : ignored_(ignored), outer_(currentWatch) {
    currentWatch = this;
}

TFaultWatch::~TFaultWatch() {
    currentWatch = outer_;
}

void TFaultWatch::Notice(const std::exception& e, const char* className,
                         const std::string& operation) noexcept {
    if (!currentWatch || (currentWatch->ignored_ && operation == currentWatch->ignored_)) {
        return;
    }
    try {
        currentWatch->fault_.Keep(std::make_exception_ptr(std::runtime_error(e.what())), className,
                                  e.what());
    } catch (...) {
        // Out of memory: the fault is still in the log.
    }
}

void LogException(const std::exception& e, const TObject* sender, const std::string& operation) {
    try {
        if (std::string_view(ExceptionClassName(e)) == "EAbort") {
            return;
        }
        TFaultWatch::Notice(e, ExceptionClassName(e), operation);
        WriteRow(e, sender, operation);
    } catch (...) {
        // A log that cannot be written loses the row; the caller goes on.
    }
}

} // namespace zen
