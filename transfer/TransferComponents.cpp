#include "transfer/TransferComponents.h"

#include "dataset/ODSI.h"
#include "localtable/Table.h"
#include "odbc/Hdbc.h"
#include "toolkit/Exceptions.h"
#include "transfer/PrenosNapaka.h"
#include "transfer/VeskPrenosRac.h"

#include <string>
#include <vector>

namespace zen {

namespace {

TwwOEDataSet* MakeDataSet(TComponent& owner, const char* name,
                          const std::vector<std::string>& lines) {
    auto* q = new TwwOEDataSet(&owner);
    q->SetName(name);
    q->SetDatabaseName("Database");
    q->SetSQL(lines);
    // Live: the statement asks for optimistic concurrency by values (4).
    q->SetRequestLive(true);
    q->SetEditable(true);
    return q;
}

} // namespace

void CheckTransferFields(const TDbfFile& file) {
    std::vector<std::string> missing;
    for (const char* name : {"Stranka", "Artikel", "Kolicina", "StRac"}) {
        if (file.FieldIndex(name) < 0) {
            missing.push_back(name);
        }
    }
    if (missing.empty()) {
        return;
    }
    std::string names = missing[0];
    for (size_t i = 1; i < missing.size(); ++i) {
        names += (i + 1 < missing.size() ? ", " : " in ") + missing[i];
    }
    throw EDatabaseError("Datoteka " + file.Path().string() + " nima " +
                         (missing.size() == 1 ? "polja " : "polj ") + names + ".");
}

TTransferComponents CreateTransferComponents(TComponent& owner) {
    TTransferComponents c;
    // The connection first: each dataset takes the first connection among its owner's
    // components.
    c.Database = new THdbc(&owner);
    c.Database->SetName("Database");
    c.Database->SetDriver("SQL Server");
    c.tbRac = new TTable(&owner);
    c.tbRac->SetName("tbRac");
    c.tbRac->SetTableName("Prenos.DBF");
    // Whatever the operator names is only read: a file that is no dBase table is refused,
    // never opened as a table of another kind.
    c.tbRac->SetTableFormat(tfDBase);
    c.tbRac->OnDbfHeader = CheckTransferFields;
    c.tbNapaka = new TTable(&owner);
    c.tbNapaka->SetName("tbNapaka");
    SetupPrenosNapaka(*c.tbNapaka);
    c.tbRacPoz = new TTable(&owner);
    c.tbRacPoz->SetName("tbRacPoz");
    DefineVeskPrenosRac(*c.tbRacPoz);

    c.tbLookSubj2 =
        MakeDataSet(owner, "tbLookSubj2", {"SELECT * FROM Subjekt ", "ORDER BY NAZIV2 "});
    c.tbLookSubj = MakeDataSet(owner, "tbLookSubj", {"SELECT * FROM Subjekt ", "ORDER BY NAZIV "});
    c.tbSubj = MakeDataSet(owner, "tbSubj", {"SELECT * FROM Subjekt ", "ORDER BY NAZIV "});
    c.tbLookMS = MakeDataSet(owner, "tbLookMS", {"SELECT * FROM Ms ", "ORDER BY IDENT "});
    c.tbLookTarSt = MakeDataSet(owner, "tbLookTarSt", {"SELECT * FROM TarSt ", "ORDER BY TS "});
    c.tbLookPoslDog =
        MakeDataSet(owner, "tbLookPoslDog", {"SELECT * FROM PoslDog ", "ORDER BY POSLDOG "});
    c.tbParameter = MakeDataSet(owner, "tbParameter", {"SELECT * FROM Param "});
    c.tbPromet = MakeDataSet(owner, "tbPromet", {"SELECT * FROM Promet ", "ORDER BY KLJUC "});
    c.tbPrometPoz =
        MakeDataSet(owner, "tbPrometPoz", {"SELECT * FROM PrometPoz ", "ORDER BY KLJUC,POZ "});
    c.tbLookSubjCenik =
        MakeDataSet(owner, "tbLookSubjCenik",
                    {"SELECT * FROM SubjektCenik ", "ORDER BY SUBJEKT,IDENT,PREIZD "});
    c.tbLookMsForm =
        MakeDataSet(owner, "tbLookMsForm", {"SELECT * FROM MsFormula ", "ORDER BY Sifra "});
    return c;
}

TTransferModule::TTransferModule() : components_(CreateTransferComponents(*this)) {
    SetName("TransferModule");
}

} // namespace zen
