// The transfer benchmark's yardstick: the work of a transfer run with file prices, written
// as a careful programmer would write it on the bare ODBC API. It reads the transfer file,
// checks each record's customer, payer and article, and writes one invoice per payer
// (lines, then the header, one transaction each), numbered in the run's series, with the
// same columns and values as zendrato's run, so that the two can be compared row for row.
// Every query is prepared once and executed with new parameter values; a lookup of the
// key that the same statement found last sends nothing. It prices nothing by the rules:
// a file without CENA is refused.
//
//     bench_transfer_baseline --dsn DSN [--user U --password P] --file F --date YYYY-MM-DD
//                             --event E --clerk C
//
// Prints "Dodajanje zaključeno !" or the rows of the failed records (the number of the
// billing invoice, a tab, the reason) on standard output, like zendrato --transfer, and,
// when ZENDRATO_COUNT_STATEMENTS is 1, the statements it sent on standard error.

#include "dbutil/StdProc.h"
#include "localtable/DbfFile.h"
#include "pricing/LineValue.h"
#include "toolkit/DateTime.h"
#include "toolkit/FieldDefs.h"
#include "toolkit/MemDataSet.h" // from tests/, a dataset kept in memory
#include "toolkit/Money.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace zen::bench {
namespace {

uint64_t g_executes = 0;
uint64_t g_endTrans = 0;

// The one place that looks at an ODBC return code: a failure becomes an exception with
// the driver's first diagnostic record.
void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what) {
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) {
        return;
    }
    SQLCHAR state[6] = {}, text[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    std::string message = std::string(what) + " failed";
    if (SQL_SUCCEEDED(SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &length))) {
        message += std::string(": ") + reinterpret_cast<char*>(state) + " " +
                   reinterpret_cast<char*>(text);
    }
    throw std::runtime_error(message);
}

// An ODBC handle, freed with its owner's scope.
class THandle {
public:
    THandle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &h_))) {
            throw std::runtime_error("SQLAllocHandle failed");
        }
    }
    ~THandle() { SQLFreeHandle(type_, h_); }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    SQLHANDLE Get() const { return h_; }
    SQLSMALLINT Type() const { return type_; }

private:
    SQLSMALLINT type_;
    SQLHANDLE h_ = SQL_NULL_HANDLE;
};

