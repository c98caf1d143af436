// The key lookup of the standard procedures: narrowing a dataset's query to a key.

#include "dataset/ODSI.h"
#include "dbutil/Guarded.h"
#include "dbutil/StdProc.h"
#include "toolkit/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace zen {

namespace {

// Splits at every ";", keeping empty names and blanks as they are.
std::vector<std::string> SplitKeyFields(const std::string& text) {
    std::vector<std::string> names;
    size_t start = 0;
    for (size_t pos; (pos = text.find(';', start)) != std::string::npos; start = pos + 1) {
        names.push_back(text.substr(start, pos - start));
    }
    names.push_back(text.substr(start));
    return names;
}

size_t PairCount(size_t columns, const std::vector<TVariant>& values) {
    return std::min(columns, values.size());
}

// Where a pattern's fixed part ends; npos for a value compared as a whole.
size_t PatternCut(const TVariant& value, TKeyTexts texts) {
    if (texts == ktLiteral || !value.IsText()) {
        return std::string::npos;
    }
    return value.AsString().find('%');
}

bool PairMatches(const TField& field, const TVariant& value, TKeyTexts texts) {
    if (size_t cut = PatternCut(value, texts); cut != std::string::npos) {
        return field.AsString().substr(0, cut) == value.AsString().substr(0, cut);
    }
    TVariant current = field.Value();
    if (current.VarType() == varDate) {
        return VarSameValue(TVariant(DateToStrSQL(current.AsDateTime())), value);
    }
    return VarSameValue(current, value);
}

void AppendCondition(std::string& where, const std::string& condition) {
    if (!where.empty()) {
        where += " AND";
    }
    where += condition;
}

// The designed query without its WHERE and ORDER BY clauses, on one upper-cased line, each
// line joined with a leading blank. Built from the design every time, so that a dataset
// looked up over and over keeps a query of one length.
std::string QueryHead(const std::vector<std::string>& design) {
    std::string text;
    for (const std::string& line : design) {
        text += ' ' + AsciiUpper(line);
    }
    size_t cut = text.find("WHERE");
    if (cut == std::string::npos) {
        cut = text.find("ORDER BY");
    }
    return cut == std::string::npos ? text : text.substr(0, cut);
}

// The five operations, each keeping what it caught in `caught` when that is given, so
// that a lookup reports a fault of its own steps as well as of its body.

void SetWhereInt(std::string& where, const std::string& column, int64_t value,
                 TCaughtFault* caught) {
    Guarded<bool>(
        "sqlFindKeySetWhereInt", false,
        [&] {
            AppendCondition(where, " (" + column + " = " + std::to_string(value) + ")");
            return true;
        },
        nullptr, caught);
}

void SetWhereReal(std::string& where, const std::string& column, double value,
                  TCaughtFault* caught) {
    Guarded<bool>(
        "sqlFindKeySetWhereReal", false,
        [&] {
            if (!std::isfinite(value)) {
                throw EInvalidOp("Invalid floating point operation");
            }
            // The shortest text that reads back as the same double, with "." as SQL wants it.
            char buf[32];
            auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
            (void)ec;
            AppendCondition(where, " (" + column + " = " + std::string(buf, end) + ")");
            return true;
        },
        nullptr, caught);
}

void SetWhereString(std::string& where, const std::string& column, const std::string& value,
                    TKeyTexts texts, TCaughtFault* caught) {
    Guarded<bool>(
        "sqlFindKeySetWhereString", false,
        [&] {
            bool pattern = texts == ktPattern && value.find('%') != std::string::npos;
            AppendCondition(where, " " + column + (pattern ? " LIKE " : " = ") + SqlQuoted(value));
            return true;
        },
        nullptr, caught);
}

bool FindKeyTest(TDataSet& dataSet, const std::vector<std::string>& keyFields,
                 const std::vector<TVariant>& keyValues, TKeyTexts texts, TCaughtFault* caught) {
    return Guarded<bool>(
        "sqlFindKeyTest", false,
        [&] {
            if (!dataSet.Active()) {
                return false;
            }
            for (size_t i = 0; i < PairCount(keyFields.size(), keyValues); ++i) {
                if (!PairMatches(*dataSet.FieldByName(keyFields[i]), keyValues[i], texts)) {
                    return false;
                }
            }
            return true;
        },
        &dataSet, caught);
}

// Whether the dataset already stands on a row with the key, so that no query is needed;
// it then goes to the first row if that one carries the key too.
bool StandsOnKey(TDataSet& dataSet, const std::vector<std::string>& names,
                 const std::vector<TVariant>& keyValues, TKeyTexts texts, TCaughtFault* caught) {
    auto carriesKey = [&] { return FindKeyTest(dataSet, names, keyValues, texts, caught); };
    if (!carriesKey()) {
        return false;
    }
    TBookmark here = dataSet.GetBookmark();
    dataSet.First();
    if (!carriesKey()) {
        dataSet.GotoBookmark(here);
    }
    dataSet.FreeBookmark(here);
    return true;
}

bool FindKey(TCustomOEQuery& dataSet, const std::string& keyFields,
             const std::vector<TVariant>& keyValues, const std::string& order, TKeyTexts texts,
             TCaughtFault* caught) {
    return Guarded<bool>(
        "sqlFindKey", false,
        [&] {
            std::vector<std::string> names = SplitKeyFields(keyFields);
            if (StandsOnKey(dataSet, names, keyValues, texts, caught)) {
                return true;
            }
            dataSet.Close();
            std::string query = QueryHead(dataSet.DesignedSQL());
            std::string where;
            for (size_t i = 0; i < PairCount(names.size(), keyValues); ++i) {
                const TVariant& v = keyValues[i];
                switch (v.VarType()) {
                case varSmallint:
                case varInteger:
                case varInt64:
                    SetWhereInt(where, names[i], v.AsInt64(), caught);
                    break;
                case varDouble:
                case varCurrency:
                    SetWhereReal(where, names[i], v.AsFloat(), caught);
                    break;
                case varString:
                    SetWhereString(where, names[i], v.AsString(), texts, caught);
                    break;
                default:
                    break; // dates, Booleans, null and empty narrow nothing
                }
            }
            if (!where.empty()) {
                query += " WHERE " + where;
            }
            if (!order.empty()) {
                query += " ORDER BY " + order;
            }
            dataSet.SetNarrowedSQL({query});
            dataSet.Open();
            return FindKeyTest(dataSet, names, keyValues, texts, caught);
        },
        &dataSet, caught);
}

// The key as a parameter of a query whose text stays the same from one key to the next,
// so that the dataset keeps its prepared statement instead of preparing a new text for
// every key.
bool FindKeyBound(TCustomOEQuery& dataSet, const std::string& keyField, const std::string& value,
                  TCaughtFault* caught) {
    return Guarded<bool>(
        "sqlFindKey", false,
        [&] {
            const std::vector<std::string> names{keyField};
            const std::vector<TVariant> values{TVariant(value)};
            if (StandsOnKey(dataSet, names, values, ktLiteral, caught)) {
                return true;
            }
            const std::string query =
                QueryHead(dataSet.DesignedSQL()) + " WHERE " + keyField + " = :KEY";
            if (dataSet.SQL().Count() != 1 || dataSet.SQL()[0] != query) {
                dataSet.Close();
                dataSet.SetNarrowedSQL({query});
            }
            dataSet.ParamByName("KEY").SetAsString(value);
            dataSet.Requery(); // opens a closed dataset
            // Read to the end (a key's few rows), so that closing keeps the statement.
            if (dataSet.ReleasesHalfReadStatement()) {
                dataSet.FetchAll();
            }
            return FindKeyTest(dataSet, names, values, ktLiteral, caught);
        },
        &dataSet, caught);
}

} // namespace

