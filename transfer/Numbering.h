#pragma once
// Document numbering: an invoice key is the issue year (two digits), the business event
// (two characters, a one-character code followed by a blank) and the document number in
// five digits, for example "0512" + "00042". A run continues the series of its prefix from
// the highest key already in Promet.

#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"

#include <cstdint>
#include <set>
#include <string>

namespace zen {

class THdbc;

// A series whose next number would not fit in the key's five digits. Its message is for
// the operator and names the series.
ZEN_EXCEPTION_CLASS(EDocumentSeriesFull, Exception);

// The largest document number the key can hold.
constexpr int kLastDocumentNumber = 99999;

// The character repeated count times; empty for a count of 0 or less.
std::string ReplicateStr(char c, int count);
// The number in decimal with "0" in front up to width characters; a longer text is kept.
std::string StrZeroInt(int64_t number, int width);
// The date's year in count digits: 2 gives "05" for 2005, 4 gives "2005".
std::string YearS(int count, TDateTime date);

// The prefix of a run's documents: YearS(2) and the first two characters of the business
// event code padded with blanks.
std::string DocumentPrefix(TDateTime issueDate, const std::string& poslDog);
// prefix + the number in five digits; EDocumentSeriesFull beyond kLastDocumentNumber.
std::string DocumentKey(const std::string& prefix, int number);
// EDocumentSeriesFull unless `count` documents numbered from `first` on all fit, so that a
// run can refuse before it writes its first invoice.
void CheckDocumentNumbers(const std::string& prefix, int first, int count);

// The next free document number of the series `prefix` in Promet, read on `database`: one
// more than the highest key whose first characters are the prefix exactly ("_" and "%"
// are not wildcards, letters keep their case), 1 when there is none. Raises what the query
// raises, EConvertError "'x' is not a valid integer value" when the highest key's number
// is not one, and EDocumentSeriesFull when the series has used its last number.
int NovaStevGlavC(THdbc& database, const std::string& prefix);
// The numbers of the series from `from` on that documents hold now.
std::set<int> SeriesNumbersFrom(THdbc& database, const std::string& prefix, int from);

} // namespace zen
