// The SQLite-backed local tables: definitions kept in the file, index order, text cutting
// and re-creation.

#include "localtable/SqliteTable.h"
#include "localtable/RowOrder.h"
#include "support/TestSupport.h"
#include "toolkit/Exceptions.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <limits>
#include <sqlite3.h>

namespace zen {
namespace {

std::vector<TLocalField> WorkingFields() {
    return {{"Placnik", ftString, 30}, {"Kupec", ftString, 30},  {"Ident", ftString, 16},
            {"ZapSt", ftAutoInc, 0},   {"Kolicina", ftFloat, 0}, {"Cena", ftFloat, 0},
            {"StRac", ftString, 10}};
}

std::vector<TLocalIndex> WorkingIndex() {
    return {{"TVeskPrenosRac", {"Placnik", "Kupec", "Ident", "ZapSt"}, ixPrimary}};
}

std::vector<TLocalValue> Working(const std::string& placnik, const std::string& kupec,
                                 const std::string& ident, double kolicina) {
    return {placnik, kupec, ident, TLocalValue{}, kolicina, 0.0, std::string("R")};
}

std::string Text(const TLocalRow& row, size_t i) {
    return std::get<std::string>(row.Values[i]);
}

class SqliteTableTest : public testing::Test {
protected:
    test::TempHome home;
    std::filesystem::path file = home.Path() / "TVeskPrenosRac.db";
};

TEST_F(SqliteTableTest, ReadsInPrimaryIndexOrderWithEntryNumbersInInsertionOrder) {
    TSqliteTable::Create(file, "TVeskPrenosRac", WorkingFields(), WorkingIndex());
    {
        TSqliteTable t(file, "TVeskPrenosRac");
        EXPECT_EQ(std::get<int64_t>(t.Insert(Working("Zdravko", "A", "X", 1)).Values[3]), 1);
        t.Insert(Working("Ana", "B", "X", 2));
        t.Insert(Working("Ana", "A", "Y", 3));
        t.Insert(Working("Ana", "A", "X", 4));
        t.Insert(Working("Čop", "A", "X", 5)); // "Č" sorts after every ASCII letter
        t.Insert(Working("Ana", "A", "X", 6));
        t.Insert(Working("ana", "A", "X", 7)); // byte order: lower case after upper
    }
    TSqliteTable t(file, "TVeskPrenosRac");
    ASSERT_EQ(t.Fields().size(), 7u);
    EXPECT_EQ(t.Fields()[3].DataType, ftAutoInc);
    EXPECT_EQ(t.Fields()[0].Size, 30);
    ASSERT_NE(t.Primary(), nullptr);
    EXPECT_EQ(t.Primary()->Name, "TVeskPrenosRac");

    auto rows = t.ReadAll();
    std::vector<double> order;
    for (auto& r : rows) {
        order.push_back(std::get<double>(r.Values[4]));
    }
    EXPECT_EQ(order, (std::vector<double>{4, 6, 3, 2, 1, 7, 5}));
    EXPECT_EQ(std::get<int64_t>(rows[0].Values[3]), 4);
    EXPECT_EQ(std::get<int64_t>(rows[1].Values[3]), 6);
    for (size_t i = 1; i < rows.size(); ++i) {
        EXPECT_TRUE(t.Before(rows[i - 1], rows[i])) << i;
        EXPECT_FALSE(t.Before(rows[i], rows[i - 1])) << i;
    }
}

TEST_F(SqliteTableTest, CutsTextsToTheirSizeInCharacters) {
    TSqliteTable::Create(file, "TVeskPrenosRac", WorkingFields(), WorkingIndex());
    TSqliteTable t(file, "TVeskPrenosRac");
    std::string payer = "Čebelarska zadruga Črnuče, Šiška"; // 32 characters, 36 bytes
    auto stored = t.Insert(Working(payer, "K", "I", 1));
    EXPECT_EQ(Text(stored, 0), "Čebelarska zadruga Črnuče, Šiš");
    auto rows = t.ReadAll();
    EXPECT_EQ(Text(rows[0], 0), "Čebelarska zadruga Črnuče, Šiš");
    // A two-byte letter on the boundary is kept whole or not at all.
    EXPECT_EQ(std::get<std::string>(t.Fit(6, std::string("123456789čž"))), "123456789č");
    EXPECT_EQ(std::get<std::string>(t.Fit(6, std::string("čččččččččččč"))), "čččččččččč");
}

TEST_F(SqliteTableTest, ReCreationEmptiesTheTableAndRestartsNumbering) {
    TSqliteTable::Create(file, "TVeskPrenosRac", WorkingFields(), WorkingIndex());
    {
        TSqliteTable t(file, "TVeskPrenosRac");
        t.Insert(Working("A", "B", "C", 1));
        t.Insert(Working("A", "B", "C", 2));
    }
    TSqliteTable::Create(file, "TVeskPrenosRac", WorkingFields(), WorkingIndex());
    TSqliteTable t(file, "TVeskPrenosRac");
    EXPECT_TRUE(t.ReadAll().empty());
    EXPECT_EQ(std::get<int64_t>(t.Insert(Working("A", "B", "C", 1)).Values[3]), 1);

    // Re-creating with other fields replaces the definitions too.
    TSqliteTable::Create(file, "TVeskPrenosRac", {{"Only", ftMemo, 0}}, {});
    TSqliteTable other(file, "TVeskPrenosRac");
    ASSERT_EQ(other.Fields().size(), 1u);
    EXPECT_EQ(other.Fields()[0].DataType, ftMemo);
    EXPECT_EQ(other.Primary(), nullptr);
}

TEST_F(SqliteTableTest, MissingTablesAndBadDefinitionsRaise) {
    EXPECT_THROW(TSqliteTable(file, "TVeskPrenosRac"), EDatabaseError);
    EXPECT_FALSE(std::filesystem::exists(file)) << "opening must not create the file";
    TSqliteTable::Create(file, "Other", {{"A", ftInteger, 0}}, {});
    EXPECT_THROW(TSqliteTable(file, "TVeskPrenosRac"), EDatabaseError);

    EXPECT_THROW(TSqliteTable::Create(file, "T", {{"A", ftString, 0}}, {}), EDatabaseError);
    EXPECT_THROW(TSqliteTable::Create(file, "T", {{"A", ftInteger, 0}, {"a", ftFloat, 0}}, {}),
                 EDatabaseError);
    EXPECT_THROW(TSqliteTable::Create(file, "T", {{"A", ftAutoInc, 0}, {"B", ftAutoInc, 0}}, {}),
                 EDatabaseError);
    EXPECT_THROW(TSqliteTable::Create(file, "T", {{"A", ftBlob, 0}}, {}), EDatabaseError);
    EXPECT_THROW(TSqliteTable::Create(file, "T", {{"A", ftInteger, 0}}, {{"I", {"B"}, ixPrimary}}),
                 EDatabaseError);
}

TEST_F(SqliteTableTest, ValuesAreCheckedAgainstTheirFields) {
    std::vector<TLocalField> fields = {{"S", ftSmallint, 0}, {"I", ftInteger, 0},
                                       {"F", ftFloat, 0},    {"D", ftDateTime, 0},
                                       {"M", ftMemo, 0},     {"T", ftString, 5}};
    TSqliteTable::Create(file, "Vse", fields, {{"Pk", {"T"}, ixPrimary}});
    TSqliteTable t(file, "Vse");
    std::string memo(100000, 'm');
    auto row = t.Insert(
        {int64_t{-32768}, int64_t{2147483647}, 1.5, 45000.25, memo, std::string("a'b\"c;d")});
    EXPECT_EQ(Text(row, 5), "a'b\"c");
    EXPECT_THROW(t.Insert({int64_t{32768}, TLocalValue{}, TLocalValue{}, TLocalValue{},
                           TLocalValue{}, std::string("x")}),
                 EDatabaseError);
    EXPECT_THROW(t.Fit(1, int64_t{2147483648LL}), EDatabaseError);
    EXPECT_THROW(t.Fit(2, std::string("1.5")), EDatabaseError);
    EXPECT_THROW(t.Fit(2, std::numeric_limits<double>::infinity()), EDatabaseError);
    EXPECT_THROW(t.Fit(5, 1.0), EDatabaseError);
    // The primary index keeps its keys unique.
    std::string m = "";
    try {
        t.Insert({TLocalValue{}, TLocalValue{}, TLocalValue{}, TLocalValue{}, TLocalValue{},
                  std::string("a'b\"c")});
    } catch (const EDatabaseError& e) {
        m = e.Message();
    }
    EXPECT_NE(m.find("Key violation"), std::string::npos) << m;

    auto rows = t.ReadAll();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(std::get<int64_t>(rows[0].Values[0]), -32768);
    EXPECT_DOUBLE_EQ(std::get<double>(rows[0].Values[3]), 45000.25);
    EXPECT_EQ(Text(rows[0], 4).size(), memo.size());

    rows[0].Values[2] = 7.0;
    t.Update(rows[0]);
    EXPECT_DOUBLE_EQ(std::get<double>(t.ReadAll()[0].Values[2]), 7.0);
    t.Delete(rows[0].RowId);
    EXPECT_TRUE(t.ReadAll().empty());
}

TEST_F(SqliteTableTest, ReadsATableMadeWithoutStoredDefinitions) {
    // Another program's table: the kinds come from the declared column types.
    std::filesystem::path log = home.Path() / "TevrinError";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(log.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE \"TevrinError\" (\"Cas\" REAL, \"FormName\" "
                           "VARCHAR(20), \"BuildNo\" SMALLINT, \"SenderProp\" TEXT);"
                           "INSERT INTO TevrinError VALUES (1.5, 'Main', 910, 'x');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    TSqliteTable t(log, "TevrinError");
    ASSERT_EQ(t.Fields().size(), 4u);
    EXPECT_EQ(t.Fields()[0].DataType, ftFloat);
    EXPECT_EQ(t.Fields()[1].DataType, ftString);
    EXPECT_EQ(t.Fields()[1].Size, 20);
    EXPECT_EQ(t.Fields()[2].DataType, ftSmallint);
    EXPECT_EQ(t.Fields()[3].DataType, ftMemo);
    auto rows = t.ReadAll();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Text(rows[0], 1), "Main");
    EXPECT_EQ(std::get<int64_t>(rows[0].Values[2]), 910);
    t.Insert({2.5, std::string("Drugo okno, predolgo ime"), int64_t{910}, std::string()});
    EXPECT_EQ(Text(t.ReadAll()[1], 1), "Drugo okno, predolgo");
}

// The rows in memory follow the file's reading order through any mix of inserts and
// removals, with many ties on the key, and positions and RowIds answer each other.
TEST_F(SqliteTableTest, TheReadingOrderIsKeptAsRowsComeAndGo) {
    TSqliteTable::Create(file, "TVeskPrenosRac", WorkingFields(), WorkingIndex());
    TSqliteTable t(file, "TVeskPrenosRac");
    TRowOrder order(t);
    std::vector<TLocalRow> model; // kept sorted by the table's own order, the slow way
    uint64_t seed = 7;
    auto next = [&seed](uint64_t n) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return (seed >> 33) % n;
    };
    auto place = [&](const TLocalRow& row) {
        auto at = std::upper_bound(
            model.begin(), model.end(), row,
            [&t](const TLocalRow& a, const TLocalRow& b) { return t.Before(a, b); });
        size_t expected = size_t(at - model.begin());
        model.insert(at, row);
        EXPECT_EQ(order.Insert(row), expected);
    };
    // Enough rows for many blocks and for rows to be read back from the file, changed and
    // removed as a table does: the file first, then the order, given the old row.
    for (int i = 1; i <= 5000; ++i) {
        std::string payer(1, char('A' + next(4)));
        place(t.Insert(Working(payer, next(2) ? "K" : "L", "X", i)));
        if (next(5) == 0) {
            size_t at = next(model.size());
            TLocalRow old = model[at];
            t.Delete(old.RowId);
            order.Erase(old);
            model.erase(model.begin() + long(at));
        } else if (next(7) == 0) {
            size_t at = next(model.size());
            TLocalRow old = model[at];
            TLocalRow changed = old;
            changed.Values[0] = std::string(1, char('A' + next(5)));
            changed = t.Update(changed);
            order.Erase(old);
            model.erase(model.begin() + long(at));
            place(changed);
        }
    }
    auto matches = [&] {
        ASSERT_EQ(order.Size(), model.size());
        for (size_t i = 0; i < model.size(); ++i) {
            ASSERT_EQ(order.At(i).RowId, model[i].RowId) << i;
            ASSERT_EQ(order.At(i).Values, model[i].Values) << i;
            ASSERT_EQ(order.Position(model[i].RowId), long(i));
            ASSERT_EQ(order.Find(model[i].RowId)->RowId, model[i].RowId);
        }
    };
    matches();
    EXPECT_EQ(order.Position(0), -1);
    EXPECT_EQ(order.Find(99999), nullptr);
    EXPECT_THROW(order.At(model.size()), EListError);
    EXPECT_THROW(order.Insert(model.front()), EDatabaseError) << "a RowId held twice";
    order.Erase(TLocalRow{99999, model.front().Values}); // nothing to remove

