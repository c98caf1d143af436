#include "transfer/LeanLookups.h"

#include "dataset/DateTimeRec.h"
#include "dbutil/CaughtFault.h"
#include "dbutil/Guarded.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Text.h"

#include <algorithm>
#include <cstring>

namespace zen {

TLeanLookup::TLeanLookup(THdbc& database, const std::string& table, const std::string& keyColumn,
                         std::vector<std::string> columns)
    : keyColumn_(keyColumn), columns_(std::move(columns)), values_(columns_.size()) {
    const auto key = std::find_if(columns_.begin(), columns_.end(), [&](const std::string& c) {
        return AsciiUpper(c) == AsciiUpper(keyColumn);
    });
    if (key == columns_.end()) {
        throw EInvalidOperation("TLeanLookup: the key column " + keyColumn + " is not read");
    }
    keyIndex_ = static_cast<int>(key - columns_.begin());
    std::string sql = "SELECT ";
    for (size_t i = 0; i < columns_.size(); ++i) {
        sql += (i ? ", " : "") + columns_[i];
    }
    stmt_.SetHdbc(&database);
    stmt_.SetSQL(sql + " FROM " + table + " WHERE " + keyColumn + " = :KEY");
}

bool TLeanLookup::Find(const std::string& value) {
    if (found_ && value == keyFound_) {
        return true;
    }
    TCaughtFault caught;
    found_ = Guarded<bool>(
        "sqlFindKey", false,
        [&] {
            if (!stmt_.Prepared()) {
                stmt_.Prepare();
            }
            // The buffer stays where it was bound unless a longer key needs more room.
            if (key_.size() < value.size() + 1) {
                key_.assign(std::max<size_t>(value.size() + 1, 256), '\0');
                stmt_.BindParam(1, SQL_C_CHAR, SQL_VARCHAR, key_.data(),
                                static_cast<SQLLEN>(key_.size()));
            }
            std::memcpy(key_.data(), value.c_str(), value.size() + 1);
            stmt_.SetParamSize(1, static_cast<SQLLEN>(value.size()));
            stmt_.Execute();
            stmt_.BindCols();
            const bool row = stmt_.FetchNext();
            if (row) {
                Read();
            }
            // Closed at once: a statement left half read keeps SQLite's file locked.
            stmt_.CloseCursor();
            // The key as read compares as the dataset's field would: texts without their
            // trailing blanks.
            return row && values_[static_cast<size_t>(keyIndex_)].text == value;
        },
        &stmt_, &caught);
    if (caught) {
        caught.Rethrow();
    }
    if (found_) {
        keyFound_ = value;
    } else {
        std::fill(values_.begin(), values_.end(), TValue{});
    }
    return found_;
}

void TLeanLookup::Read() {
    for (size_t i = 0; i < columns_.size(); ++i) {
        const int col = static_cast<int>(i) + 1;
        TValue& v = values_[i];
        v = {};
        if (stmt_.ColIsNull(col)) {
            continue;
        }
        v.null = false;
        switch (stmt_.ColSqlType(col)) {
        case SQL_TYPE_TIMESTAMP:
        case SQL_TYPE_DATE:
        case SQL_TIMESTAMP:
        case SQL_DATE:
            v.date = DateTimeOfRec(stmt_.ColAsDateTimeRec(col));
            break;
        case SQL_CHAR:
        case SQL_VARCHAR:
        case SQL_LONGVARCHAR:
        case SQL_WCHAR:
        case SQL_WVARCHAR:
        case SQL_WLONGVARCHAR:
            v.text = stmt_.ColAsString(col);
            break;
        default:
            v.number = stmt_.ColAsDouble(col);
            v.integer = stmt_.ColAsInteger(col);
            break;
        }
    }
}

const TLeanLookup::TValue& TLeanLookup::Value(const char* column) const {
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i] == column) {
            return values_[i];
        }
    }
    throw EDatabaseError("TLeanLookup: Field '" + std::string(column) + "' not found");
}

std::string TLeanLookup::Text(const char* column) const {
    return Value(column).text;
}

double TLeanLookup::Number(const char* column) const {
    return Value(column).number;
}

int32_t TLeanLookup::Integer(const char* column) const {
    return Value(column).integer;
}

std::optional<TDateTime> TLeanLookup::Date(const char* column) const {
    const TValue& v = Value(column);
    if (v.null) {
        return std::nullopt;
    }
    return v.date;
}

TLeanStatements::TLeanStatements(THdbc& database)
    : Customer(database, "Subjekt", "Naziv2", {"Naziv2", "Naziv", "Placnik"}),
      Payer(database, "Subjekt", "Naziv", {"Naziv"}), Article(database, "Ms", "Ident", {"Ident"}),
      InvoicePayer(database, "Subjekt", "Naziv",
                   {"Naziv", "CenRazred", "Referent", "Izjava", "NacProdaje", "NacinPlac",
                    "Dostava", "DniZaPlac", "LetnaIzjava", "DatumIzj"}),
      LineArticle(database, "Ms", "Ident",
                  {"Ident",   "Naziv",     "EM",       "TS",        "Transport",
                   "Dajatve", "NepStr",    "VrDavek",  "VPCena2P",  "VPCenaP",
                   "MPCenaP", "Garancija", "NabaCena", "CenaDob",   "MPCena",
                   "VPCena",  "VPCena2",   "ProdCena", "Trosarina", "TrosarinaP"}),
      Tariff(database, "TarSt", "TS", {"TS", "Davek"}),
      // The columns the header and the line are filled with; Status, Opomba and Skladisce
      // keep the database's defaults.
      Header(database, "Promet",
             {"Kljuc",         "Datum",        "PoslDog",   "Referent",   "Izdajatelj",
              "Prejemnik",     "Oseba3",       "CenRazred", "Izjava",     "NacProdaje",
              "NacinPlac",     "Dostava",      "DniZaPlac", "Dokument1",  "DatDokum1",
              "DatumDUR",      "DatumVal",     "Valuta",    "Tecaj",      "PrejemnikZal",
              "IzdajateljZal", "PotrjeneCene", "Vrednost",  "VredValuta", "ZaPlacilo",
              "Popust",        "Davek",        "Knjizen",   "DatumZap",   "UserZap",
              "DatumSpre",     "UserSpre",     "Rabat",     "Transport",  "Dajatve",
              "NepStr",        "VrDavek"}),
      Line(database, "PrometPoz",
           {"Kljuc",     "Poz",        "Ident",      "Opomba",       "Naziv",    "EM",
            "TS",        "Davek",      "Kolicina",   "Rabat",        "Cena",     "Transport",
            "Dajatve",   "NepStr",     "VrDavek",    "VPCena2P",     "VPCenaP",  "MPCenaP",
            "Garancija", "CenaZaVred", "CenaValuta", "MPCena",       "VPCena",   "VPCena2",
            "ProdCena",  "Trosarina",  "TrosarinaP", "KolicinaTemp", "DatumZap", "UserZap",
            "DatumSpre", "UserSpre"}) {}

} // namespace zen
