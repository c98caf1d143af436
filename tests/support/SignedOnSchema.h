#pragma once
// For tests that run the program's own sign-on against a fresh Tevrin schema. Header only:
// it needs the application's login store, which the support library does not link.

#include "app/SignOn.h"
#include "support/OdbcTestEnv.h"

#include <string>
#include <vector>

namespace zen::test {

// The driver's data source with the schema loaded afresh (`demo`: with the demo's rows too),
// its login stored where the program's sign-on reads it.
inline DsnInfo FreshSignedOnSchema(TestDriver driver, bool demo = false) {
    if (demo) {
        OdbcTestEnv::Get().LoadDemo(driver);
    } else {
        OdbcTestEnv::Get().LoadSchema(driver);
    }
    DsnInfo dsn = OdbcTestEnv::Get().Dsn(driver);
    if (!dsn.user.empty()) {
        StoreSqlLogin(dsn.user, dsn.password);
    }
    return dsn;
}

// A parameter row, business event 12, one tax rate, one article (ADSL) and one customer who
// pays for himself (Zavod Sonce): the least a run needs to write an invoice.
inline std::vector<std::string> SonceRows() {
    return {
        "INSERT INTO Param (Id, RoundT, PolniRefIzSubj, NasaValuta, NacIzrRabata, "
        "OsnZaIzrProdCene) VALUES (1, 0.01, 'T', 'EUR', 'S', 'N')",
        "INSERT INTO PoslDog VALUES ('12', 'Računi', 'Omrežje Kranj d.o.o.')",
        "INSERT INTO TarSt VALUES ('1', 'Splošna', 20)",
        "INSERT INTO Ms (Ident, Naziv, EM, TS) VALUES ('ADSL', 'Dostop ADSL', 'mes', '1')",
        "INSERT INTO Subjekt (Naziv, Naziv2, Placnik) VALUES ('Zavod Sonce', 'ZAVOD SONCE', "
        "NULL)",
    };
}

} // namespace zen::test
