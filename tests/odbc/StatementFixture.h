#pragma once
// A connection to one of the two test data sources, with the Tevrin tables created afresh,
// for the statement and catalog tests.

#include "odbc/Hstmt.h"
#include "odbc/OCL.h"
#include "support/OdbcTestEnv.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zen::test {

class StatementFixture : public ::testing::TestWithParam<TestDriver> {
protected:
    void SetUp() override {
        ZEN_REQUIRE_DRIVER(GetParam());
        OdbcTestEnv::Get().LoadSchema(GetParam());
        dsn = OdbcTestEnv::Get().Dsn(GetParam());
        db = std::make_unique<THdbc>();
        db->SetName("Database");
        db->SetDataSource(dsn.dsn);
        db->SetUserName(dsn.user);
        db->SetPassword(dsn.password);
    }
    void TearDown() override { db.reset(); }

    bool IsSQLite() const { return GetParam() == TestDriver::SQLite; }
    // Statements run on the environment's own connection, not through the code under test.
    void Exec(const std::vector<std::string>& statements) {
        OdbcTestEnv::Get().Exec(dsn, statements);
    }
    std::unique_ptr<THstmt> Stmt(const std::string& sql) {
        auto s = std::make_unique<THstmt>();
        s->SetName("Stmt");
        s->SetHdbc(db.get());
        s->SetSQL(sql);
        return s;
    }

    DsnInfo dsn;
    std::unique_ptr<THdbc> db;
};

inline std::string DriverLabel(const ::testing::TestParamInfo<TestDriver>& info) {
    return OdbcTestEnv::Label(info.param);
}

} // namespace zen::test

#define ZEN_INSTANTIATE_FOR_DRIVERS(Suite)                                                         \
    INSTANTIATE_TEST_SUITE_P(Drivers, Suite,                                                       \
                             ::testing::ValuesIn(::zen::test::OdbcTestEnv::Drivers()),             \
                             ::zen::test::DriverLabel)
