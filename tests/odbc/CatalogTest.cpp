// Catalog queries against both real drivers. SQLProcedures is wrapped at link time, so
// that the tests see how often it runs and what it is given.

#include "StatementFixture.h"
#include "odbc/OVCL.h"

#include <algorithm>

namespace {
int g_proceduresCalls = 0;
bool g_schemaWasNull = false;
} // namespace

extern "C" {
SQLRETURN __real_SQLProcedures(SQLHSTMT, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT, SQLCHAR*,
                               SQLSMALLINT);
SQLRETURN __wrap_SQLProcedures(SQLHSTMT h, SQLCHAR* cat, SQLSMALLINT catLen, SQLCHAR* schema,
                               SQLSMALLINT schemaLen, SQLCHAR* name, SQLSMALLINT nameLen) {
    ++g_proceduresCalls;
    g_schemaWasNull = schema == nullptr;
    return __real_SQLProcedures(h, cat, catLen, schema, schemaLen, name, nameLen);
}
}

namespace zen {
namespace {

using test::OdbcTestEnv;
using test::TestDriver;

static auto* const odbcEnv = test::RegisterOdbcTestEnv();

TEST(CatalogOwnership, TakesTheOwnersConnectionAndForgetsItWhenItGoes) {
    TComponent form;
    auto* db = new THdbc(&form);
    auto* cat = new TOECatalog(&form);
    auto* stmt = new THstmt(&form);
    EXPECT_EQ(cat->Hdbc(), db);
    EXPECT_EQ(stmt->Hdbc(), db);
    delete db;
    EXPECT_EQ(cat->Hdbc(), nullptr);
    EXPECT_EQ(stmt->Hdbc(), nullptr);
    cat->SetName("Cat");
    try {
        cat->Procedures();
        FAIL();
    } catch (const EODBCExpress& e) {
        EXPECT_STREQ(e.what(), "Property Hdbc of Cat not set.");
    }
    // A connection added later is taken by both.
    auto* db2 = new THdbc;
    form.InsertComponent(db2);
    EXPECT_EQ(cat->Hdbc(), db2);
    EXPECT_EQ(stmt->Hdbc(), db2);
    EXPECT_EQ(cat->ProcedureName(), "%");
    EXPECT_EQ(cat->TableType(), unsigned(ttTable | ttView));
}

class CatalogTest : public test::StatementFixture {};

TEST_P(CatalogTest, ListsProceduresOnceUntilTheFilterChanges) {
    if (!IsSQLite()) {
        Exec({"CREATE OR REPLACE FUNCTION UpdPrices(faktor double precision, ident varchar) "
              "RETURNS integer AS $$ SELECT 1 $$ LANGUAGE sql"});
    }
    TOECatalog cat;
    cat.SetHdbc(db.get());
    cat.SetProcedureOwner("  ");
    cat.SetProcedureName(" upd% ");
    g_proceduresCalls = 0;
    const TCatalogProcedures& list = cat.Procedures();
    EXPECT_EQ(g_proceduresCalls, 1);
    EXPECT_TRUE(g_schemaWasNull);
    EXPECT_EQ(cat.ProcedureOwner(), "");
    EXPECT_EQ(cat.ProcedureName(), "upd%");
    cat.Procedures();
    cat.SetProcedureName("upd%");
    cat.Procedures();
    EXPECT_EQ(g_proceduresCalls, 1);

    if (IsSQLite()) {
        // SQLite has no stored procedures.
        EXPECT_TRUE(list.empty());
        EXPECT_EQ(cat.FindProcedure("", "updprices"), nullptr);
    } else {
        ASSERT_EQ(list.size(), 1u);
        TCatalogProcedure* p = cat.FindProcedure("", " UPDPRICES ");
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->Name(), "updprices");
        EXPECT_EQ(p->Owner(), "public");
        EXPECT_EQ(cat.FindProcedure("Public", "updprices"), p);
        EXPECT_EQ(cat.FindProcedure("other", "updprices"), nullptr);
        std::vector<std::string> names = p->ColumnNames();
        EXPECT_NE(std::find(names.begin(), names.end(), "faktor"), names.end());
        EXPECT_NE(std::find(names.begin(), names.end(), "ident"), names.end());
        const TCatalogColumns& cols = p->Columns();
        auto faktor = std::find_if(cols.begin(), cols.end(), [](const TCatalogColumn& c) {
            return c.ColumnName == "faktor";
        });
        ASSERT_NE(faktor, cols.end());
        EXPECT_EQ(faktor->ColumnType, SQL_PARAM_INPUT);
        EXPECT_TRUE(faktor->DataType == SQL_DOUBLE || faktor->DataType == SQL_FLOAT)
            << faktor->DataType;
        EXPECT_EQ(faktor->TypeName, "float8");
    }

    cat.SetProcedureOwner(IsSQLite() ? "main" : "public");
    cat.Procedures();
    EXPECT_EQ(g_proceduresCalls, 2);
    EXPECT_FALSE(g_schemaWasNull);
}

ZEN_INSTANTIATE_FOR_DRIVERS(CatalogTest);

} // namespace
} // namespace zen
