#include "toolkit/DataSet.h"
#include "MemDataSet.h"
#include "support/TestSupport.h"
#include "toolkit/Exceptions.h"

#include <gtest/gtest.h>

using namespace zen;
using zen::test::TMemDataSet;

namespace {

// A dataset of articles: ID, NAZIV (10 characters), CENA, DATUM; rows given as
// (id, name) with the price id * 1.5.
void MakeArticles(TMemDataSet& ds, const std::vector<std::pair<int, std::string>>& rows) {
    ds.FieldDefs().Add("ID", ftInteger, 0, true);
    ds.FieldDefs().Add("NAZIV", ftString, 10);
    ds.FieldDefs().Add("CENA", ftFloat);
    ds.FieldDefs().Add("DATUM", ftDate);
    ds.Open();
    for (const auto& [id, name] : rows) {
        ds.Append();
        ds.FieldByName("ID")->SetAsInteger(id);
        ds.FieldByName("NAZIV")->SetAsString(name);
        ds.FieldByName("CENA")->SetAsFloat(id * 1.5);
        ds.Post();
    }
}

std::vector<int> Ids(TMemDataSet& ds) {
    std::vector<int> ids;
    for (ds.First(); !ds.Eof(); ds.Next()) {
        ids.push_back(ds.FieldByName("ID")->AsInteger());
    }
    return ids;
}

} // namespace

TEST(DataSetTest, EmptyDatasetNavigation) {
    TMemDataSet ds;
    MakeArticles(ds, {});
    EXPECT_TRUE(ds.Active());
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_TRUE(ds.Bof());
    EXPECT_TRUE(ds.Eof());
    ds.Next();
    ds.Last();
    EXPECT_TRUE(ds.Eof());
    EXPECT_TRUE(ds.FieldByName("ID")->IsNull());
    EXPECT_EQ(ds.FieldByName("NAZIV")->AsString(), "");
    EXPECT_THROW(ds.Delete(), EDatabaseError);
    EXPECT_TRUE(ds.GetBookmark().empty());
}

TEST(DataSetTest, ForwardAndBackwardNavigation) {
    TMemDataSet ds;
    MakeArticles(ds, {{1, "A"}, {2, "B"}, {3, "C"}});
    EXPECT_EQ(Ids(ds), (std::vector<int>{1, 2, 3}));
    // Eof is set by the move that fails, and the last row stays current.
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3);

    std::vector<int> back;
    for (ds.Last(); !ds.Bof(); ds.Prior()) {
        back.push_back(ds.FieldByName("ID")->AsInteger());
    }
    EXPECT_EQ(back, (std::vector<int>{3, 2, 1}));

    ds.First();
    EXPECT_EQ(ds.MoveBy(5), 2);
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.MoveBy(-1), -1);
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 2);
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_EQ(ds.RecordCount(), 3);
}

TEST(DataSetTest, OpenOnAnOpenDatasetKeepsPositionAndPendingEdit) {
    TMemDataSet ds;
    MakeArticles(ds, {{1, "A"}, {2, "B"}});
    ds.First();
    ds.Next();
    ds.Edit();
    ds.FieldByName("NAZIV")->SetAsString("changed");
    int opens = ds.internalOpens;
    ds.Open();
    EXPECT_EQ(ds.internalOpens, opens);
    EXPECT_EQ(ds.State(), dsEdit);
    EXPECT_EQ(ds.FieldByName("NAZIV")->AsString(), "changed");
    ds.Post();

    ds.Close();
    EXPECT_FALSE(ds.Active());
    // The fields were made from the definitions and went with the close.
    EXPECT_EQ(ds.FieldCount(), 0);
    ds.Open();
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);
    ds.Next();
    EXPECT_EQ(ds.FieldByName("NAZIV")->AsString(), "changed");
}

TEST(DataSetTest, FieldNotFoundAndWritesOutsideEditing) {
    TMemDataSet ds;
    ds.SetName("tbMs");
    MakeArticles(ds, {{1, "A"}});
    try {
        ds.FieldByName("IDENT");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "tbMs: Field 'IDENT' not found");
    }
    EXPECT_EQ(ds.FindField("ident"), nullptr);
    EXPECT_EQ(ds.FindField("naziv"), ds.FieldByName("NAZIV"));
    EXPECT_THROW(ds.FieldByName("NAZIV")->SetAsString("x"), EDatabaseError);
    EXPECT_THROW(ds.Post(), EDatabaseError);
    EXPECT_THROW(ds.GetFieldList("ID;NOPE"), EDatabaseError);
}

