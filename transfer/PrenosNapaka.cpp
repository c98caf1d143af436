#include "transfer/PrenosNapaka.h"

#include "localtable/Table.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Field.h"
#include "toolkit/Text.h"

namespace zen {

namespace {

std::string Reason(const char* what, const std::string& value) {
    return std::string(what) + " (" + value + ") ne obstaja !";
}

} // namespace

void SetupPrenosNapaka(TTable& tbNapaka) {
    tbNapaka.SetDatabaseName(kNapakaAlias);
    tbNapaka.SetTableName(kNapakaTableName);
}

void RecreatePrenosNapaka(TTable& tbNapaka) {
    tbNapaka.Close();
    TFieldDefs& fields = tbNapaka.FieldDefs();
    fields.Clear();
    fields.Add("ZapSt", ftAutoInc);
    fields.Add("StRac", ftString, kNapakaStRacSize);
    fields.Add("Napaka", ftString, kNapakaNapakaSize);
    TIndexDefs& indexes = tbNapaka.IndexDefs();
    indexes.Clear();
    indexes.Add(kNapakaTableName, "ZapSt", ixPrimary);
    tbNapaka.CreateTable();
    tbNapaka.Open();
}

void FillNapaka(TDataSet& tbNapaka, const TDataSet& tbRac, const std::string& reason) {
    // Read before appending: a transfer file without StRac must not leave a half row.
    const TField* field = tbRac.FieldByName("StRac");
    std::string stRac;
    try {
        stRac = field->AsString();
    } catch (const EDatabaseError&) {
        // A value the file cannot give: the reason still names the record.
    }
    FillNapakaRow(tbNapaka, stRac, Utf8Left(reason, kNapakaReasonSize));
}

void FillNapakaRow(TDataSet& tbNapaka, const std::string& stRac, const std::string& reason) {
    tbNapaka.Append();
    try {
        tbNapaka.FieldByName("StRac")->SetAsString(stRac);
        tbNapaka.FieldByName("Napaka")->SetAsString(reason);
        tbNapaka.Post();
    } catch (...) {
        tbNapaka.Cancel();
        throw;
    }
}

std::string NapakaStranka(const std::string& stranka) {
    return Reason("Stranka", stranka);
}
std::string NapakaPlacnik(const std::string& placnik) {
    return Reason("Plačnik", placnik);
}
std::string NapakaArtikel(const std::string& artikel) {
    return Reason("Artikel", artikel);
}
std::string NapakaNeberljivo(int record, const std::string& field) {
    return "Zapis " + std::to_string(record) + ": polje " + field + " ni berljivo !";
}

} // namespace zen
