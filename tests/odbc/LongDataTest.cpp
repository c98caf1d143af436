// Long values against both real drivers: parameters sent with SQLPutData in BlobSize
// pieces and columns read back with SQLGetData in BlobSize pieces. The two ODBC calls are
// counted by wrapping them at link time.

#include "StatementFixture.h"
#include "odbc/Hstmt.h"

#include <map>

namespace {
std::map<SQLUSMALLINT, int> g_getDataCalls; // by column
int g_putDataCalls = 0;
bool g_failPutData = false; // every piece fails
} // namespace

extern "C" {
SQLRETURN __real_SQLGetData(SQLHSTMT, SQLUSMALLINT, SQLSMALLINT, SQLPOINTER, SQLLEN, SQLLEN*);
SQLRETURN __wrap_SQLGetData(SQLHSTMT h, SQLUSMALLINT col, SQLSMALLINT type, SQLPOINTER buf,
                            SQLLEN len, SQLLEN* ind) {
    ++g_getDataCalls[col];
    return __real_SQLGetData(h, col, type, buf, len, ind);
}
SQLRETURN __real_SQLPutData(SQLHSTMT, SQLPOINTER, SQLLEN);
SQLRETURN __wrap_SQLPutData(SQLHSTMT h, SQLPOINTER data, SQLLEN len) {
    ++g_putDataCalls;
    if (g_failPutData) {
        return SQL_ERROR;
    }
    return __real_SQLPutData(h, data, len);
}
}

