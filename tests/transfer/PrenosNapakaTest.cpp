#include "transfer/PrenosNapaka.h"
#include "NapakaTables.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Field.h"
#include "toolkit/Home.h"
#include "toolkit/Text.h"

#include <gtest/gtest.h>

using namespace zen;

TEST(PrenosNapaka, ReasonTexts) {
    EXPECT_EQ(NapakaStranka("Žužek"), "Stranka (Žužek) ne obstaja !");
    EXPECT_EQ(NapakaPlacnik("Šola"), "Plačnik (Šola) ne obstaja !");
    EXPECT_EQ(NapakaArtikel("INT-10"), "Artikel (INT-10) ne obstaja !");
    EXPECT_EQ(NapakaArtikel(""), "Artikel () ne obstaja !");
}

TEST(PrenosNapaka, RecreateMakesAnEmptyTableWithItsFieldsAndPrimaryIndex) {
    test::NapakaTables t;
    TTable& tb = t.Napaka();
    RecreatePrenosNapaka(tb);
    ASSERT_TRUE(tb.Active());
    EXPECT_TRUE(tb.IsEmpty());
    EXPECT_TRUE(std::filesystem::exists(tb.TablePath()));
    EXPECT_EQ(tb.TablePath().parent_path(), AliasDirectory("TevrinTemp"));

    // Read the definitions back from the file, not from what was set before creating.
    tb.Close();
    tb.FieldDefs().Clear();
    tb.IndexDefs().Clear();
    tb.Open();
    const TFieldDefs& f = tb.FieldDefs();
    ASSERT_EQ(f.Count(), 3);
    EXPECT_EQ(f[0].Name(), "ZapSt");
    EXPECT_EQ(f[0].DataType(), ftAutoInc);
    EXPECT_EQ(f[1].Name(), "StRac");
    EXPECT_EQ(f[1].DataType(), ftString);
    EXPECT_EQ(f[1].Size(), 10);
    EXPECT_EQ(f[2].Name(), "Napaka");
    EXPECT_EQ(f[2].DataType(), ftString);
    EXPECT_EQ(f[2].Size(), 254); // the invoice phase's reasons; the check phase cuts to 50
    tb.Close();
    TSqliteTable stored(tb.TablePath(), "TPrenosNapaka");
    const TLocalIndex* primary = stored.Primary();
    ASSERT_TRUE(primary);
    EXPECT_EQ(primary->Name, "TPrenosNapaka");
    EXPECT_EQ(primary->Fields, std::vector<std::string>{"ZapSt"});
}

TEST(PrenosNapaka, RowsKeepLoggingOrderAndTextsAreCutToTheirFields) {
    test::NapakaTables t;
    RecreatePrenosNapaka(t.Napaka());
    t.LogEveryCustomer();
    const auto rows = t.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].ZapSt, 1);
    EXPECT_EQ(rows[1].ZapSt, 2);
    EXPECT_EQ(rows[2].ZapSt, 3);

    EXPECT_EQ(rows[0].StRac, "R-0001");
    EXPECT_EQ(rows[0].Napaka, "Stranka (Čebelarstvo Žužek) ne obstaja !");

    // A 40-character customer name makes a 63-character reason: its first 50 are kept,
    // Slovene letters counted as one character each.
    const std::string full = NapakaStranka("Šolski center Škofja Loka, enota Žiri 12");
    ASSERT_EQ(Utf8Length(full), 63u);
    EXPECT_EQ(rows[1].Napaka, Utf8Left(full, 50));
    EXPECT_EQ(rows[1].Napaka, "Stranka (Šolski center Škofja Loka, enota Žiri 12)");

    // The transfer file's 12-character invoice number keeps its first 10.
    EXPECT_EQ(rows[2].StRac, "2024/00001");
    EXPECT_EQ(rows[2].Napaka, "Stranka (Mlekarna Ždrale) ne obstaja !");
}

TEST(PrenosNapaka, EachRunReplacesTheLastRunsRows) {
    test::NapakaTables t;
    RecreatePrenosNapaka(t.Napaka());
    t.LogEveryCustomer();
    ASSERT_EQ(t.Rows().size(), 3u);

    // The next run re-creates the table while it is still open from the last.
    RecreatePrenosNapaka(t.Napaka());
    EXPECT_TRUE(t.Napaka().IsEmpty());
    t.Log({NapakaArtikel("X")});
    const auto rows = t.Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].ZapSt, 1);
    EXPECT_EQ(rows[0].Napaka, "Artikel (X) ne obstaja !");

    // What another table object sees in the file is the same.
    TTable other;
    SetupPrenosNapaka(other);
    other.Open();
    EXPECT_EQ(other.RecordCount(), 1);
}

TEST(PrenosNapaka, TransferFileWithoutStRacRaisesAndLogsNothing) {
    test::NapakaTables t;
    RecreatePrenosNapaka(t.Napaka());
    TTable rac;
    rac.SetTableName((std::filesystem::path(NAPAKA_TEST_DATA) / "bez_strac.dbf").string());
    rac.Open();
    EXPECT_THROW(FillNapaka(t.Napaka(), rac, NapakaStranka("A")), EDatabaseError);
    EXPECT_EQ(t.Napaka().State(), dsBrowse);
    EXPECT_TRUE(t.Napaka().IsEmpty());
    // The table still takes the next error.
    t.Log({NapakaStranka("B")});
    EXPECT_EQ(t.Rows().size(), 1u);
}

TEST(PrenosNapaka, ClosedErrorTableRaisesAndLeavesNoRow) {
    test::NapakaTables t;
    RecreatePrenosNapaka(t.Napaka());
    t.Napaka().Close();
    EXPECT_THROW(t.Log({NapakaStranka("A")}), EDatabaseError);
    t.Napaka().Open();
    EXPECT_TRUE(t.Napaka().IsEmpty());
}
