// Memo fields read and written through blob streams, with long values read with the row
// and read only when asked.

#include "DataSetFixture.h"
#include "toolkit/Stream.h"

#include <gtest/gtest.h>

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

ZEN_INSTANTIATE_FOR_DRIVERS(DataSetBlobTest);
