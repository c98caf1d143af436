#pragma once
// The objects a transfer run works with: the one connection, the three local tables and
// the eleven datasets over Tevrin tables. The main window owns them as its components; a
// run without a window owns them through a TTransferModule. Either way they are made by
// CreateTransferComponents, so that both runs find them alike.

#include "toolkit/Component.h"

namespace zen {

class THdbc;
class TwwOEDataSet;
class TTable;
class TDbfFile;

struct TTransferComponents {
    THdbc* Database = nullptr;
    TTable* tbRac = nullptr;    // the transfer file
    TTable* tbNapaka = nullptr; // TPrenosNapaka, the error table
    TTable* tbRacPoz = nullptr; // TVeskPrenosRac, the working table

    TwwOEDataSet* tbLookSubj2 = nullptr;     // customers by second name
    TwwOEDataSet* tbLookSubj = nullptr;      // payers by name
    TwwOEDataSet* tbSubj = nullptr;          // the payer of each invoice
    TwwOEDataSet* tbLookMS = nullptr;        // articles
    TwwOEDataSet* tbLookTarSt = nullptr;     // tax tariffs
    TwwOEDataSet* tbLookPoslDog = nullptr;   // business events
    TwwOEDataSet* tbParameter = nullptr;     // Param, first row
    TwwOEDataSet* tbPromet = nullptr;        // invoice headers
    TwwOEDataSet* tbPrometPoz = nullptr;     // invoice lines
    TwwOEDataSet* tbLookSubjCenik = nullptr; // partner price lists
    TwwOEDataSet* tbLookMsForm = nullptr;    // price formulas
};

// Refuses a transfer file that lacks a field the run reads (Stranka, Artikel, Kolicina,
// StRac; Cena may be missing) by EDatabaseError, its message naming the file and the fields.
void CheckTransferFields(const TDbfFile& file);

// Makes the connection "Database" (driver "SQL Server"), the local tables tbRac (read as a
// dBase table whatever the file holds, refused by CheckTransferFields before any record
// is read), tbNapaka and tbRacPoz, and the eleven datasets, each named as above, owned by `owner`,
// on that connection, with its two-line query (one line for Param), live and editable with
// optimistic concurrency by values.
TTransferComponents CreateTransferComponents(TComponent& owner);

// An owner of one set of the run's objects that is no window.
class TTransferModule : public TComponent {
public:
    TTransferModule();
    const char* ClassName() const noexcept override { return "TTransferModule"; }
    const TTransferComponents& Components() const { return components_; }

private:
    TTransferComponents components_;
};

} // namespace zen