class TConnection {
public:
    explicit TConnection(const std::string& connect) : env_(SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
        Check(SQLSetEnvAttr(env_.Get(), SQL_ATTR_ODBC_VERSION,
                            reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
              SQL_HANDLE_ENV, env_.Get(), "SQLSetEnvAttr");
        dbc_.emplace(SQL_HANDLE_DBC, env_.Get());
        std::string text = connect;
        Check(SQLDriverConnect(Dbc(), nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS,
                               nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
              SQL_HANDLE_DBC, Dbc(), "SQLDriverConnect");
        connected_ = true;
        Check(SQLSetConnectAttr(Dbc(), SQL_ATTR_AUTOCOMMIT,
                                reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
              SQL_HANDLE_DBC, Dbc(), "SQLSetConnectAttr");
    }
    ~TConnection() {
        if (connected_) {
            SQLEndTran(SQL_HANDLE_DBC, Dbc(), SQL_ROLLBACK);
            SQLDisconnect(Dbc());
        }
    }
    TConnection(const TConnection&) = delete;
    TConnection& operator=(const TConnection&) = delete;

    SQLHDBC Dbc() const { return dbc_->Get(); }
    void End(SQLSMALLINT completion) {
        ++g_endTrans;
        Check(SQLEndTran(SQL_HANDLE_DBC, Dbc(), completion), SQL_HANDLE_DBC, Dbc(), "SQLEndTran");
    }

private:
    THandle env_;
    std::optional<THandle> dbc_;
    bool connected_ = false;
};

enum class TKind { Text, Double, Int, Timestamp };

// A prepared statement whose parameters are bound once to buffers of its own; Set* change
// the values, Execute sends them.
class TStatement {
public:
    TStatement(const TConnection& db, const std::string& sql, const std::vector<TKind>& params)
        : h_(SQL_HANDLE_STMT, db.Dbc()), params_(params.size()) {
        std::string text = sql;
        Check(SQLPrepare(Stmt(), reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS), "SQLPrepare");
        for (size_t i = 0; i < params.size(); ++i) {
            TParam& p = params_[i];
            p.Kind = params[i];
            SQLSMALLINT cType = SQL_C_CHAR, sqlType = SQL_VARCHAR;
            SQLULEN size = 255;
            SQLSMALLINT digits = 0;
            SQLPOINTER value = p.Text;
            SQLLEN bufferLength = sizeof p.Text;
            switch (p.Kind) {
            case TKind::Text:
                break;
            case TKind::Double:
                cType = SQL_C_DOUBLE, sqlType = SQL_DOUBLE, size = 15, value = &p.Double;
                bufferLength = 0;
                break;
            case TKind::Int:
                cType = SQL_C_SLONG, sqlType = SQL_INTEGER, size = 10, value = &p.Int;
                bufferLength = 0;
                break;
            case TKind::Timestamp:
                cType = SQL_C_TYPE_TIMESTAMP, sqlType = SQL_TYPE_TIMESTAMP, size = 23, digits = 3;
                value = &p.Timestamp, bufferLength = 0;
                break;
            }
            Check(SQLBindParameter(Stmt(), static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, cType,
                                   sqlType, size, digits, value, bufferLength, &p.Indicator),
                  "SQLBindParameter");
        }
    }
    SQLHSTMT Stmt() const { return h_.Get(); }

    void SetText(size_t i, std::string_view v) {
        TParam& p = params_[i];
        size_t n = std::min(v.size(), sizeof p.Text - 1);
        std::memcpy(p.Text, v.data(), n);
        p.Text[n] = '\0';
        p.Indicator = static_cast<SQLLEN>(n);
    }
    void SetDouble(size_t i, double v) {
        params_[i].Double = v;
        params_[i].Indicator = 0;
    }
    void SetInt(size_t i, long v) {
        params_[i].Int = static_cast<SQLINTEGER>(v);
        params_[i].Indicator = 0;
    }
    void SetTimestamp(size_t i, TDateTime v) {
        TParam& p = params_[i];
        int year, month, day, hour, minute, second, ms;
        DecodeDate(v, year, month, day);
        DecodeTime(v, hour, minute, second, ms);
        p.Timestamp = SQL_TIMESTAMP_STRUCT{
            static_cast<SQLSMALLINT>(year),         static_cast<SQLUSMALLINT>(month),
            static_cast<SQLUSMALLINT>(day),         static_cast<SQLUSMALLINT>(hour),
            static_cast<SQLUSMALLINT>(minute),      static_cast<SQLUSMALLINT>(second),
            static_cast<SQLUINTEGER>(ms) * 1000000u};
        p.Indicator = 0;
    }
    void SetNull(size_t i) { params_[i].Indicator = SQL_NULL_DATA; }

    void Execute() {
        SQLFreeStmt(Stmt(), SQL_CLOSE);
        ++g_executes;
        Check(SQLExecute(Stmt()), "SQLExecute");
    }
    bool Fetch() {
        SQLRETURN rc = SQLFetch(Stmt());
        Check(rc, "SQLFetch");
        return rc != SQL_NO_DATA;
    }
    // Column values of the fetched row; a null reads as "", 0 or a zero date.
    std::string Text(SQLUSMALLINT column) {
        char buf[1024];
        SQLLEN ind = 0;
        Check(SQLGetData(Stmt(), column, SQL_C_CHAR, buf, sizeof buf, &ind), "SQLGetData");
        return ind == SQL_NULL_DATA ? std::string() : std::string(buf);
    }
    double Double(SQLUSMALLINT column) {
        double v = 0;
        SQLLEN ind = 0;
        Check(SQLGetData(Stmt(), column, SQL_C_DOUBLE, &v, 0, &ind), "SQLGetData");
        return ind == SQL_NULL_DATA ? 0 : v;
    }
    long Int(SQLUSMALLINT column) {
        SQLINTEGER v = 0;
        SQLLEN ind = 0;
        Check(SQLGetData(Stmt(), column, SQL_C_SLONG, &v, 0, &ind), "SQLGetData");
        return ind == SQL_NULL_DATA ? 0 : v;
    }
    TDateTime Timestamp(SQLUSMALLINT column) {
        SQL_TIMESTAMP_STRUCT t{};
        SQLLEN ind = 0;
        Check(SQLGetData(Stmt(), column, SQL_C_TYPE_TIMESTAMP, &t, 0, &ind), "SQLGetData");
        if (ind == SQL_NULL_DATA) {
            return 0;
        }
        return EncodeDate(t.year, t.month, t.day) +
               EncodeTime(t.hour, t.minute, t.second, static_cast<int>(t.fraction / 1000000));
    }

private:
    struct TParam {
        TKind Kind = TKind::Text;
        char Text[1024] = {};
        double Double = 0;
        SQLINTEGER Int = 0;
        SQL_TIMESTAMP_STRUCT Timestamp{};
        SQLLEN Indicator = SQL_NULL_DATA;
    };
    void Check(SQLRETURN rc, const char* what) { bench::Check(rc, SQL_HANDLE_STMT, Stmt(), what); }

    THandle h_;
    std::vector<TParam> params_; // never resized after binding
};

// A prepared lookup by one text key. The row found is read once, in column order, into a
// TRow (TRow::Read); no row leaves a TRow of empty texts and zeros. Asking again for the
// key found last sends nothing.
template <class TRow> class TLookup {
public:
    TLookup(const TConnection& db, const std::string& sql) : st_(db, sql, {TKind::Text}) {}
    bool Find(const std::string& key) {
        if (known_ && key == key_) {
            return found_;
        }
        st_.SetText(0, key);
        st_.Execute();
        found_ = st_.Fetch();
        row_ = found_ ? TRow::Read(st_) : TRow{};
        key_ = key;
        known_ = true;
        return found_;
    }
    const TRow& Row() const { return row_; }

private:
    TStatement st_;
    TRow row_;
    std::string key_;
    bool known_ = false;
    bool found_ = false;
};

struct TCustomer {
    std::string Naziv, Placnik;
    static TCustomer Read(TStatement& s) { return {s.Text(1), s.Text(2)}; }
};

struct TPayer {
    std::string Naziv, CenRazred, Referent, Izjava, NacProdaje, NacinPlac, Dostava;
    long DniZaPlac = 0;
    std::string LetnaIzjava;
    TDateTime DatumIzj = 0;
    static TPayer Read(TStatement& s) {
        TPayer p;
        p.Naziv = s.Text(1);
        p.CenRazred = s.Text(2);
        p.Referent = s.Text(3);
        p.Izjava = s.Text(4);
        p.NacProdaje = s.Text(5);
        p.NacinPlac = s.Text(6);
        p.Dostava = s.Text(7);
        p.DniZaPlac = s.Int(8);
        p.LetnaIzjava = s.Text(9);
        p.DatumIzj = s.Timestamp(10);
        return p;
    }
};

const char* const kArticleColumns =
    "Ident, Naziv, EM, TS, Transport, Dajatve, NepStr, VrDavek, VPCena2P, VPCenaP, MPCenaP, "
    "Garancija, NabaCena, CenaDob, MPCena, VPCena, VPCena2, ProdCena, Trosarina, TrosarinaP";

struct TArticle {
    std::string Ident, Naziv, EM, TS;
    double Costs[7] = {}; // Transport, Dajatve, NepStr, VrDavek, VPCena2P, VPCenaP, MPCenaP
    long Garancija = 0;
    double Prices[8] = {}; // NabaCena, CenaDob, MPCena, VPCena, VPCena2, ProdCena, Trosarina,
                           // TrosarinaP
    static TArticle Read(TStatement& s) {
        TArticle a;
        a.Ident = s.Text(1);
        a.Naziv = s.Text(2);
        a.EM = s.Text(3);
        a.TS = s.Text(4);
        for (SQLUSMALLINT c = 0; c < 7; ++c) {
            a.Costs[c] = s.Double(5 + c);
        }
        a.Garancija = s.Int(12);
        for (SQLUSMALLINT c = 0; c < 8; ++c) {
            a.Prices[c] = s.Double(13 + c);
        }
        return a;
    }
};

struct TOneText {
    std::string Value;
    static TOneText Read(TStatement& s) { return {s.Text(1)}; }
};

struct TOneNumber {
    double Value = 0;
    static TOneNumber Read(TStatement& s) { return {s.Double(1)}; }
};

// The first `chars` characters of a UTF-8 text, as the working table keeps it.
std::string Cut(const std::string& text, size_t chars) {
    size_t i = 0;
    for (size_t n = 0; i < text.size() && n < chars; ++n) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) {
            ++i;
        }
    }
    return text.substr(0, i);
}

std::string TrimRight(std::string s) {
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

struct TWorkRow {
    std::string Placnik, Kupec, Ident;
    long ZapSt = 0;
    double Kolicina = 0, Cena = 0;
    std::string StRac;
};

struct TOptions {
    std::string Dsn, User, Password, File, Date, Event, Clerk;
};

TOptions ParseOptions(int argc, char** argv) {
    TOptions o;
    std::map<std::string, std::string*> names{{"--dsn", &o.Dsn},           {"--user", &o.User},
                                              {"--password", &o.Password}, {"--file", &o.File},
                                              {"--date", &o.Date},         {"--event", &o.Event},
                                              {"--clerk", &o.Clerk}};
    for (int i = 1; i < argc; ++i) {
        auto it = names.find(argv[i]);
        if (it == names.end() || i + 1 == argc) {
            throw std::runtime_error(std::string("unknown option or missing value: ") + argv[i]);
        }
        *it->second = argv[++i];
    }
    if (o.Dsn.empty() || o.File.empty() || o.Date.size() != 10 || o.Event.empty() ||
        o.Clerk.empty()) {
        throw std::runtime_error("usage: bench_transfer_baseline --dsn DSN [--user U "
                                 "--password P] --file F --date YYYY-MM-DD --event E --clerk C");
    }
    return o;
}

class TBaseline {
public:
    TBaseline(const TOptions& o, TConnection& db)
        : o_(o), db_(db), customer_(db, "SELECT Naziv, Placnik FROM Subjekt WHERE Naziv2 = ?"),
          payer_(db, "SELECT Naziv, CenRazred, Referent, Izjava, NacProdaje, NacinPlac, Dostava, "
                     "DniZaPlac, LetnaIzjava, DatumIzj FROM Subjekt WHERE Naziv = ?"),
          article_(db, std::string("SELECT ") + kArticleColumns + " FROM Ms WHERE Ident = ?"),
          tariff_(db, "SELECT Davek FROM TarSt WHERE TS = ?") {}

    void Run() {
        issueDate_ = EncodeDate(std::stoi(o_.Date.substr(0, 4)), std::stoi(o_.Date.substr(5, 2)),
                                std::stoi(o_.Date.substr(8, 2)));
        ReadParameters();
        prefix_ = o_.Date.substr(2, 2) + (o_.Event + "  ").substr(0, 2);
        nextNumber_ = NextNumber();
        TLookup<TOneText> event(db_, "SELECT Izdajatelj FROM PoslDog WHERE PoslDog = ?");
        if (!event.Find(o_.Event)) {
            throw std::runtime_error("Poslovni dogodek ne obstaja v šifrantu !");
        }
        izdajatelj_ = event.Row().Value;
        CheckPhase();
        InvoicePhase();
        if (errors_.empty()) {
            std::printf("Dodajanje zaključeno !\n");
        }
        for (const auto& [strac, text] : errors_) {
            std::printf("%s\t%s\n", strac.c_str(), text.c_str());
        }
        std::fprintf(stderr, "bench_transfer_baseline: %d invoices\n", invoices_);
    }

    bool HadErrors() const { return !errors_.empty(); }

private:
    void ReadParameters() {
        TStatement param(db_,
                         "SELECT RoundT, PolniRefIzSubj, NasaValuta, OsnZaIzrProdCene "
                         "FROM Param ORDER BY Id",
                         {});
        param.Execute();
        if (param.Fetch()) {
            double step = param.Double(1);
            SetRoundStep(step != 0 ? step : 1);
            refFromPartner_ = param.Text(2) == "T";
            valuta_ = param.Text(3);
            osnova_ = param.Text(4);
        } else {
            SetRoundStep(1);
        }
        // The line amounts take the price basis from a parameter row.
        parameter_.FieldDefs().Add("OsnZaIzrProdCene", ftString, 1);
        parameter_.Open();
        parameter_.Append();
        parameter_.FieldByName("OsnZaIzrProdCene")->SetAsString(osnova_);
        parameter_.Post();
    }

    int NextNumber() {
        TStatement last(db_, "SELECT Kljuc FROM Promet WHERE Kljuc LIKE ? ORDER BY Kljuc DESC",
                        {TKind::Text});
        last.SetText(0, prefix_ + "%");
        last.Execute();
        if (!last.Fetch()) {
            return 1;
        }
        std::string key = last.Text(1);
        return std::stoi(key.substr(4, 5)) + 1;
    }

    void CheckPhase() {
        TDbfFile file(o_.File);
        int stranka = file.FieldIndex("STRANKA"), artikel = file.FieldIndex("ARTIKEL"),
            kolicina = file.FieldIndex("KOLICINA"), cena = file.FieldIndex("CENA"),
            strac = file.FieldIndex("STRAC");
        if (stranka < 0 || artikel < 0 || kolicina < 0 || strac < 0) {
            throw std::runtime_error(o_.File + ": a field of the transfer file is missing");
        }
        if (cena < 0) {
            throw std::runtime_error(o_.File + ": no CENA; the baseline prices nothing");
        }
        rows_.reserve(file.RecordCount());
        for (size_t r = 0; r < file.RecordCount(); ++r) {
            std::string customer = TrimRight(file.Value(r, size_t(stranka)).Text);
            std::string number = TrimRight(file.Value(r, size_t(strac)).Text);
            if (!customer_.Find(customer)) {
                errors_.emplace_back(number, "Stranka (" + customer + ") ne obstaja !");
                continue;
            }
            std::string kupec = customer_.Row().Naziv;
            std::string placnik = customer_.Row().Placnik;
            if (placnik.empty()) {
                placnik = kupec;
            }
            if (!payer_.Find(placnik)) {
                errors_.emplace_back(number, "Plačnik (" + placnik + ") ne obstaja !");
                continue;
            }
            std::string ident = TrimRight(file.Value(r, size_t(artikel)).Text);
            if (!article_.Find(ident)) {
                errors_.emplace_back(number, "Artikel (" + ident + ") ne obstaja !");
                continue;
            }
            TWorkRow w;
            w.Placnik = Cut(payer_.Row().Naziv, 30);
            w.Kupec = Cut(kupec, 30);
            w.Ident = Cut(article_.Row().Ident, 16);
            w.ZapSt = static_cast<long>(rows_.size()) + 1;
            w.Kolicina = file.Value(r, size_t(kolicina)).Number;
            w.Cena = file.Value(r, size_t(cena)).Number;
            w.StRac = Cut(number, 10);
            rows_.push_back(std::move(w));
        }
        std::sort(rows_.begin(), rows_.end(), [](const TWorkRow& a, const TWorkRow& b) {
            return std::tie(a.Placnik, a.Kupec, a.Ident, a.ZapSt) <
                   std::tie(b.Placnik, b.Kupec, b.Ident, b.ZapSt);
        });
    }

    void InvoicePhase() {
        TStatement line(db_,
                        "INSERT INTO PrometPoz (Kljuc, Poz, Ident, Opomba, Naziv, EM, TS, Davek, "
                        "Kolicina, Rabat, Cena, Transport, Dajatve, NepStr, VrDavek, VPCena2P, "
                        "VPCenaP, MPCenaP, Garancija, CenaZaVred, CenaValuta, MPCena, VPCena, "
                        "VPCena2, ProdCena, Trosarina, TrosarinaP, KolicinaTemp, DatumZap, "
                        "UserZap, DatumSpre, UserSpre) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                        "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                        LineKinds());
        TStatement header(
            db_,
            "INSERT INTO Promet (Kljuc, Datum, PoslDog, Referent, Izdajatelj, Prejemnik, Oseba3, "
            "CenRazred, Izjava, NacProdaje, NacinPlac, Dostava, DniZaPlac, Dokument1, DatDokum1, "
            "DatumDUR, DatumVal, Valuta, Tecaj, PrejemnikZal, IzdajateljZal, PotrjeneCene, "
            "Vrednost, VredValuta, ZaPlacilo, Popust, Davek, Knjizen, DatumZap, UserZap, "
            "DatumSpre, UserSpre, Rabat, Transport, Dajatve, NepStr, VrDavek) VALUES (?, ?, ?, ?, "
            "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
            "?, "
            "?, ?, ?, ?)",
            HeaderKinds());
        for (size_t i = 0; i < rows_.size();) {
            std::string kljuc = prefix_ + StrZero(nextNumber_, 5);
            payer_.Find(rows_[i].Placnik);
            Currency vrednost, davek, trosarina, popust, zaPlacilo;
            int poz = 0;
            size_t first = i;
            for (; i < rows_.size() && rows_[i].Placnik == rows_[first].Placnik; ++i, ++poz) {
                WriteLine(line, kljuc, poz, rows_[i], vrednost, davek, trosarina, popust,
                          zaPlacilo);
            }
            WriteHeader(header, kljuc, rows_[first], vrednost, davek + trosarina, popust,
                        zaPlacilo);
            db_.End(SQL_COMMIT);
            ++invoices_;
            ++nextNumber_;
        }
    }

    static std::vector<TKind> LineKinds() {
        std::vector<TKind> k(32, TKind::Double);
        for (int i : {0, 2, 3, 4, 5, 6, 29, 31}) {
            k[size_t(i)] = TKind::Text;
        }
        k[1] = k[18] = TKind::Int;
        k[28] = k[30] = TKind::Timestamp;
        return k;
    }

    static std::vector<TKind> HeaderKinds() {
        std::vector<TKind> k(37, TKind::Text);
        k[12] = TKind::Int;
        for (int i : {1, 14, 15, 16, 28, 30}) {
            k[size_t(i)] = TKind::Timestamp;
        }
        for (int i : {18, 22, 23, 24, 25, 26, 32, 33, 34, 35, 36}) {
            k[size_t(i)] = TKind::Double;
        }
        return k;
    }

    static std::string StrZero(int n, int width) {
        std::string s = std::to_string(n);
        return s.size() < size_t(width) ? std::string(size_t(width) - s.size(), '0') + s : s;
    }

    void WriteLine(TStatement& st, const std::string& kljuc, int poz, const TWorkRow& w,
                   Currency& vrednost, Currency& davek, Currency& trosarina, Currency& popust,
                   Currency& zaPlacilo) {
        article_.Find(w.Ident);
        const TArticle& a = article_.Row();
        tariff_.Find(a.TS);
        double davekP = tariff_.Row().Value;
        st.SetText(0, kljuc);
        st.SetInt(1, poz);
        st.SetText(2, w.Ident);
        st.SetText(3, w.StRac + " - " + w.Kupec);
        st.SetText(4, a.Naziv);
        st.SetText(5, a.EM);
        st.SetText(6, a.TS);
        st.SetDouble(7, davekP);
        st.SetDouble(8, w.Kolicina);
        st.SetDouble(9, 0);
        st.SetDouble(10, w.Cena);
        for (size_t c = 0; c < 7; ++c) { // Transport ... MPCenaP
            st.SetDouble(11 + c, a.Costs[c]);
        }
        st.SetInt(18, a.Garancija);
        for (size_t c = 0; c < 8; ++c) { // CenaZaVred (NabaCena) ... TrosarinaP
            st.SetDouble(19 + c, a.Prices[c]);
        }
        double prodCena = a.Prices[5], trosarinaA = a.Prices[6], trosarinaP = a.Prices[7];
        st.SetDouble(27, 0);
        st.SetTimestamp(28, Now());
        st.SetText(29, o_.Clerk);
        st.SetTimestamp(30, Now());
        st.SetText(31, o_.Clerk);
        CalcVredPromPoz(parameter_, vrednost, davek, Currency::FromDouble(prodCena), w.Kolicina,
                        Currency::FromDouble(w.Cena), 0, davekP, Currency::FromDouble(trosarinaA),
                        trosarinaP, trosarina, popust, zaPlacilo);
        st.Execute();
    }

    void WriteHeader(TStatement& st, const std::string& kljuc, const TWorkRow& first,
                     Currency vrednost, Currency davek, Currency popust, Currency zaPlacilo) {
        const TPayer& p = payer_.Row();
        st.SetText(0, kljuc);
        st.SetTimestamp(1, issueDate_);
        st.SetText(2, o_.Event);
        st.SetText(3, refFromPartner_ ? p.Referent : o_.Clerk);
        st.SetText(4, izdajatelj_);
        st.SetText(5, first.Placnik);
        st.SetText(6, first.Kupec);
        st.SetText(7, p.CenRazred);
        st.SetText(8, p.Izjava);
        st.SetText(9, p.NacProdaje);
        st.SetText(10, p.NacinPlac);
        st.SetText(11, p.Dostava);
        st.SetInt(12, p.DniZaPlac);
        if (p.LetnaIzjava.empty()) {
            st.SetNull(13);
            st.SetNull(14);
        } else {
            st.SetText(13, p.LetnaIzjava);
            st.SetTimestamp(14, p.DatumIzj);
        }
        st.SetTimestamp(15, issueDate_);
        st.SetTimestamp(16, issueDate_ + static_cast<double>(p.DniZaPlac));
        st.SetText(17, valuta_);
        st.SetDouble(18, 1);
        st.SetText(19, "N");
        st.SetText(20, "Y");
        st.SetText(21, "F");
        st.SetDouble(22, vrednost.ToDouble());
        st.SetDouble(23, 0);
        st.SetDouble(24, zaPlacilo.ToDouble());
        st.SetDouble(25, popust.ToDouble());
        st.SetDouble(26, davek.ToDouble());
        st.SetText(27, "K");
        st.SetTimestamp(28, Now());
        st.SetText(29, o_.Clerk);
        st.SetTimestamp(30, Now());
        st.SetText(31, o_.Clerk);
        for (size_t i = 32; i <= 36; ++i) {
            st.SetDouble(i, 0);
        }
        st.Execute();
    }

    const TOptions& o_;
    TConnection& db_;
    TLookup<TCustomer> customer_;
    TLookup<TPayer> payer_;
    TLookup<TArticle> article_;
    TLookup<TOneNumber> tariff_;
    test::TMemDataSet parameter_;
    TDateTime issueDate_ = 0;
    bool refFromPartner_ = false;
    std::string valuta_, osnova_, izdajatelj_, prefix_;
    int nextNumber_ = 1;
    std::vector<TWorkRow> rows_;
    std::vector<std::pair<std::string, std::string>> errors_;
    int invoices_ = 0;
};

} // namespace
} // namespace zen::bench

int main(int argc, char** argv) {
    using namespace zen::bench;
    int status = 0;
    try {
        TOptions o = ParseOptions(argc, argv);
        std::string connect = "DSN=" + o.Dsn + ";";
        if (!o.User.empty()) {
            connect += "UID=" + o.User + ";PWD=" + o.Password + ";";
        }
        TConnection db(connect);
        TBaseline run(o, db);
        run.Run();
        status = run.HadErrors() ? 1 : 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_transfer_baseline: %s\n", e.what());
        status = 2;
    }
    const char* count = std::getenv("ZENDRATO_COUNT_STATEMENTS");
    if (count && std::strcmp(count, "1") == 0) {
        std::fprintf(stderr, "baseline-statements: %llu (SQLExecute %llu, SQLEndTran %llu)\n",
                     static_cast<unsigned long long>(g_executes + g_endTrans),
                     static_cast<unsigned long long>(g_executes),
                     static_cast<unsigned long long>(g_endTrans));
    }
    return status;
}
