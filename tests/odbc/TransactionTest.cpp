// Transactions on both real drivers: with autocommit off a rollback leaves no row and a
// commit keeps it, each ended through the one checked path, and an open keyset cursor is
// still readable after a commit where the driver says commits preserve cursors; the
// statement count sees every execution and every end of a transaction.

#include "StatementFixture.h"
#include "odbc/Hstmt.h"
#include "odbc/OCLError.h"
#include "odbc/StatementCount.h"

namespace zen {
namespace {

using test::OdbcTestEnv;
using test::StatementFixture;

static auto* const odbcEnv = test::RegisterOdbcTestEnv();

class TransactionTest : public StatementFixture {
protected:
    std::string Count(const std::string& table) {
        return OdbcTestEnv::Get().Scalar(dsn, "SELECT COUNT(*) FROM " + table);
    }
    void Run(const std::string& sql) {
        auto s = Stmt(sql);
        s->Execute();
    }
};

TEST_P(TransactionTest, RollbackLeavesNoRowAndCommitKeepsIt) {
    db->Connect();
    EXPECT_TRUE(db->AutoCommit());
    db->SetAutoCommit(false);
    Run("INSERT INTO Promet (Kljuc) VALUES ('051200001')");
    Run("INSERT INTO PrometPoz (Kljuc, Poz) VALUES ('051200001', 0)");
    db->Rollback();
    EXPECT_EQ(Count("Promet"), "0");
    EXPECT_EQ(Count("PrometPoz"), "0");

    Run("INSERT INTO PrometPoz (Kljuc, Poz) VALUES ('051200001', 0)");
    Run("INSERT INTO Promet (Kljuc) VALUES ('051200001')");
    db->Commit();
    EXPECT_EQ(Count("Promet"), "1");
    EXPECT_EQ(Count("PrometPoz"), "1");

    // A failed statement inside the transaction: the rollback takes the lines back too,
    // also where the server has already aborted the transaction.
    Run("INSERT INTO PrometPoz (Kljuc, Poz) VALUES ('051200001', 1)");
    EXPECT_THROW(Run("INSERT INTO Promet (Kljuc) VALUES ('051200001')"), EODBC);
    db->Rollback();
    EXPECT_EQ(Count("PrometPoz"), "1");

    db->SetAutoCommit(true);
    Run("INSERT INTO PrometPoz (Kljuc, Poz) VALUES ('051200001', 2)");
    EXPECT_EQ(Count("PrometPoz"), "2");
}

TEST_P(TransactionTest, TheSettingOutlivesAReconnectAndEndingNeedsAConnection) {
    db->SetAutoCommit(false);
    EXPECT_THROW(db->Commit(), EODBCExpress);
    db->Connect();
    Run("INSERT INTO Promet (Kljuc) VALUES ('051200001')");
    db->Rollback();
    db->Disconnect();
    db->Connect();
    Run("INSERT INTO Promet (Kljuc) VALUES ('051200002')");
    db->Rollback();
    EXPECT_EQ(Count("Promet"), "0");
    db->SetAutoCommit(true);
}

TEST_P(TransactionTest, AnOpenCursorSurvivesTheEndOfATransactionWhereTheDriverPreservesCursors) {
    Exec({"INSERT INTO Ms (Ident) VALUES ('A')", "INSERT INTO Ms (Ident) VALUES ('B')"});
    db->Connect();
    SQLUINTEGER behaviour = db->InfoInteger(SQL_CURSOR_COMMIT_BEHAVIOR);
    RecordProperty("CursorCommitBehavior", std::to_string(behaviour));
    db->SetAutoCommit(false);
    auto cursor = Stmt("SELECT Ident FROM Ms ORDER BY Ident");
    cursor->SetCursorType(SQL_CURSOR_KEYSET_DRIVEN);
    cursor->SetConcurrencyType(SQL_CONCUR_VALUES);
    cursor->Execute();
    ASSERT_TRUE(cursor->FetchFirst());
    EXPECT_EQ(cursor->ColAsString(1), "A");
    Run("INSERT INTO Promet (Kljuc) VALUES ('051200001')");
    db->Commit();
    if (behaviour == SQL_CB_PRESERVE) {
        ASSERT_TRUE(cursor->FetchNext());
        EXPECT_EQ(cursor->ColAsString(1), "B");
    }
    EXPECT_EQ(Count("Promet"), "1");
    // The same for a rollback, which ends a dry run's every invoice.
    SQLUINTEGER rollback = db->InfoInteger(SQL_CURSOR_ROLLBACK_BEHAVIOR);
    RecordProperty("CursorRollbackBehavior", std::to_string(rollback));
    Run("INSERT INTO Promet (Kljuc) VALUES ('051200002')");
    db->Rollback();
    if (rollback == SQL_CB_PRESERVE) {
        ASSERT_TRUE(cursor->FetchFirst());
        EXPECT_EQ(cursor->ColAsString(1), "A");
    }
    EXPECT_EQ(Count("Promet"), "1");
    db->SetAutoCommit(true);
}

// The count behind ZENDRATO_COUNT_STATEMENTS: one for every execution, direct or of a
// prepared statement, also one the server refuses, and one for every end of a transaction.
TEST_P(TransactionTest, EveryExecutionAndEveryEndOfATransactionIsCounted) {
    auto count = [](TStatementKind kind) { return gStatementCounts[static_cast<int>(kind)]; };
    db->Connect();
    db->SetAutoCommit(false);
    const uint64_t direct = count(TStatementKind::ExecDirect);
    const uint64_t prepared = count(TStatementKind::Execute);
    const uint64_t ends = count(TStatementKind::EndTran);
    Run("INSERT INTO Promet (Kljuc) VALUES ('051200001')");
    auto select = Stmt("SELECT Kljuc FROM Promet");
    select->Prepare();
    select->Execute();
    select->Execute();
    EXPECT_THROW(Run("INSERT INTO Promet (Kljuc) VALUES ('051200001')"), EODBC);
    db->Rollback();
    EXPECT_EQ(count(TStatementKind::ExecDirect) - direct, 2u);
    EXPECT_EQ(count(TStatementKind::Execute) - prepared, 2u);
    EXPECT_EQ(count(TStatementKind::EndTran) - ends, 1u);
    db->SetAutoCommit(true);
}

ZEN_INSTANTIATE_FOR_DRIVERS(TransactionTest);

} // namespace
} // namespace zen
