#include "LogReader.h"

#include "toolkit/DateTime.h"
#include "toolkit/Home.h"

#include <filesystem>
#include <sqlite3.h>

namespace zen::test {

namespace {

std::string Col(sqlite3_stmt* s, int i) {
    auto* t = sqlite3_column_text(s, i);
    return t ? reinterpret_cast<const char*>(t) : "";
}

template <typename F> void Query(const char* sql, F&& each) {
    auto path = MapWindowsPath("c:\\TevrinError");
    if (!std::filesystem::exists(path)) {
        return;
    }
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK) {
        while (sqlite3_step(s) == SQLITE_ROW) {
            each(s);
        }
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
}

} // namespace

std::vector<LogRow> ReadExceptionLog() {
    std::vector<LogRow> rows;
    Query("SELECT * FROM TevrinError", [&](sqlite3_stmt* s) {
        LogRow r;
        // A date-time text; a day number in logs written before it was one.
        if (sqlite3_column_type(s, 0) != SQLITE_TEXT || !TryIsoToDateTime(Col(s, 0), r.cas)) {
            r.cas = sqlite3_column_double(s, 0);
        }
        r.formName = Col(s, 1);
        r.controlName = Col(s, 2);
        r.senderName = Col(s, 3);
        r.objectName = Col(s, 4);
        r.operation = Col(s, 5);
        r.exceptObject = Col(s, 6);
        r.buildNo = sqlite3_column_int(s, 7);
        r.error = Col(s, 8);
        r.senderProp = Col(s, 9);
        rows.push_back(r);
    });
    return rows;
}

std::vector<std::string> ExceptionLogColumns() {
    std::vector<std::string> cols;
    Query("PRAGMA table_info(TevrinError)", [&](sqlite3_stmt* s) { cols.push_back(Col(s, 1)); });
    return cols;
}

} // namespace zen::test
