#pragma once
// The working table TVeskPrenosRac: the transfer records that passed their checks, kept
// in payer, customer, article and entry order for the invoice phase. Each run re-creates
// it empty.

namespace zen {

class TTable;

// The least width of the two name fields.
inline constexpr int kVeskNameSize = 30;

// Points a closed table object at TVeskPrenosRac in the "TevrinTemp" alias and defines its
// seven fields (Placnik, Kupec, Ident 16, ZapSt auto-increment, Kolicina, Cena, StRac 10)
// and the primary index "TVeskPrenosRac" over "Placnik;Kupec;Ident;ZapSt". The two name
// fields are `nameSize` characters wide, at least kVeskNameSize: a run makes them as wide
// as the customer table's names, because a payer's name cut short would find no payer.
void DefineVeskPrenosRac(TTable& tbRacPoz, int nameSize = kVeskNameSize);

// Closes the table, defines it as above, creates it anew (an existing one and its rows are
// replaced) and opens it.
void RecreateVeskPrenosRac(TTable& tbRacPoz, int nameSize = kVeskNameSize);

} // namespace zen
