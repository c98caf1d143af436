#include "transfer/VeskPrenosRac.h"

#include "localtable/Table.h"

namespace zen {

void DefineVeskPrenosRac(TTable& t) {
    t.SetTableName("TVeskPrenosRac");
    t.SetDatabaseName("TevrinTemp");
    t.FieldDefs().Clear();
    t.FieldDefs().Add("Placnik", ftString, 30);
    t.FieldDefs().Add("Kupec", ftString, 30);
    t.FieldDefs().Add("Ident", ftString, 16);
    t.FieldDefs().Add("ZapSt", ftAutoInc);
    t.FieldDefs().Add("Kolicina", ftFloat);
    t.FieldDefs().Add("Cena", ftFloat);
    t.FieldDefs().Add("StRac", ftString, 10);
    t.IndexDefs().Clear();
    t.IndexDefs().Add("TVeskPrenosRac", "Placnik;Kupec;Ident;ZapSt", ixPrimary);
}

void RecreateVeskPrenosRac(TTable& t) {
    t.Close();
    DefineVeskPrenosRac(t);
    t.CreateTable();
    t.Open();
}

} // namespace zen
