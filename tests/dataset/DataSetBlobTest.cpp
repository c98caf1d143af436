// Memo and binary fields read and written through blob streams, with long values read
// with the row and read only when asked: large values whole, letters as letters.

#include "DataSetFixture.h"
#include "odbc/OCLError.h"
#include "toolkit/Stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

using namespace zen;
using namespace zen::test;

namespace {

class DataSetBlobTest : public DataSetFixture {};

} // namespace

TEST_P(DataSetBlobTest, StreamsReadWriteAndLeaveAnUnreadValueAlone) {
    const std::string longText(70000, 'm');
    Exec({"DROP TABLE IF EXISTS Dolgi",
          "CREATE TABLE Dolgi (Id INTEGER PRIMARY KEY, Ime VARCHAR(10), Opis TEXT)",
          "INSERT INTO Dolgi (Id, Ime, Opis) VALUES (1, 'prvi', '" + longText + "')",
          "INSERT INTO Dolgi (Id, Ime, Opis) VALUES (2, 'drugi', NULL)"});
    // Length and last letters: the whole value in one text would be more than the
    // environment's own reader takes.
    auto opisOf = [&](int id) {
        std::string where = " FROM Dolgi WHERE Id = " + std::to_string(id);
        return OdbcTestEnv::Get().Scalar(dsn, "SELECT LENGTH(Opis)" + where) + ":" +
               OdbcTestEnv::Get().Scalar(dsn, "SELECT SUBSTR(Opis, LENGTH(Opis) - 1, 2)" + where);
    };
    const std::string longState = "70000:mm";
    for (bool deferred : {false, true}) {
        SCOPED_TRACE(deferred ? "read when asked" : "read with the row");
        TOEQuery* q = Query({"SELECT Id, Ime, Opis FROM Dolgi ORDER BY Id"});
        q->SetRequestLive(true);
        q->SetCacheBlobs(!deferred);
        q->Open();
        TField* opis = q->FieldByName("Opis");

        // An edit of another field leaves a value never read as it is in the database.
        q->Edit();
        q->FieldByName("Ime")->SetAsString(deferred ? "d" : "c");
        q->Post();
        EXPECT_EQ(opisOf(1), longState);

        // Reading a stream from any position; a write-mode stream starts empty.
        auto read = q->CreateBlobStream(opis, bmRead);
        EXPECT_EQ(read->Size(), 70000);
        char tail[3] = {};
        read->Seek(-2, soEnd);
        EXPECT_EQ(read->Read(tail, 10), 2);
        EXPECT_STREQ(tail, "mm");
        q->Edit();
        {
            auto write = q->CreateBlobStream(opis, bmWrite);
            EXPECT_EQ(write->Size(), 0);
            write->WriteBuffer("nov opis", 8);
        }
        EXPECT_EQ(opis->AsString(), "nov opis");
        q->Post();
        EXPECT_EQ(opisOf(1), "8:is");

        // Writing to a NULL memo gives it a value.
        q->Next();
        EXPECT_TRUE(opis->IsNull() || opis->AsString().empty());
        q->Edit();
        q->CreateBlobStream(opis, bmReadWrite)->WriteBuffer("x", 1);
        EXPECT_FALSE(opis->IsNull());
        q->Post();
        EXPECT_EQ(opisOf(2), "1:x");
        q->Close();
        Exec({"UPDATE Dolgi SET Opis = '" + longText + "' WHERE Id = 1",
              "UPDATE Dolgi SET Opis = NULL WHERE Id = 2"});
    }
}