void sqlFindKeySetWhereInt(std::string& where, const std::string& column, int64_t value) {
    SetWhereInt(where, column, value, nullptr);
}

void sqlFindKeySetWhereReal(std::string& where, const std::string& column, double value) {
    SetWhereReal(where, column, value, nullptr);
}

void sqlFindKeySetWhereString(std::string& where, const std::string& column,
                              const std::string& value, TKeyTexts texts) {
    SetWhereString(where, column, value, texts, nullptr);
}

bool sqlFindKeyTest(TDataSet& dataSet, const std::vector<std::string>& keyFields,
                    const std::vector<TVariant>& keyValues, TKeyTexts texts) {
    return FindKeyTest(dataSet, keyFields, keyValues, texts, nullptr);
}

bool sqlFindKey(TCustomOEQuery& dataSet, const std::string& keyFields,
                const std::vector<TVariant>& keyValues, const std::string& order, TKeyTexts texts) {
    return FindKey(dataSet, keyFields, keyValues, order, texts, nullptr);
}

bool sqlFindKey(TCustomOEQuery& dataSet, const std::string& keyFields,
                const std::vector<TVariant>& keyValues, const std::string& order, TKeyTexts texts,
                TCaughtFault& caught) {
    return FindKey(dataSet, keyFields, keyValues, order, texts, &caught);
}

bool sqlFindKeyBound(TCustomOEQuery& dataSet, const std::string& keyField, const std::string& value,
                     TCaughtFault& caught) {
    return FindKeyBound(dataSet, keyField, value, &caught);
}

} // namespace zen
