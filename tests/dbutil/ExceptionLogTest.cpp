#include "dbutil/ExceptionLog.h"
#include "LogReader.h"
#include "localtable/Table.h"
#include "support/TestSupport.h"
#include "toolkit/Component.h"
#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Home.h"

#include <QApplication>
#include <QLineEdit>
#include <fstream>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace zen;

TEST(ExceptionLog, FirstRowCreatesTheTableWithItsTenColumns) {
    test::TempHome home;
    EXPECT_FALSE(std::filesystem::exists(home.Path() / "c" / "TevrinError"));
    TComponent owner;
    owner.SetName("tbLookMS");
    LogException(EConvertError("'12a' is not a valid integer value"), &owner, "sqlFindKey");
    EXPECT_EQ(
        test::ExceptionLogColumns(),
        (std::vector<std::string>{"Cas", "FormName", "ControlName", "SenderName", "ObjectName",
                                  "Operation", "ExceptObject", "BuildNo", "Error", "SenderProp"}));
    auto rows = test::ReadExceptionLog();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].senderName, "TComponent");
    EXPECT_EQ(rows[0].objectName, "tbLookMS");
    EXPECT_EQ(rows[0].operation, "sqlFindKey");
    EXPECT_EQ(rows[0].exceptObject, "EConvertError");
    EXPECT_EQ(rows[0].buildNo, 910);
    EXPECT_EQ(rows[0].error, "'12a' is not a valid integer value");
    EXPECT_NEAR(rows[0].cas, Now(), 1.0 / 24);
}

TEST(ExceptionLog, AbortIsNeverLoggedAndTextsAreCutInCharacters) {
    test::TempHome home;
    LogException(EAbort("quiet"), &Application(), "DivT");
    EXPECT_TRUE(test::ReadExceptionLog().empty());

    std::string longOp(40, 'x');
    std::string message;
    for (int i = 0; i < 300; ++i) {
        message += "č";
    }
    LogException(Exception(message), nullptr, "Operacija čšž " + longOp);
    auto rows = test::ReadExceptionLog();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].error.size(), 255u * 2); // 255 two-byte letters
    EXPECT_EQ(rows[0].operation, "Operacija čšž " + std::string(16, 'x'));
    EXPECT_EQ(rows[0].senderName, "");
    EXPECT_EQ(rows[0].exceptObject, "Exception");
}

TEST(ExceptionLog, NamesTheActiveWindowAndControl) {
    test::TempHome home;
    int argc = 1;
    char arg0[] = "test";
    char* argv[] = {arg0, nullptr};
    QApplication app(argc, argv);
    QWidget window;
    window.setObjectName("Main");
    auto* edit = new QLineEdit(&window);
    edit->setObjectName("fPath");
    window.show();
    QApplication::setActiveWindow(&window);
    edit->setFocus();
    QApplication::processEvents();
    LogException(std::runtime_error("boom"), &Application(), "GetStringFromIniFile");
    auto rows = test::ReadExceptionLog();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].formName, "Main");
    EXPECT_EQ(rows[0].controlName, "fPath");
    EXPECT_EQ(rows[0].senderName, "TApplication");
    EXPECT_EQ(rows[0].objectName, "");
    EXPECT_EQ(rows[0].senderProp, "");
}

TEST(ExceptionLog, AnUnwritableLogIsSwallowed) {
    test::TempHome home;
    std::filesystem::create_directories(home.Path() / "c" / "TevrinError"); // a directory
    EXPECT_NO_THROW(LogException(Exception("lost"), nullptr, "RoundT"));
}

namespace {

void Sql(const std::filesystem::path& file, const char* statements) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
}

std::string SqlText(const std::filesystem::path& file, const char* query) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, query, -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW && sqlite3_column_text(s, 0)) {
        out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
}

} // namespace

// Before, every later row vanished silently into such a file.
TEST(ExceptionLog, AFileThatIsNotTheLogIsMovedAsideAndANewLogTakesItsPlace) {
    test::TempHome home;
    auto path = MapWindowsPath("c:\\TevrinError");
    std::ofstream(path) << "to ni baza\n";
    LogException(Exception("prva"), nullptr, "RoundT");
    auto rows = test::ReadExceptionLog();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].error, "prva");
    std::ifstream kept(path.string() + ".damaged");
    std::string text;
    std::getline(kept, text);
    EXPECT_EQ(text, "to ni baza");

    std::filesystem::remove(path);
    Sql(path, "CREATE TABLE TevrinError (Cas REAL, Napaka TEXT);"
              "INSERT INTO TevrinError VALUES (1, 'tuja')");
    LogException(Exception("druga"), nullptr, "RoundT");
    LogException(Exception("tretja"), nullptr, "RoundT");
    rows = test::ReadExceptionLog();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].error, "tretja");
    EXPECT_EQ(SqlText(path.string() + ".damaged2", "SELECT Napaka FROM TevrinError"), "tuja");
}

TEST(ExceptionLog, CasIsADateTimeToAnyReaderAndToTTable) {
    test::TempHome home;
    auto path = MapWindowsPath("c:\\TevrinError");
    // A log written when "Cas" was a day number: 10 December 2025, 12:00.
    Sql(path, "CREATE TABLE \"TevrinError\" (\"Cas\" REAL, \"FormName\" VARCHAR(20), "
              "\"ControlName\" VARCHAR(20), \"SenderName\" VARCHAR(20), "
              "\"ObjectName\" VARCHAR(100), \"Operation\" VARCHAR(30), "
              "\"ExceptObject\" VARCHAR(20), \"BuildNo\" SMALLINT, \"Error\" VARCHAR(255), "
              "\"SenderProp\" TEXT);"
              "INSERT INTO TevrinError (Cas, Error, BuildNo) VALUES (46001.5, 'stara', 910)");
    LogException(Exception("nova"), nullptr, "DivT");

    EXPECT_EQ(SqlText(path, "SELECT type FROM pragma_table_info('TevrinError') WHERE name='Cas'"),
              "DATETIME");
    EXPECT_EQ(SqlText(path, "SELECT Cas FROM TevrinError WHERE Error = 'stara'"),
              "2025-12-10 12:00:00.000");
    EXPECT_EQ(SqlText(path, "SELECT count(*) FROM TevrinError WHERE typeof(Cas) = 'text' AND "
                            "julianday(Cas) > 2460000"),
              "2");

    TTable t;
    t.SetTableName("c:\\TevrinError");
    t.Open();
    ASSERT_EQ(t.RecordCount(), 2);
    EXPECT_EQ(t.FieldByName("Cas")->DataType(), ftDateTime);
    t.First();
    EXPECT_EQ(t.FieldByName("Error")->AsString(), "stara");
    EXPECT_DOUBLE_EQ(t.FieldByName("Cas")->AsDateTime(), 46001.5);
    t.Next();
    EXPECT_EQ(t.FieldByName("Error")->AsString(), "nova");
    EXPECT_NEAR(t.FieldByName("Cas")->AsDateTime(), Now(), 1.0 / 24);
}
