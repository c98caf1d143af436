#pragma once
// A connection to one of the two test data sources with the Tevrin tables created afresh,
// and datasets over it, for the dataset tests.

#include "dataset/ODSI.h"
#include "odbc/OCL.h"
#include "support/OdbcTestEnv.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zen::test {

class DataSetFixture : public ::testing::TestWithParam<TestDriver> {
protected:
    void SetUp() override {
        ZEN_REQUIRE_DRIVER(GetParam());
        OdbcTestEnv::Get().LoadSchema(GetParam());
        dsn = OdbcTestEnv::Get().Dsn(GetParam());
        owner = std::make_unique<TComponent>();
        db = new THdbc(owner.get());
        db->SetName("Database");
        db->SetDataSource(dsn.dsn);
        db->SetUserName(dsn.user);
        db->SetPassword(dsn.password);
    }
    void TearDown() override { owner.reset(); }

    bool IsSQLite() const { return GetParam() == TestDriver::SQLite; }
    void Exec(const std::vector<std::string>& statements) {
        OdbcTestEnv::Get().Exec(dsn, statements);
    }
    // A query owned by the test's form, on its connection, with the given lines.
    TOEQuery* Query(const std::vector<std::string>& lines) {
        auto* q = new TOEQuery(owner.get());
        q->SetHdbc(db);
        q->SQL().BeginUpdate();
        for (const std::string& line : lines) {
            q->SQL().Add(line);
        }
        q->SQL().EndUpdate();
        return q;
    }
    // Rows of Ms: Ident "A01".."Ann", Naziv given, VPCena the row number times 1.25.
    void InsertMs(const std::vector<std::string>& names) {
        std::vector<std::string> sql;
        for (size_t i = 0; i < names.size(); ++i) {
            std::string n = std::to_string(i + 1);
            std::string ident = std::string("A") + (i + 1 < 10 ? "0" : "") + n;
            std::string naziv = names[i] == "NULL" ? "NULL" : "'" + names[i] + "'";
            sql.push_back("INSERT INTO Ms (Ident, Naziv, VPCena, Garancija) VALUES ('" + ident +
                          "', " + naziv + ", " + std::to_string((i + 1) * 1.25) + ", " + n + ")");
        }
        Exec(sql);
    }

    DsnInfo dsn;
    std::unique_ptr<TComponent> owner;
    THdbc* db = nullptr;
};

inline std::string DriverLabel(const ::testing::TestParamInfo<TestDriver>& info) {
    return OdbcTestEnv::Label(info.param);
}

} // namespace zen::test

#define ZEN_INSTANTIATE_FOR_DRIVERS(Suite)                                                         \
    INSTANTIATE_TEST_SUITE_P(Drivers, Suite,                                                       \
                             ::testing::ValuesIn(::zen::test::OdbcTestEnv::Drivers()),             \
                             ::zen::test::DriverLabel)