TEST(DataSetTest, AppendInsertEditDeleteAndCancel) {
    TMemDataSet ds;
    MakeArticles(ds, {{1, "A"}, {3, "C"}});
    // After Append every field is null; Post keeps the new row current.
    ds.Append();
    for (TField* f : ds.Fields()) {
        EXPECT_TRUE(f->IsNull()) << f->FieldName();
    }
    ds.FieldByName("ID")->SetAsInteger(4);
    ds.Post();
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 4);
    EXPECT_FALSE(ds.Eof());

    // Insert goes before the current row.
    ds.First();
    ds.Next();
    ds.Insert();
    ds.FieldByName("ID")->SetAsInteger(2);
    ds.Post();
    EXPECT_EQ(Ids(ds), (std::vector<int>{1, 2, 3, 4}));

    // Cancel of an edit brings the stored values back.
    ds.First();
    ds.Edit();
    ds.FieldByName("NAZIV")->SetAsString("Z");
    EXPECT_TRUE(ds.Modified());
    ds.Cancel();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.FieldByName("NAZIV")->AsString(), "A");

    // Cancel of an insert leaves the rows as they were.
    ds.Insert();
    ds.FieldByName("ID")->SetAsInteger(99);
    ds.Cancel();
    EXPECT_EQ(ds.StoredRows(), 4);
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);

    // Delete shows the next row, or the prior one at the end.
    ds.Next();
    ds.Delete();
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3);
    ds.Last();
    ds.Delete();
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3);
    EXPECT_EQ(Ids(ds), (std::vector<int>{1, 3}));

    // Deleting every row empties the view.
    ds.First();
    while (!ds.Eof()) {
        ds.Delete();
    }
    EXPECT_TRUE(ds.IsEmpty());
}

TEST(DataSetTest, NavigationPostsAModifiedRecordAndDropsAnUntouchedOne) {
    TMemDataSet ds;
    MakeArticles(ds, {{1, "A"}, {2, "B"}});
    ds.First();
    ds.Edit();
    ds.FieldByName("NAZIV")->SetAsString("AA");
    ds.Next();
    EXPECT_EQ(ds.State(), dsBrowse);
    ds.First();
    EXPECT_EQ(ds.FieldByName("NAZIV")->AsString(), "AA");

    ds.Append();
    ds.First(); // nothing was entered: the new row is dropped
    EXPECT_EQ(ds.StoredRows(), 2);
}

TEST(DataSetTest, FailedPostKeepsTheRecordBeingEdited) {
    TMemDataSet ds;
    MakeArticles(ds, {{1, "A"}});
    ds.Append();
    ds.FieldByName("NAZIV")->SetAsString("no id");
    try {
        ds.Post();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'ID' must have a value");
    }
    EXPECT_EQ(ds.State(), dsInsert);
    EXPECT_EQ(ds.FieldByName("NAZIV")->AsString(), "no id");

    // OnPostError may correct the record and retry, or abort quietly.
    int calls = 0;
    ds.OnPostError = [&](TDataSet& d, Exception&, TDataAction& action) {
        ++calls;
        d.FieldByName("ID")->SetAsInteger(7);
        action = daRetry;
    };
    ds.Post();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ds.StoredRows(), 2);

    ds.Append();
    ds.OnPostError = [](TDataSet&, Exception&, TDataAction& action) { action = daAbort; };
    EXPECT_THROW(ds.Post(), EAbort);
    EXPECT_EQ(ds.State(), dsInsert);
    ds.Cancel();

    // An exception in BeforePost stops the post the same way.
    ds.BeforePost = [](TDataSet&) { throw EDatabaseError("refused"); };
    ds.Edit();
    ds.FieldByName("NAZIV")->SetAsString("x");
    EXPECT_THROW(ds.Post(), EDatabaseError);
    EXPECT_EQ(ds.State(), dsEdit);
}