TEST_P(DataSetBlobTest, AStreamKeptPastItsRecordNeverReachesAnotherOne) {
    Exec({"DROP TABLE IF EXISTS Dolgi",
          "CREATE TABLE Dolgi (Id INTEGER PRIMARY KEY, Ime VARCHAR(10), Opis TEXT)",
          "INSERT INTO Dolgi (Id, Ime, Opis) VALUES (1, 'prvi', 'prvi opis')",
          "INSERT INTO Dolgi (Id, Ime, Opis) VALUES (2, 'drugi', 'drugi opis')"});
    TOEQuery* q = Query({"SELECT Id, Ime, Opis FROM Dolgi ORDER BY Id"});
    q->SetRequestLive(true);
    q->Open();
    TField* opis = q->FieldByName("Opis");
    auto text = [](TStream& s) {
        std::string out(static_cast<size_t>(s.Size()), '\0');
        s.Seek(0, soBeginning);
        s.Read(out.data(), static_cast<int64_t>(out.size()));
        return out;
    };
    auto read = q->CreateBlobStream(opis, bmRead);
    // Outside an edit no writer is made, and the value on screen stays the database's.
    for (TBlobStreamMode mode : {bmWrite, bmReadWrite}) {
        EXPECT_THROW(q->CreateBlobStream(opis, mode), EODBCExpress);
    }
    EXPECT_EQ(opis->AsString(), "prvi opis");
    q->Edit();
    auto write = q->CreateBlobStream(opis, bmReadWrite);
    EXPECT_EQ(text(*write), "prvi opis");
    q->Cancel();
    // The edit is over: the writer's record is no longer its own.
    EXPECT_THROW(write->WriteBuffer("x", 1), EODBCExpress);
    EXPECT_EQ(opis->AsString(), "prvi opis");
    // A reader keeps the value it was made for, on the next row and after the close.
    q->Next();
    EXPECT_EQ(text(*read), "prvi opis");
    q->Close();
    EXPECT_EQ(text(*read), "prvi opis");
    EXPECT_THROW(write->Size(), EODBCExpress);
}

namespace {

// Character i of a memo: every fourth one a two-byte Slovene letter, so that any piece a
// long value is read in may end inside a character.
std::string MemoChar(int i) {
    static const char* const kLetters[] = {"č", "š", "ž", "Č", "Š", "Ž"};
    return i % 4 == 3 ? std::string(kLetters[(i / 4) % 6]) : std::string(1, char('a' + i % 26));
}

std::string Memo(int from, int to) {
    std::string text;
    for (int i = from; i < to; ++i) {
        text += MemoChar(i);
    }
    return text;
}

// 1 MB of every byte value, zeros included, in an order that repeats at no piece size.
std::string BinaryMegabyte() {
    std::string bytes(1 << 20, '\0');
    uint32_t x = 2463534242u;
    for (char& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<char>(x & 0xFF);
    }
    return bytes;
}

void WriteInPieces(TStream& s, const std::string& value, size_t piece) {
    for (size_t at = 0; at < value.size(); at += piece) {
        s.WriteBuffer(value.data() + at, static_cast<int64_t>(std::min(piece, value.size() - at)));
    }
}

std::string ReadInPieces(TStream& s, size_t piece) {
    std::string out;
    std::string buffer(piece, '\0');
    for (int64_t n; (n = s.Read(buffer.data(), static_cast<int64_t>(piece))) > 0;) {
        out.append(buffer.data(), static_cast<size_t>(n));
    }
    return out;
}

} // namespace

