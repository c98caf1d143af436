#include "transfer/VeskPrenosRac.h"

#include "localtable/Table.h"

#include <algorithm>

namespace zen {

void DefineVeskPrenosRac(TTable& t, int nameSize) {
    nameSize = std::max(nameSize, kVeskNameSize);
    t.SetTableName("TVeskPrenosRac");
    t.SetDatabaseName("TevrinTemp");
    t.FieldDefs().Clear();
    t.FieldDefs().Add("Placnik", ftString, nameSize);
    t.FieldDefs().Add("Kupec", ftString, nameSize);
    t.FieldDefs().Add("Ident", ftString, 16);
    t.FieldDefs().Add("ZapSt", ftAutoInc);
    t.FieldDefs().Add("Kolicina", ftFloat);
    t.FieldDefs().Add("Cena", ftFloat);
    t.FieldDefs().Add("StRac", ftString, 10);
    t.IndexDefs().Clear();
    t.IndexDefs().Add("TVeskPrenosRac", "Placnik;Kupec;Ident;ZapSt", ixPrimary);
}

void RecreateVeskPrenosRac(TTable& t, int nameSize) {
    t.Close();
    DefineVeskPrenosRac(t, nameSize);
    t.CreateTable();
    t.Open();
}

} // namespace zen