TEST(DataSetTest, EventsFireInOrder) {
    TMemDataSet ds;
    std::vector<std::string> log;
    auto rec = [&](const char* name) { return [&log, name](TDataSet&) { log.push_back(name); }; };
    ds.BeforeOpen = rec("BeforeOpen");
    ds.AfterOpen = rec("AfterOpen");
    ds.BeforeInsert = rec("BeforeInsert");
    ds.OnNewRecord = [&](TDataSet& d) {
        log.push_back("OnNewRecord");
        d.FieldByName("ID")->SetAsInteger(100);
    };
    ds.AfterInsert = rec("AfterInsert");
    ds.BeforePost = rec("BeforePost");
    ds.AfterPost = rec("AfterPost");
    ds.BeforeScroll = rec("BeforeScroll");
    ds.AfterScroll = rec("AfterScroll");
    ds.BeforeClose = rec("BeforeClose");
    ds.AfterClose = rec("AfterClose");
    MakeArticles(ds, {{1, "A"}});
    ds.Close();
    EXPECT_EQ(log,
              (std::vector<std::string>{"BeforeOpen", "AfterOpen", "BeforeInsert", "BeforeScroll",
                                        "OnNewRecord", "AfterInsert", "AfterScroll", "BeforePost",
                                        "AfterPost", "BeforeClose", "AfterClose"}));
}

TEST(DataSetTest, AppendRecordGoesThroughInternalAddRecord) {
    TMemDataSet ds;
    MakeArticles(ds, {{1, "A"}});
    ds.AppendRecord({TVariant(5), TVariant("E"), TVariant(), TVariant::Null()});
    EXPECT_EQ(ds.internalAdds, 1);
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 5);
    EXPECT_TRUE(ds.FieldByName("CENA")->IsNull());
    ds.First();
    ds.InsertRecord({TVariant(0), TVariant("first")});
    EXPECT_EQ(Ids(ds), (std::vector<int>{0, 1, 5}));
    // A record that cannot be posted leaves the dataset browsing, unchanged.
    EXPECT_THROW(ds.AppendRecord({TVariant::Null(), TVariant("x")}), EDatabaseError);
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.StoredRows(), 3);
}

TEST(DataSetTest, BookmarksReturnToARow) {
    TMemDataSet ds;
    MakeArticles(ds, {{1, "A"}, {2, "B"}, {3, "C"}});
    ds.First();
    ds.Next();
    TBookmark b = ds.GetBookmark();
    ASSERT_EQ(static_cast<int>(b.size()), ds.BookmarkSize());
    EXPECT_TRUE(ds.BookmarkValid(b));
    ds.Last();
    TBookmark last = ds.GetBookmark();
    EXPECT_EQ(ds.CompareBookmarks(b, b), 0);
    EXPECT_NE(ds.CompareBookmarks(b, last), 0);
    EXPECT_EQ(ds.CompareBookmarks(TBookmark{}, TBookmark{}), 0);
    EXPECT_EQ(ds.CompareBookmarks(b, TBookmark{}), 1);
    ds.GotoBookmark(b);
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 2);
    EXPECT_FALSE(ds.Eof());
    ds.FreeBookmark(b);
    EXPECT_TRUE(b.empty());
    EXPECT_THROW(ds.GotoBookmark(TBookmark{1, 2}), EDatabaseError);
    // A bookmark of a deleted row is not found again.
    TBookmark gone = ds.GetBookmark();
    ds.Delete();
    EXPECT_THROW(ds.GotoBookmark(gone), EDatabaseError);
}