    // Reading the order from the file gives the same order as keeping it while writing.
    order.Load();
    matches();
    // A row that another writer removed is an error when it is reached, not a crash.
    t.Delete(model.front().RowId);
    EXPECT_THROW(order.At(0), EDatabaseError);
    EXPECT_EQ(order.Find(model.front().RowId), nullptr);
}

TEST_F(SqliteTableTest, KeysOfEveryKindSortAsTheTableComparesThem) {
    // Keys of every kind, in every index order, sort as the table's own comparison does:
    // nulls, numbers by value (large whole numbers that share a double, -0 and 0), texts
    // by bytes (zero bytes, prefixes, letters folded when the index ignores case).
    const TLocalValue mixed[] = {TLocalValue{},
                                 int64_t{-3},
                                 -2.5,
                                 -0.0,
                                 0.0,
                                 int64_t{0},
                                 int64_t{(int64_t{1} << 53) + 1},
                                 9007199254740992.0,
                                 int64_t{(int64_t{1} << 53) + 2},
                                 std::numeric_limits<int64_t>::max(),
                                 std::numeric_limits<int64_t>::min(),
                                 1e300,
                                 std::string(""),
                                 std::string("a"),
                                 std::string("a\0b", 3),
                                 std::string("A"),
                                 std::string("ab"),
                                 std::string("\xC4\x8C")};
    for (TIndexOptions options : {TIndexOptions(ixPrimary), TIndexOptions(ixPrimary | ixDescending),
                                  TIndexOptions(ixPrimary | ixCaseInsensitive)}) {
        auto mixedFile = home.Path() / ("mixed" + std::to_string(options) + ".db");
        TSqliteTable::Create(mixedFile, "M", {{"V", ftMemo, 0}, {"W", ftMemo, 0}},
                             {{"M", {"V", "W"}, options}});
        TSqliteTable m(mixedFile, "M");
        std::vector<TLocalRow> rows;
        int64_t id = 0;
        for (const TLocalValue& v : mixed) {
            for (const TLocalValue& w : {mixed[0], mixed[5], mixed[13]}) {
                rows.push_back(TLocalRow{++id, {v, w}});
            }
        }
        for (const TLocalRow& a : rows) {
            for (const TLocalRow& b : rows) {
                ASSERT_EQ(m.Before(a, b), m.SortKey(a) < m.SortKey(b))
                    << options << ": " << a.RowId << " " << b.RowId;
            }
        }
    }
}

} // namespace
} // namespace zen