TEST_P(DataSetBlobTest, LargeMemoAndBinaryValuesGoThroughStreamsWholeAndUnchanged) {
    const std::string memo = Memo(0, 100000);
    const std::string binary = BinaryMegabyte();
    Exec({"DROP TABLE IF EXISTS Vsebina",
          std::string("CREATE TABLE Vsebina (Id INTEGER PRIMARY KEY, Opis TEXT, Podatki ") +
              (IsSQLite() ? "BLOB" : "BYTEA") + ")"});
    const std::string bytesOf = IsSQLite() ? "LENGTH(CAST(Opis AS BLOB))" : "OCTET_LENGTH(Opis)";
    const std::string tailOf = IsSQLite() ? "HEX(SUBSTR(Podatki, 1048573, 4))"
                                          : "ENCODE(SUBSTRING(Podatki FROM 1048573 FOR 4), 'hex')";
    auto stored = [&](int id) {
        std::string where = " FROM Vsebina WHERE Id = " + std::to_string(id);
        auto scalar = [&](const std::string& what) {
            return OdbcTestEnv::Get().Scalar(dsn, "SELECT " + what + where);
        };
        return scalar("LENGTH(Opis)") + ":" + scalar(bytesOf) + ":" +
               scalar("SUBSTR(Opis, 99997, 4)") + ":" + scalar("LENGTH(Podatki)") + ":" +
               scalar(tailOf);
    };
    const char* digits = IsSQLite() ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string tail;
    for (unsigned char c : binary.substr(binary.size() - 4)) {
        tail += digits[c >> 4];
        tail += digits[c & 15];
    }
    // Characters, not bytes: the database holds the letters as letters.
    const std::string full =
        "100000:" + std::to_string(memo.size()) + ":" + Memo(99996, 100000) + ":1048576:" + tail;

    // Written through streams in pieces that split characters, with CacheBlobs either way.
    for (bool cacheBlobs : {true, false}) {
        SCOPED_TRACE(cacheBlobs ? "written, CacheBlobs on" : "written, CacheBlobs off");
        const int id = cacheBlobs ? 1 : 2;
        TOEQuery* q = Query({"SELECT Id, Opis, Podatki FROM Vsebina"});
        q->SetRequestLive(true);
        q->SetCacheBlobs(cacheBlobs);
        q->Open();
        EXPECT_EQ(q->FieldByName("Opis")->DataType(), ftMemo);
        EXPECT_EQ(q->FieldByName("Podatki")->DataType(), ftBlob);
        q->Append();
        q->FieldByName("Id")->SetAsInteger(id);
        WriteInPieces(*q->CreateBlobStream(q->FieldByName("Opis"), bmWrite), memo, 4099);
        WriteInPieces(*q->CreateBlobStream(q->FieldByName("Podatki"), bmWrite), binary, 65536);
        q->Post();
        q->Close();
        EXPECT_EQ(stored(id), full);
    }
    // Through memo and blob parameters, whatever a driver describes them as; NULL too.
    TOEQuery* ins =
        Query({"INSERT INTO Vsebina (Id, Opis, Podatki) VALUES (:Id, :Opis, :Podatki)"});
    ins->ParamByName("Id").SetAsInteger(4);
    ins->ParamByName("Opis").SetAsMemo(memo);
    ins->ParamByName("Podatki").SetAsBlob(binary);
    ins->ExecSQL();
    EXPECT_EQ(stored(4), full);
    ins->ParamByName("Id").SetAsInteger(3);
    ins->ParamByName("Opis").Clear();
    ins->ParamByName("Podatki").Clear();
    ins->ExecSQL();
    EXPECT_EQ(OdbcTestEnv::Get().Scalar(
                  dsn, "SELECT COUNT(*) FROM Vsebina WHERE Opis IS NULL AND Podatki IS NULL"),
              "1");

    // Read back in pieces, through AsString and AsVariant. With CacheBlobs off the statement
    // reads a long value only when a stream is made for it. (Over SQLite a scrollable
    // dataset keeps the rows it reads itself, whole; a forward-only one can defer.)
    for (bool cacheBlobs : {true, false}) {
        SCOPED_TRACE(cacheBlobs ? "read, CacheBlobs on" : "read, CacheBlobs off");
        TOEQuery* q = Query({"SELECT Id, Opis, Podatki FROM Vsebina ORDER BY Id"});
        q->SetCacheBlobs(cacheBlobs);
        q->SetUniDirectional(!cacheBlobs && IsSQLite());
        q->Open();
        TField* opis = q->FieldByName("Opis");
        TField* podatki = q->FieldByName("Podatki");
        THstmt& st = q->Statement();
        auto readBytes = [&](TField* f) { return st.ColDataSize(f->FieldNo()); };
        if (!cacheBlobs) {
            EXPECT_LT(readBytes(opis), 0);
            EXPECT_LT(readBytes(podatki), 0);
        }
        EXPECT_TRUE(opis->AsString() == memo);
        EXPECT_EQ(readBytes(opis), static_cast<SQLLEN>(memo.size()));
        if (!cacheBlobs) {
            EXPECT_LT(readBytes(podatki), 0); // only the field asked for
        }
        EXPECT_TRUE(ReadInPieces(*q->CreateBlobStream(podatki, bmRead), 65536) == binary);
        EXPECT_EQ(readBytes(podatki), static_cast<SQLLEN>(binary.size()));

        q->Next();
        EXPECT_TRUE(ReadInPieces(*q->CreateBlobStream(opis, bmRead), 777) == memo);
        EXPECT_TRUE(podatki->AsVariant().AsString() == binary);

        q->Next();
        EXPECT_TRUE(opis->IsNull());
        EXPECT_TRUE(podatki->AsVariant().IsNull());
        EXPECT_EQ(opis->AsString(), "");
        EXPECT_TRUE(opis->AsVariant().IsNull());
        q->Close();
    }
}

ZEN_INSTANTIATE_FOR_DRIVERS(DataSetBlobTest);