TEST(DataSetTest, LocateAndLookup) {
    TMemDataSet ds;
    MakeArticles(ds, {{1, "ABCD"}, {2, "XABC"}, {3, "čevlji"}, {4, "AB"}});
    ds.Append();
    ds.FieldByName("ID")->SetAsInteger(5);
    ds.Post();

    int scrolls = 0;
    ds.AfterScroll = [&](TDataSet&) { ++scrolls; };
    ds.First();
    scrolls = 0;
    EXPECT_TRUE(ds.Locate("NAZIV", TVariant("abc"), loCaseInsensitive | loPartialKey));
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);
    EXPECT_EQ(scrolls, 1);
    EXPECT_TRUE(ds.Locate("NAZIV", TVariant("ČEV"), loCaseInsensitive | loPartialKey));
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3);
    EXPECT_TRUE(ds.Locate("NAZIV", TVariant("AB "), 0)); // trailing blanks are trimmed
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 4);
    EXPECT_TRUE(ds.Locate("NAZIV", TVariant::Null(), 0)); // null finds the null field
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 5);

    // Not found: the position stays, and no scroll is reported.
    ds.First();
    scrolls = 0;
    EXPECT_FALSE(ds.Locate("NAZIV", TVariant("abc"), 0));
    EXPECT_FALSE(ds.Locate("ID", TVariant("not a number"), 0));
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);
    EXPECT_EQ(scrolls, 0);
    ds.Next();
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 2);

    // Two key fields: both must match.
    EXPECT_TRUE(ds.Locate("ID;NAZIV", TVariant::Array({TVariant(4), TVariant("AB")}), 0));
    EXPECT_FALSE(ds.Locate("ID;NAZIV", TVariant::Array({TVariant(4), TVariant("ABCD")}), 0));
    EXPECT_THROW(ds.Locate("ID;NAZIV", TVariant(4), 0), EDatabaseError);
    EXPECT_THROW(ds.Locate("NOPE", TVariant(4), 0), EDatabaseError);

    // Lookup reads without moving.
    ds.First();
    EXPECT_EQ(ds.Lookup("ID", TVariant("2"), "NAZIV").AsString(), "XABC");
    TVariant both = ds.Lookup("ID", TVariant(3), "ID;CENA");
    ASSERT_TRUE(both.IsArray());
    EXPECT_DOUBLE_EQ(both[1].AsFloat(), 4.5);
    EXPECT_TRUE(ds.Lookup("ID", TVariant(42), "NAZIV").IsNull());
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);
    ds.Next();
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 2);

    TMemDataSet empty;
    MakeArticles(empty, {});
    EXPECT_TRUE(empty.Lookup("ID", TVariant(1), "NAZIV").IsNull());
    EXPECT_FALSE(empty.Locate("ID", TVariant(1), 0));
}

TEST(DataSetTest, FilteringAndFindRecord) {
    TMemDataSet ds;
    MakeArticles(ds, {{1, "A"}, {2, "B"}, {3, "C"}, {4, "D"}});
    ds.SetOnFilterRecord(
        [](TDataSet& d, bool& accept) { accept = d.FieldByName("ID")->AsInteger() % 2 == 0; });
    ds.SetFiltered(true);
    EXPECT_EQ(Ids(ds), (std::vector<int>{2, 4}));
    EXPECT_TRUE(ds.Locate("ID", TVariant(4), 0));
    EXPECT_FALSE(ds.Locate("ID", TVariant(3), 0));

    ds.SetOnFilterRecord([](TDataSet&, bool& accept) { accept = false; });
    ds.First();
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_FALSE(ds.Locate("ID", TVariant(4), 0));

    // A handler that raises is reported, and reading goes on.
    std::vector<std::string> reported;
    SetApplicationExceptionHandler([&](const std::exception& e) { reported.push_back(e.what()); });
    ds.SetOnFilterRecord([](TDataSet&, bool&) { throw EConvertError("bad filter"); });
    EXPECT_EQ(Ids(ds).size(), 4u);
    SetApplicationExceptionHandler(nullptr);
    EXPECT_EQ(reported.size(), 4u);

    ds.SetFiltered(false);
    ds.SetOnFilterRecord(
        [](TDataSet& d, bool& accept) { accept = d.FieldByName("ID")->AsInteger() >= 3; });
    EXPECT_TRUE(ds.FindFirst());
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3);
    EXPECT_TRUE(ds.FindNext());
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 4);
    EXPECT_FALSE(ds.FindNext());
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 4);
    EXPECT_TRUE(ds.FindPrior());
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3);
    EXPECT_TRUE(ds.Found());
}

