#pragma once
// The transfer error table TPrenosNapaka: one row for every transfer record that a run
// could not use, with the record's invoice number and the reason, in the order logged.
// Each run re-creates it empty, so one run's errors never reach the next run's report.

#include <string>

namespace zen {

class TDataSet;
class TTable;

inline constexpr const char* kNapakaTableName = "TPrenosNapaka";
inline constexpr const char* kNapakaAlias = "TevrinTemp";
inline constexpr int kNapakaStRacSize = 10;
// The reasons of the check phase are cut to 50 characters as ever; the field is wider for
// the reasons of the invoice phase, which name a payer, an article and a cause.
inline constexpr int kNapakaReasonSize = 50;
inline constexpr int kNapakaNapakaSize = 254;

// Points a closed table object at TPrenosNapaka in the "TevrinTemp" alias.
void SetupPrenosNapaka(TTable& tbNapaka);

// Closes the table, defines ZapSt (auto-increment), StRac (string, 10), Napaka (string,
// 254) and the primary index "TPrenosNapaka" over ZapSt, creates the table anew (an
// existing one and its rows are replaced) and opens it.
void RecreatePrenosNapaka(TTable& tbNapaka);

// Logs one error: appends a row whose StRac is the field StRac of the transfer file's
// current record (empty when its bytes are no text of the file's code page) and whose
// Napaka is the reason cut to kNapakaReasonSize characters, and posts it. A failure raises
// after dropping the unposted row, so the table is left as it was before the call.
void FillNapaka(TDataSet& tbNapaka, const TDataSet& tbRac, const std::string& reason);
// Logs an invoice that could not be written: the StRac given (of the invoice's first
// record) and the whole reason, each cut only to its field's size.
void FillNapakaRow(TDataSet& tbNapaka, const std::string& stRac, const std::string& reason);

// The three reasons: "Stranka (" + value + ") ne obstaja !" and the like.
std::string NapakaStranka(const std::string& stranka);
std::string NapakaPlacnik(const std::string& placnik);
std::string NapakaArtikel(const std::string& artikel);
// A record whose field cannot be read as text: "Zapis 7: polje STRANKA ni berljivo !",
// numbered from 1 among the file's records.
std::string NapakaNeberljivo(int record, const std::string& field);

} // namespace zen
