#pragma once
// The statement tests' connection to one of the two data sources, here owned by a form
// (a plain owner component) as the program's datasets find theirs, with datasets over it.

#include "dataset/ODSI.h"
#include "odbc/StatementFixture.h"

#include <memory>
#include <string>
#include <vector>

namespace zen::test {

class DataSetFixture : public StatementFixture {
protected:
    void SetUp() override {
        StatementFixture::SetUp();
        if (!db) {
            return; // the driver is missing; the base has failed the test
        }
        owner = std::make_unique<TComponent>();
        conn = db.release();
        owner->InsertComponent(conn);
    }
    void TearDown() override {
        owner.reset();
        StatementFixture::TearDown();
    }

    // A query owned by the form, on its connection, with the given lines.
    TOEQuery* Query(const std::vector<std::string>& lines) {
        auto* q = new TOEQuery(owner.get());
        q->SetHdbc(conn);
        q->SQL().BeginUpdate();
        for (const std::string& line : lines) {
            q->SQL().Add(line);
        }
        q->SQL().EndUpdate();
        return q;
    }
    // Rows of Ms: Ident "A01", "A02", ..., Naziv as given ("NULL" for none), VPCena the
    // row number times 1.25, Garancija the row number.
    void InsertMs(const std::vector<std::string>& names) {
        std::vector<std::string> sql;
        for (size_t i = 0; i < names.size(); ++i) {
            std::string n = std::to_string(i + 1);
            std::string ident = std::string("A") + (i + 1 < 10 ? "0" : "") + n;
            std::string naziv = names[i] == "NULL" ? "NULL" : "'" + names[i] + "'";
            sql.push_back("INSERT INTO Ms (Ident, Naziv, VPCena, Garancija) VALUES ('" + ident +
                          "', " + naziv + ", " + n + " * 1.25, " + n + ")");
        }
        Exec(sql);
    }

    std::unique_ptr<TComponent> owner;
    THdbc* conn = nullptr;
};

} // namespace zen::test
