#pragma once
// The working table TVeskPrenosRac: the transfer records that passed their checks, kept
// in payer, customer, article and entry order for the invoice phase. Each run re-creates
// it empty.

namespace zen {

class TTable;

// Points a closed table object at TVeskPrenosRac in the "TevrinTemp" alias and defines its
// seven fields (Placnik 30, Kupec 30, Ident 16, ZapSt auto-increment, Kolicina, Cena,
// StRac 10) and the primary index "TVeskPrenosRac" over "Placnik;Kupec;Ident;ZapSt".
void DefineVeskPrenosRac(TTable& tbRacPoz);

// Closes the table, defines it as above, creates it anew (an existing one and its rows are
// replaced) and opens it.
void RecreateVeskPrenosRac(TTable& tbRacPoz);

} // namespace zen
