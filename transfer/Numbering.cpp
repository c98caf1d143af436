#include "transfer/Numbering.h"

#include "dataset/ODSI.h"
#include "dbutil/StdProc.h"
#include "toolkit/NumberText.h"
#include "toolkit/Text.h"
#include "toolkit/Variant.h"

namespace zen {

namespace {

[[noreturn]] void SeriesFull(const std::string& prefix) {
    throw EDocumentSeriesFull("Serija dokumentov '" + prefix +
                              "' je polna: številka dokumenta ne sme preseči " +
                              std::to_string(kLastDocumentNumber) + ".");
}

} // namespace

std::string ReplicateStr(char c, int count) {
    return count > 0 ? std::string(static_cast<size_t>(count), c) : std::string();
}

std::string StrZeroInt(int64_t number, int width) {
    std::string digits = std::to_string(number);
    return ReplicateStr('0', width - static_cast<int>(digits.size())) + digits;
}

std::string YearS(int count, TDateTime date) {
    if (count <= 0) {
        return std::string();
    }
    return FormatDateTime(ReplicateStr('y', count) + "/mm/dd", date)
        .substr(0, static_cast<size_t>(count));
}

std::string DocumentPrefix(TDateTime issueDate, const std::string& poslDog) {
    return YearS(2, issueDate) + Utf8Left(poslDog + "  ", 2);
}

std::string DocumentKey(const std::string& prefix, int number) {
    CheckDocumentNumbers(prefix, number, 1);
    return prefix + StrZeroInt(number, 5);
}

void CheckDocumentNumbers(const std::string& prefix, int first, int count) {
    if (count > 0 && static_cast<int64_t>(first) + count - 1 > kLastDocumentNumber) {
        SeriesFull(prefix);
    }
}

int NovaStevGlavC(THdbc& database, const std::string& prefix) {
    TOEQuery query;
    query.SetHdbc(&database);
    // The prefix is compared outside LIKE: "_" and "%" of a business event are plain
    // characters, and SQLite's LIKE would also ignore the case of letters. The lower bound,
    // which every key of the prefix meets, lets the key's index find the highest from its
    // end instead of sorting the whole table, which holds every document of every year.
    query.SQL().Clear();
    query.SQL().Add("SELECT Kljuc");
    query.SQL().Add("FROM Promet");
    query.SQL().Add("WHERE Kljuc >= " + SqlQuoted(prefix) + " AND SUBSTR(Kljuc, 1, " +
                    std::to_string(Utf8Length(prefix)) + ") = " + SqlQuoted(prefix));
    query.SQL().Add("ORDER BY Kljuc DESC");
    query.Open();
    std::string key = query.FieldByName("Kljuc")->AsString();
    query.Close();
    if (key.empty()) {
        return 1;
    }
    // Characters 5 to 9 hold the number.
    std::string tail = key.substr(Utf8Left(key, 4).size());
    int number = TextToInt32(Utf8Left(tail, 5));
    CheckDocumentNumbers(prefix, number + 1, 1);
    return number + 1;
}

std::set<int> SeriesNumbersFrom(THdbc& database, const std::string& prefix, int from) {
    TOEQuery query;
    query.SetHdbc(&database);
    query.SQL().Add(
        "SELECT Kljuc FROM Promet WHERE Kljuc >= " + SqlQuoted(prefix + StrZeroInt(from, 5)) +
        " AND SUBSTR(Kljuc, 1, " + std::to_string(Utf8Length(prefix)) + ") = " + SqlQuoted(prefix));
    query.Open();
    std::set<int> numbers;
    for (; !query.Eof(); query.Next()) {
        const std::string key = query.FieldByName("Kljuc")->AsString();
        const std::string tail = Utf8Left(key.substr(Utf8Left(key, 4).size()), 5);
        int64_t n = 0;
        // A key not of this program's form takes no number of ours.
        if (ParseInteger(tail, n) && n > 0 && n <= kLastDocumentNumber) {
            numbers.insert(static_cast<int>(n));
        }
    }
    query.Close();
    return numbers;
}

} // namespace zen
