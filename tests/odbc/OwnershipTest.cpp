// A statement and the connection it follows among its owner's components: taking the
// connection however the two are made, and letting it go when the connection is removed,
// moved or freed in any order. Run under the sanitizer build too: a statement left in a
// freed connection's list, or a connection left in a freed statement, shows there.

#include "StatementFixture.h"
#include "odbc/Catalog.h"

#include <functional>
#include <memory>

namespace zen {
namespace {

using test::OdbcTestEnv;

class OwnershipTest : public test::StatementFixture {
protected:
    THdbc* NewConnection(TComponent* owner) {
        auto* c = new THdbc(owner);
        c->SetDataSource(dsn.dsn);
        c->SetUserName(dsn.user);
        c->SetPassword(dsn.password);
        return c;
    }
    // A statement made with the form, in the middle of its rows.
    THstmt* OpenStatement(TComponent* form, THdbc* expected) {
        auto* st = new THstmt(form);
        st->SetName("St");
        EXPECT_EQ(st->Hdbc(), expected);
        st->SetSQL("SELECT 1 UNION ALL SELECT 2");
        st->Execute();
        EXPECT_TRUE(st->FetchNext());
        EXPECT_TRUE(expected->Children().Contains(st));
        return st;
    }
    // What a statement whose connection went must do: nothing allocated, and use says so.
    static void ExpectLetGo(THstmt& st) {
        EXPECT_EQ(st.Hdbc(), nullptr);
        EXPECT_FALSE(st.Allocated());
        try {
            st.FetchNext();
            ADD_FAILURE() << "fetched without a connection";
        } catch (const EODBCExpress& e) {
            EXPECT_STREQ(e.what(), "Property Hdbc of St not set.");
        }
    }
};

TEST_P(OwnershipTest, AStatementTakesTheFirstConnectionOfItsOwnerWhenEverMade) {
    TComponent form;
    // Connection first: found when the statement is made.
    THdbc* db1 = NewConnection(&form);
    auto* before = new THstmt(&form);
    EXPECT_EQ(before->Hdbc(), db1);

    // Statement first: the connection made after it is taken once it is whole.
    TComponent form2;
    auto* early = new THstmt(&form2);
    auto* catalog = new TOECatalog(&form2);
    THdbc* db2 = NewConnection(&form2);
    EXPECT_EQ(early->Hdbc(), db2);
    EXPECT_EQ(catalog->Hdbc(), db2);
    early->SetSQL("SELECT 7");
    early->Execute();
    ASSERT_TRUE(early->FetchNext());
    EXPECT_EQ(early->ColAsInteger(1), 7);

    // Only while it has none: a second connection changes nothing.
    THdbc* other = NewConnection(&form2);
    EXPECT_EQ(early->Hdbc(), db2);
    // Removing its connection clears it; a connection added then is taken.
    form2.RemoveComponent(db2);
    EXPECT_EQ(early->Hdbc(), nullptr);
    EXPECT_EQ(catalog->Hdbc(), nullptr);
    delete db2;
    auto* added = new THdbc();
    form2.InsertComponent(added);
    EXPECT_EQ(early->Hdbc(), added);
    EXPECT_EQ(catalog->Hdbc(), added);
    (void)other;
}

TEST_P(OwnershipTest, RemovingOrMovingTheConnectionReleasesTheStatementFirst) {
    for (bool move : {false, true}) {
        for (bool statementFirst : {false, true}) {
            SCOPED_TRACE(std::string(move ? "moved" : "removed") +
                         (statementFirst ? ", statement freed first" : ", connection first"));
            TComponent form, elsewhere;
            THdbc* db = NewConnection(&form);
            THstmt* st = OpenStatement(&form, db);
            if (move) {
                elsewhere.InsertComponent(db);
            } else {
                form.RemoveComponent(db);
            }
            ExpectLetGo(*st);
            EXPECT_TRUE(db->Children().Empty());
            EXPECT_TRUE(db->Connected()) << "the connection itself goes on";
            if (statementFirst) {
                delete st;
                delete db;
            } else {
                delete db;
                delete st;
            }
        }
    }
}

TEST_P(OwnershipTest, FreeingEitherFirstLeavesNothingDangling) {
    {
        TComponent form;
        THdbc* db = NewConnection(&form);
        THstmt* st = OpenStatement(&form, db);
        delete db;
        ExpectLetGo(*st);
    }
    {
        TComponent form;
        THdbc* db = NewConnection(&form);
        THstmt* st = OpenStatement(&form, db);
        delete st;
        EXPECT_TRUE(db->Children().Empty());
        db->Disconnect();
    }
    // The owner frees both, in reverse order of making, whichever was made first.
    for (bool connectionFirst : {true, false}) {
        auto form = std::make_unique<TComponent>();
        THstmt* st = nullptr;
        THdbc* db = nullptr;
        if (connectionFirst) {
            db = NewConnection(form.get());
            st = OpenStatement(form.get(), db);
        } else {
            st = new THstmt(form.get());
            st->SetName("St");
            db = NewConnection(form.get());
            ASSERT_EQ(st->Hdbc(), db);
            st->SetSQL("SELECT 1");
            st->Execute();
        }
        form.reset();
    }
    // A statement given a connection of another owner hears of its going too.
    auto* db = NewConnection(nullptr);
    THstmt st;
    st.SetName("St");
    st.SetHdbc(db);
    st.SetSQL("SELECT 1");
    st.Execute();
    delete db;
    ExpectLetGo(st);
}

ZEN_INSTANTIATE_FOR_DRIVERS(OwnershipTest);

} // namespace
} // namespace zen