TEST(DataSetTest, CalculatedAndLookupFields) {
    TMemDataSet tariffs;
    tariffs.FieldDefs().Add("SIFRA", ftString, 2);
    tariffs.FieldDefs().Add("STOPNJA", ftFloat);
    tariffs.Open();
    tariffs.AppendRecord({TVariant("A"), TVariant(22.0)});
    tariffs.AppendRecord({TVariant("B"), TVariant(9.5)});

    TMemDataSet ds;
    ds.FieldDefs().Add("ID", ftInteger);
    ds.FieldDefs().Add("TAR", ftString, 2);
    ds.FieldDefs().Add("CENA", ftFloat);
    for (int i = 0; i < ds.FieldDefs().Count(); ++i) {
        ds.FieldDefs()[i].CreateField(ds);
    }
    auto* gross = static_cast<TFloatField*>(ds.AddField(std::make_unique<TFloatField>()));
    gross->SetFieldName("BRUTO");
    gross->SetCalculated(true);
    auto rate = std::make_unique<TFloatField>();
    rate->SetFieldName("STOPNJA");
    rate->SetLookup(true);
    rate->SetLookupDataSet(&tariffs);
    rate->SetKeyFields("TAR");
    rate->SetLookupKeyFields("SIFRA");
    rate->SetLookupResultField("STOPNJA");
    ds.AddField(std::move(rate));
    ds.OnCalcFields = [](TDataSet& d) {
        if (!d.FieldByName("STOPNJA")->IsNull()) {
            d.FieldByName("BRUTO")->SetAsFloat(d.FieldByName("CENA")->AsFloat() *
                                               (1 + d.FieldByName("STOPNJA")->AsFloat() / 100));
        }
    };
    ds.Open();
    EXPECT_FALSE(ds.DefaultFields());
    EXPECT_EQ(gross->Offset(), 0);
    EXPECT_EQ(ds.CalcFieldsSize(), 18);

    ds.AppendRecord({TVariant(1), TVariant("A"), TVariant(100.0)});
    ds.AppendRecord({TVariant(2), TVariant("Q"), TVariant(50.0)});
    ds.First();
    EXPECT_DOUBLE_EQ(ds.FieldByName("STOPNJA")->AsFloat(), 22);
    EXPECT_DOUBLE_EQ(gross->AsFloat(), 122);
    ds.Next();
    EXPECT_TRUE(ds.FieldByName("STOPNJA")->IsNull());
    EXPECT_TRUE(gross->IsNull());

    // Editing a data field recalculates at once.
    ds.Edit();
    ds.FieldByName("TAR")->SetAsString("B");
    EXPECT_DOUBLE_EQ(gross->AsFloat(), 54.75);
    ds.Cancel();
    EXPECT_TRUE(gross->IsNull());

    // Persistent fields stay over a close; a lookup dataset that goes is forgotten.
    EXPECT_THROW(ds.AddField(std::make_unique<TIntegerField>()), EDatabaseError);
    ds.Close();
    EXPECT_EQ(ds.FieldCount(), 5);
    auto* lookup = ds.FieldByName("STOPNJA");
    {
        TMemDataSet other;
        lookup->SetLookupDataSet(&other);
    }
    EXPECT_EQ(lookup->LookupDataSet(), nullptr);
    EXPECT_THROW(lookup->SetLookupDataSet(&ds), EDatabaseError);
}

TEST(DataSetTest, PersistentFieldsMustMatchTheirDefinitions) {
    TMemDataSet ds;
    ds.FieldDefs().Add("NAZIV", ftString, 10);
    auto name = std::make_unique<TStringField>(50);
    name->SetFieldName("NAZIV");
    ds.AddField(std::move(name));
    // A larger field would read past its slot: the open is refused and nothing stays open.
    EXPECT_THROW(ds.Open(), EDatabaseError);
    EXPECT_FALSE(ds.Active());

    TMemDataSet sizeless;
    sizeless.FieldDefs().Add("NAZIV", ftString, 0);
    try {
        sizeless.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Invalid size 0 for string field 'NAZIV'");
    }
    EXPECT_FALSE(sizeless.Active());
    EXPECT_EQ(sizeless.FieldCount(), 0);

    TMemDataSet typed;
    typed.FieldDefs().Add("ID", ftString, 4);
    auto id = std::make_unique<TIntegerField>();
    id->SetFieldName("ID");
    typed.AddField(std::move(id));
    EXPECT_THROW(typed.Open(), EDatabaseError);
}