namespace zen {
namespace {

using test::OdbcTestEnv;

static auto* const odbcEnv = test::RegisterOdbcTestEnv();

constexpr size_t kSize = 100000;

// 100,000 bytes of text with two-byte letters, so that pieces split characters.
std::string LongText(char seed) {
    std::string s;
    while (s.size() < kSize) {
        s += seed;
        s += "čšž 0123456789";
    }
    s.resize(kSize);
    if ((static_cast<unsigned char>(s.back()) & 0xC0) == 0xC0) {
        s.back() = '.'; // no dangling lead byte at the very end
    }
    return s;
}

std::string LongBinary() {
    std::string b(kSize, '\0');
    for (size_t i = 0; i < kSize; ++i) {
        b[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    return b;
}

std::string StreamBytes(TMemoryStream* s) {
    return s ? std::string(s->Memory(), static_cast<size_t>(s->Size())) : std::string("<none>");
}

class LongDataTest : public test::StatementFixture {
protected:
    void SetUp() override {
        StatementFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        Exec({"DROP TABLE IF EXISTS LongData",
              // SQLite ODBC reports BLOB as a 255-byte binary; this name is long binary.
              IsSQLite()
                  ? "CREATE TABLE LongData (Id INTEGER PRIMARY KEY, Txt TEXT, Bin LONGVARBINARY)"
                  : "CREATE TABLE LongData (Id INTEGER PRIMARY KEY, Txt TEXT, Bin BYTEA)"});
    }
    void Insert(int id, const std::string& text, const std::string& bin) {
        auto s = Stmt("INSERT INTO LongData (Id, Txt, Bin) VALUES (" + std::to_string(id) +
                      ", :txt, :bin)");
        s->SetBlobPlacement(bpByParts);
        s->Prepare();
        s->BindParamLong(1, text.data(), static_cast<SQLLEN>(text.size()), false);
        s->BindParamLong(2, bin.data(), static_cast<SQLLEN>(bin.size()), true);
        EXPECT_EQ(s->ParamSize(1), static_cast<SQLLEN>(text.size()) > 0 ? text.size() : -1);
        s->Execute();
    }
};

TEST_P(LongDataTest, SendsInPiecesAndReadsBackInFourGetDataCallsByteForByte) {
    const std::string text = LongText('a');
    const std::string bin = LongBinary();
    g_putDataCalls = 0;
    Insert(1, text, bin);
    EXPECT_EQ(g_putDataCalls, 8); // 32768 + 32768 + 32768 + 1696, twice

    auto s = Stmt("SELECT Txt, Bin FROM LongData");
    s->Execute();
    g_getDataCalls.clear();
    ASSERT_TRUE(s->FetchNext());
    EXPECT_EQ(g_getDataCalls[1], 4);
    EXPECT_EQ(g_getDataCalls[2], 4);
    ASSERT_TRUE(s->ColIsLong(1));
    ASSERT_TRUE(s->ColIsLong(2));
    EXPECT_EQ(s->ColDataSize(1), static_cast<SQLLEN>(kSize));
    EXPECT_TRUE(s->ColAsString(1) == text);
    EXPECT_TRUE(StreamBytes(s->ColStream(2)) == bin);
    // Read once per fetch.
    EXPECT_EQ(g_getDataCalls[1], 4);
}

TEST_P(LongDataTest, DeferredColumnsReadAsNullUntilRead) {
    const std::string text = LongText('b');
    Insert(1, text, LongBinary());
    auto s = Stmt("SELECT Txt, Bin FROM LongData");
    s->SetBlobDeferral(true);
    s->Execute();
    g_getDataCalls.clear();
    ASSERT_TRUE(s->FetchNext());
    EXPECT_TRUE(s->ColIsNull(1));
    EXPECT_TRUE(s->ColIsNull(2));
    EXPECT_EQ(g_getDataCalls[1], 0);
    EXPECT_TRUE(s->ColAsString(1) == text);
    EXPECT_FALSE(s->ColIsNull(1));
    EXPECT_TRUE(s->ColIsNull(2));
    EXPECT_TRUE(StreamBytes(s->ColStream(2)) == LongBinary());
    EXPECT_FALSE(s->ColIsNull(2));
    EXPECT_EQ(g_getDataCalls[1], 4);
}

TEST_P(LongDataTest, NullAndRowSetRowsAreReadOnRequest) {
    if (IsSQLite()) {
        // SQLite ODBC positions SQLSetPos rows from the end of the row set rather than its
        // start, so a row set's long values cannot be read row by row there.
        GTEST_SKIP() << "SQLite ODBC cannot position within a row set";
    }
    Insert(1, LongText('c'), LongBinary());
    Insert(2, "", ""); // empty long values bind NULL
    Insert(3, "kratko", "\x01\x02");
    auto s = Stmt("SELECT Id, Txt, Bin FROM LongData ORDER BY Id");
    s->SetCursorType(SQL_CURSOR_KEYSET_DRIVEN);
    s->SetRowSetSize(3);
    s->Execute();
    ASSERT_TRUE(s->FetchNext());
    ASSERT_EQ(s->NumRowsFetched(), 3u);
    ASSERT_TRUE(s->CursorCapabilities() & SQL_CA1_POS_POSITION);
    EXPECT_EQ(s->ColAsString(2, 3), "kratko");
    EXPECT_TRUE(s->ColAsString(2, 1) == LongText('c'));
    EXPECT_EQ(s->ReadLongData(2, 2), -1);
    EXPECT_TRUE(s->ColIsNull(2, 2));
    EXPECT_EQ(s->ReadLongData(3, 3), 2);
    EXPECT_EQ(StreamBytes(s->ColStream(3, 3)), std::string("\x01\x02"));
}

TEST_P(LongDataTest, WrittenLongValuesStayUntilTheNextFetch) {
    Insert(1, "prej", "x");
    auto s = Stmt("SELECT Txt FROM LongData");
    s->Execute();
    ASSERT_TRUE(s->FetchNext());
    s->SetColString(1, "potem  ");
    EXPECT_EQ(s->ColAsString(1), "potem");
    EXPECT_EQ(s->ColDataSize(1), 5);
    TMemoryStream m;
    m.Write("abc", 3);
    s->SetColStream(1, m);
    EXPECT_EQ(s->ColAsString(1), "abc");
    s->SetColNull(1);
    EXPECT_TRUE(s->ColIsNull(1));
    EXPECT_EQ(s->ColAsString(1), "");
}

TEST_P(LongDataTest, AsynchronousExecutionSendsLongDataInPieces) {
    const std::string text = LongText('d');
    auto s = Stmt("INSERT INTO LongData (Id, Txt) VALUES (:id, :txt)");
    s->SetExecAsync(true);
    s->SetBlobPlacement(bpByParts);
    s->Prepare();
    int32_t id = 1;
    s->BindParam(1, SQL_C_SLONG, SQL_INTEGER, &id);
    s->BindParamLong(2, text.data(), static_cast<SQLLEN>(text.size()), false);
    g_putDataCalls = 0;
    s->Execute();
    EXPECT_TRUE(s->Executed());
    EXPECT_EQ(g_putDataCalls, 4);
    // The statement is neither waiting for data nor asynchronous afterwards: it runs again.
    id = 2;
    s->Execute();
    s->SetExecAsync(false);
    id = 3;
    s->Execute();
    EXPECT_EQ(OdbcTestEnv::Get().Scalar(dsn, "SELECT Count(*) FROM LongData"), "3");

    auto r = Stmt("SELECT Txt FROM LongData WHERE Id = 2");
    r->Execute();
    ASSERT_TRUE(r->FetchNext());
    EXPECT_TRUE(r->ColAsString(1) == text);
}

TEST_P(LongDataTest, AFailedPieceCancelsTheExchange) {
    const std::string text = LongText('e');
    auto s = Stmt("INSERT INTO LongData (Id, Txt) VALUES (1, :txt)");
    s->SetBlobPlacement(bpByParts);
    for (bool async : {false, true}) {
        SCOPED_TRACE(async ? "asynchronous" : "synchronous");
        s->SetExecAsync(async);
        s->Prepare();
        s->BindParamLong(1, text.data(), static_cast<SQLLEN>(text.size()), false);
        g_failPutData = true;
        EXPECT_THROW(s->Execute(), EODBC);
        g_failPutData = false;
        EXPECT_FALSE(s->Executed());
        // Not left waiting for data: the next execution goes through.
        s->Execute();
        EXPECT_TRUE(s->Executed());
        Exec({"DELETE FROM LongData"});
    }
}

ZEN_INSTANTIATE_FOR_DRIVERS(LongDataTest);

} // namespace
} // namespace zen