namespace {

class RecordingLink : public TDataLink {
public:
    std::vector<std::string> events;

protected:
    void ActiveChanged() override { events.push_back(Active() ? "active" : "inactive"); }
    void EditingChanged() override { events.push_back(Editing() ? "editing" : "browsing"); }
    void DataSetChanged() override { events.push_back("changed"); }
    void DataSetScrolled(int distance) override {
        events.push_back("scrolled " + std::to_string(distance));
    }
    void RecordChanged(TField* field) override {
        events.push_back("record " + (field ? field->FieldName() : std::string("-")));
    }
};

} // namespace

TEST(DataSetTest, DataLinksHearOfChangesUnlessControlsAreDisabled) {
    TMemDataSet ds;
    TDataSource source;
    source.SetDataSet(&ds);
    RecordingLink link;
    link.SetDataSource(&source);
    MakeArticles(ds, {{1, "A"}, {2, "B"}});
    EXPECT_TRUE(link.Active());

    link.events.clear();
    ds.First();
    ds.Next();
    EXPECT_EQ(link.events, (std::vector<std::string>{"changed", "scrolled 1"}));

    link.events.clear();
    ds.Edit();
    ds.FieldByName("NAZIV")->SetAsString("x");
    ds.Cancel();
    EXPECT_EQ(link.events, (std::vector<std::string>{"editing", "record -", "record NAZIV",
                                                     "browsing", "changed"}));

    link.events.clear();
    ds.DisableControls();
    ds.First();
    ds.Next();
    EXPECT_TRUE(ds.ControlsDisabled());
    EXPECT_TRUE(link.events.empty());
    ds.EnableControls();
    EXPECT_EQ(link.events, (std::vector<std::string>{"changed"}));

    link.events.clear();
    ds.Close();
    EXPECT_EQ(link.events, (std::vector<std::string>{"inactive"}));
    EXPECT_FALSE(source.IsLinkedTo(nullptr));
    EXPECT_TRUE(source.IsLinkedTo(&ds));
}

TEST(DataSetTest, ReadOnlyDatasetRefusesChanges) {
    TMemDataSet ds;
    MakeArticles(ds, {{1, "A"}});
    ds.SetReadOnly(true);
    EXPECT_THROW(ds.Edit(), EDatabaseError);
    EXPECT_THROW(ds.Append(), EDatabaseError);
    EXPECT_THROW(ds.Delete(), EDatabaseError);
    EXPECT_EQ(ds.State(), dsBrowse);
}

TEST(DataSetTest, EditingCornerCases) {
    TMemDataSet ds;
    MakeArticles(ds, {});
    // Edit on an empty dataset starts an insert.
    ds.Edit();
    EXPECT_EQ(ds.State(), dsInsert);
    ds.FieldByName("ID")->SetAsInteger(1);
    ds.Post();
    EXPECT_EQ(ds.StoredRows(), 1);
    EXPECT_FALSE(ds.Eof());

    // Delete while editing deletes the row being edited.
    ds.AppendRecord({TVariant(2), TVariant("B")});
    ds.Edit();
    ds.FieldByName("NAZIV")->SetAsString("changed");
    ds.Delete();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(Ids(ds), (std::vector<int>{1}));

    // Delete of a record being inserted just drops it.
    ds.Insert();
    ds.FieldByName("ID")->SetAsInteger(9);
    ds.Delete();
    EXPECT_EQ(ds.StoredRows(), 1);

    // ClearFields empties the record being edited; several values go in at once.
    ds.First();
    ds.Edit();
    ds.ClearFields();
    EXPECT_TRUE(ds.FieldByName("ID")->IsNull());
    ds.SetFieldValues("ID;NAZIV", TVariant::Array({TVariant(3), TVariant("C")}));
    EXPECT_THROW(ds.SetFieldValues("ID;NAZIV", TVariant(3)), EDatabaseError);
    ds.Post();
    TVariant v = ds.FieldValues("NAZIV;ID");
    EXPECT_EQ(v[0].AsString(), "C");
    EXPECT_EQ(v[1].AsInteger(), 3);

    // Closing drops a pending insert.
    ds.Append();
    ds.FieldByName("ID")->SetAsInteger(4);
    ds.Close();
    ds.Open();
    EXPECT_EQ(ds.StoredRows(), 1);
}

TEST(DataSetTest, CancelEndsEvenWhenTheRowHasGoneMeanwhile) {
    TMemDataSet ds;
    MakeArticles(ds, {{1, "A"}, {2, "B"}, {3, "C"}});
    ds.First();
    ds.Next();
    ds.Edit();
    ds.FieldByName("NAZIV")->SetAsString("x");
    ds.DropStoredRow(1);
    ds.Cancel();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);

    ds.Last();
    ds.Insert(); // before row 3, which then goes
    ds.DropStoredRow(1);
    ds.Cancel();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);
    EXPECT_EQ(Ids(ds), (std::vector<int>{1}));
}

TEST(DataSetTest, AutoCalcFieldsCanBeSwitchedOff) {
    TMemDataSet ds;
    ds.FieldDefs().Add("A", ftInteger);
    ds.FieldDefs()[0].CreateField(ds);
    TField* twice = ds.AddField(std::make_unique<TIntegerField>());
    twice->SetFieldName("TWICE");
    twice->SetCalculated(true);
    int calcs = 0;
    ds.OnCalcFields = [&](TDataSet& d) {
        ++calcs;
        if (!d.FieldByName("A")->IsNull()) {
            d.FieldByName("TWICE")->SetAsInteger(2 * d.FieldByName("A")->AsInteger());
        }
    };
    ds.SetAutoCalcFields(false);
    ds.Open();
    ds.AppendRecord({TVariant(2)});
    EXPECT_EQ(twice->AsInteger(), 4);
    ds.Edit();
    calcs = 0;
    ds.FieldByName("A")->SetAsInteger(5);
    EXPECT_EQ(calcs, 0);
    EXPECT_EQ(twice->AsInteger(), 4);
    ds.Post();
    EXPECT_EQ(twice->AsInteger(), 10);
}

// Random editing and moving, checked step by step against a plain list of ids.
TEST(DataSetTest, RandomOperationsAgreeWithAListModel) {
    TMemDataSet ds;
    MakeArticles(ds, {});
    std::vector<int> model;
    int cur = -1;
    int nextId = 1;
    unsigned seed = 12345;
    auto rnd = [&](int n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % static_cast<unsigned>(n));
    };
    for (int step = 0; step < 3000; ++step) {
        int n = static_cast<int>(model.size());
        int op = rnd(9);
        SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op));
        switch (op) {
        case 0:
            ds.Append();
            ds.FieldByName("ID")->SetAsInteger(nextId);
            ds.Post();
            model.push_back(nextId++);
            cur = static_cast<int>(model.size()) - 1;
            break;
        case 1: {
            ds.Insert();
            ds.FieldByName("ID")->SetAsInteger(nextId);
            ds.Post();
            int at = cur < 0 ? 0 : cur;
            model.insert(model.begin() + at, nextId++);
            cur = at;
            break;
        }
        case 2:
            if (n > 0 && rnd(3) == 0) {
                ds.Delete();
                model.erase(model.begin() + cur);
                n = static_cast<int>(model.size());
                cur = n == 0 ? -1 : std::min(cur, n - 1);
            }
            break;
        case 3:
            ds.Next();
            if (n > 0 && cur < n - 1) {
                ++cur;
            }
            break;
        case 4:
            ds.Prior();
            if (cur > 0) {
                --cur;
            }
            break;
        case 5:
            ds.First();
            cur = n > 0 ? 0 : -1;
            break;
        case 6:
            ds.Last();
            cur = n - 1;
            break;
        case 7:
            if (n > 0) {
                int target = rnd(n);
                ASSERT_TRUE(ds.Locate("ID", TVariant(model[static_cast<size_t>(target)]), 0));
                cur = target;
            }
            break;
        case 8:
            if (n > 0) {
                ds.Edit();
                ds.FieldByName("NAZIV")->SetAsString("e" + std::to_string(step));
                if (rnd(2) == 0) {
                    ds.Post();
                } else {
                    ds.Cancel();
                }
            }
            break;
        }
        ASSERT_EQ(ds.StoredRows(), static_cast<int>(model.size()));
        ASSERT_EQ(ds.IsEmpty(), model.empty());
        if (!model.empty()) {
            ASSERT_EQ(ds.FieldByName("ID")->AsInteger(), model[static_cast<size_t>(cur)]);
            ASSERT_EQ(ds.RecNo(), cur + 1);
        }
    }
    EXPECT_GT(model.size(), 100u);
    EXPECT_EQ(Ids(ds), model);
}
