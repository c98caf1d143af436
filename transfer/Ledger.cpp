#include "transfer/Ledger.h"

#include "dataset/ODSI.h"
#include "dbutil/ExceptionLog.h"
#include "dbutil/StdProc.h"
#include "odbc/Hdbc.h"
#include "toolkit/Field.h"
#include "toolkit/Home.h"
#include "toolkit/Text.h"
#include "transfer/FileRunLock.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <unistd.h>

namespace zen {

namespace {

// The run's states as the tables keep them.
constexpr const char* kRunning = "tece";
constexpr const char* kCompleted = "koncan";
constexpr const char* kFailed = "prekinjen";

// Longest texts the columns take; longer ones are cut (a path or a failure's text is only
// read by people).
constexpr int kPathSize = 1000;
constexpr int kErrorSize = 4000;

// The key of the advisory lock under which a new run takes the next number.
constexpr const char* kPgNumberLock = "SELECT pg_advisory_xact_lock(1514493508, 1)";

std::string TimeText(TDateTime dt) {
    int y, mo, d, h, mi, s, ms;
    DecodeDate(dt, y, mo, d);
    DecodeTime(dt, h, mi, s, ms);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return buf;
}

TDateTime TimeFromText(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    TDateTime date = 0, time = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) < 3 ||
        !TryEncodeDate(y, mo, d, date)) {
        return 0;
    }
    TryEncodeTime(h, mi, s, 0, time);
    return date + time;
}

std::string HostName() {
    char buf[256] = {};
    return ::gethostname(buf, sizeof buf - 1) == 0 ? std::string(buf) : std::string();
}

// A statement of the ledger with named parameters (":NAME"), run on the caller's connection
// in whatever transaction it has.
class TLedgerSql {
public:
    TLedgerSql(THdbc& database, const std::string& sql) {
        q_.SetHdbc(&database);
        q_.SQL().Add(sql);
    }
    TLedgerSql& Set(const std::string& name, const std::string& value) {
        q_.ParamByName(name).SetAsString(value);
        return *this;
    }
    // Run numbers, sequence numbers, line counts and process ids: all well inside 32 bits.
    TLedgerSql& Set(const std::string& name, int64_t value) {
        q_.ParamByName(name).SetAsInteger(static_cast<int32_t>(value));
        return *this;
    }
    // An amount, in the column's four decimals.
    TLedgerSql& Set(const std::string& name, Currency value) {
        q_.ParamByName(name).SetAsCurrency(value);
        return *this;
    }
    // A NULL text.
    TLedgerSql& SetNull(const std::string& name) {
        TParam& p = q_.ParamByName(name);
        p.SetAsString({});
        p.Clear();
        return *this;
    }
    // The rows it changed.
    SQLLEN Exec() {
        q_.ExecSQL();
        return q_.Statement().NumRowsAffected();
    }
    TOEQuery& Open() {
        q_.Open();
        return q_;
    }
    // The statement's parameters in their order: a statement of many rows sets its values
    // by place, without a search by name for each.
    TOEParams& Params() { return q_.Params(); }

private:
    TOEQuery q_;
};

std::string Text(TOEQuery& q, const char* field) {
    return q.FieldByName(field)->AsString();
}

// A short transaction of the ledger's own, outside a run's groups; rolled back unless
// committed, and the connection back in autocommit either way.
class TLedgerTransaction {
public:
    explicit TLedgerTransaction(THdbc& database) : db_(database) { db_.SetAutoCommit(false); }
    ~TLedgerTransaction() {
        if (open_) {
            try {
                db_.Rollback();
                db_.SetAutoCommit(true);
            } catch (const std::exception& e) {
                LogException(e, &db_, "TLedgerTransaction");
            }
        }
    }
    void Commit() {
        db_.Commit();
        open_ = false;
        db_.SetAutoCommit(true);
    }

private:
    THdbc& db_;
    bool open_ = true;
};

constexpr const char* kRunCounts =
    "(SELECT COUNT(*) FROM ZendratoPrenosRacun i WHERE i.Prenos = r.Id) AS Racunov, "
    "(SELECT COALESCE(SUM(i.Vrstic), 0) FROM ZendratoPrenosRacun i WHERE i.Prenos = r.Id) "
    "AS Postavk, "
    "(SELECT i.Kljuc FROM ZendratoPrenosRacun i WHERE i.Prenos = r.Id AND i.Zap = "
    "(SELECT MIN(j.Zap) FROM ZendratoPrenosRacun j WHERE j.Prenos = r.Id)) AS Prvi, "
    "(SELECT i.Kljuc FROM ZendratoPrenosRacun i WHERE i.Prenos = r.Id AND i.Zap = "
    "(SELECT MAX(j.Zap) FROM ZendratoPrenosRacun j WHERE j.Prenos = r.Id)) AS Zadnji "
    "FROM ZendratoPrenos r ";

// The columns of the control totals, in the order of LedgerTotalsDdl.
constexpr const char* kTotalsColumns[] = {"Zapisov", "Zavrnjenih", "Kolicina",        "Vrednost",
                                          "Davek",   "ZaPlacilo",  "VrednostDatoteke"};

// Every run's columns with its invoice and line counts and first and last key, and its
// control totals where the table has them; a WHERE and ORDER follow.
std::string RunSelect(bool withTotals) {
    std::string totals;
    for (const char* column : kTotalsColumns) {
        totals += withTotals ? std::string("r.") + column + ", "
                             : std::string("NULL AS ") + column + ", ";
    }
    return "SELECT r.Id, r.Vsebina, r.Datoteka, r.VirPodatkov, r.PoslDog, r.Referent, "
           "r.DatumRacunov, r.Zacet, r.Stanje, r.Napaka, r.Racunalnik, r.Dom, r.Uporabnik, "
           "r.Razveljavljen, r.Razveljavil, " +
           totals + kRunCounts;
}

// How many of the things asked for the catalog holds: `postgres` or `sqlite` counts them (as
// N) on a database of its kind, so that no failing statement spoils a transaction. Where we
// know no catalog, `probe`, a statement that fails when one is missing, runs outside any
// transaction it could spoil: `all` when it runs, 0 when it fails.
int CatalogCount(THdbc& database, const std::string& postgres, const std::string& sqlite,
                 const std::string& probe, int all) {
    const TDbmsKind kind = database.Quirks().kind;
    if (kind != TDbmsKind::PostgreSQL && kind != TDbmsKind::SQLite) {
        if (!database.AutoCommit()) {
            throw EInvalidOperation("The ledger's catalog asked inside a transaction");
        }
        try {
            TLedgerSql(database, probe).Open().Close();
            return all;
        } catch (const EDatabaseError&) {
            return 0;
        }
    }
    TLedgerSql q(database, kind == TDbmsKind::PostgreSQL ? postgres : sqlite);
    TOEQuery& r = q.Open();
    const int n = r.FieldByName("N")->AsInteger();
    r.Close();
    return n;
}

std::vector<TTransferRun> ReadRuns(THdbc& database, TLedgerSql& sql) {
    TOEQuery& q = sql.Open();
    std::vector<TTransferRun> runs;
    for (; !q.Eof(); q.Next()) {
        TTransferRun r;
        r.Id = static_cast<int64_t>(q.FieldByName("Id")->AsFloat());
        r.FileHash = Text(q, "Vsebina");
        r.FilePath = Text(q, "Datoteka");
        r.DataSource = Text(q, "VirPodatkov");
        r.PoslDog = Text(q, "PoslDog");
        r.Referent = Text(q, "Referent");
        r.IssueDate = TimeFromText(Text(q, "DatumRacunov"));
        r.Started = TimeFromText(Text(q, "Zacet"));
        const std::string state = Text(q, "Stanje");
        r.Status = state == kCompleted ? TTransferRunStatus::Completed
                   : state == kFailed  ? TTransferRunStatus::Failed
                                       : TTransferRunStatus::Running;
        r.Error = Text(q, "Napaka");
        r.Host = Text(q, "Racunalnik");
        r.Home = Text(q, "Dom");
        r.User = Text(q, "Uporabnik");
        r.UndoneAt = TimeFromText(Text(q, "Razveljavljen"));
        r.Undone = !Text(q, "Razveljavljen").empty();
        r.UndoneBy = Text(q, "Razveljavil");
        r.Invoices = static_cast<int64_t>(q.FieldByName("Racunov")->AsFloat());
        r.FirstKey = Text(q, "Prvi");
        r.LastKey = Text(q, "Zadnji");
        // Recorded first when the check phase ended.
        if (!q.FieldByName("Zapisov")->IsNull()) {
            auto amount = [&q](const char* field) {
                return Currency::FromDouble(q.FieldByName(field)->AsFloat());
            };
            TRunTotals& t = r.Totals.emplace();
            t.Read = static_cast<int64_t>(q.FieldByName("Zapisov")->AsFloat());
            t.Refused = static_cast<int64_t>(q.FieldByName("Zavrnjenih")->AsFloat());
            t.Invoices = r.Invoices;
            t.Lines = static_cast<int64_t>(q.FieldByName("Postavk")->AsFloat());
            t.Kolicina = amount("Kolicina");
            t.Vrednost = amount("Vrednost");
            t.Davek = amount("Davek");
            t.ZaPlacilo = amount("ZaPlacilo");
            if (!q.FieldByName("VrednostDatoteke")->IsNull()) {
                t.FileValue = amount("VrednostDatoteke");
            }
        }
        runs.push_back(std::move(r));
    }
    q.Close();
    // Only the newest unfinished run of a file can be the one that holds its lock now.
    std::set<std::string> asked;
    for (TTransferRun& r : runs) {
        if (r.Status == TTransferRunStatus::Running && !r.Undone &&
            asked.insert(r.FileHash).second) {
            r.Live = TFileRunLock::Held(database, r.FileHash);
        }
    }
    return runs;
}

} // namespace

const std::vector<std::string>& LedgerDdl() {
    static const std::vector<std::string> ddl = {
        "CREATE TABLE ZendratoPrenos (\n"
        "  Id            INTEGER       NOT NULL PRIMARY KEY,\n"
        "  Vsebina       VARCHAR(64)   NOT NULL,\n"
        "  Datoteka      VARCHAR(1000),\n"
        "  VirPodatkov   VARCHAR(200),\n"
        "  PoslDog       VARCHAR(10),\n"
        "  Referent      VARCHAR(40),\n"
        "  DatumRacunov  VARCHAR(10),\n"
        "  Zacet         VARCHAR(19)   NOT NULL,\n"
        "  Koncan        VARCHAR(19),\n"
        "  Stanje        VARCHAR(10)   NOT NULL,\n"
        "  Napaka        VARCHAR(4000),\n"
        "  Racunalnik    VARCHAR(255),\n"
        "  Dom           VARCHAR(1000),\n"
        "  Uporabnik     VARCHAR(100),\n"
        "  Proces        INTEGER,\n"
        "  Nadaljevan    VARCHAR(19),\n"
        "  Razveljavljen VARCHAR(19),\n"
        "  Razveljavil   VARCHAR(100),\n"
        "  Izvor         VARCHAR(1100),\n"
        "  Zapisov       INTEGER,\n"
        "  Zavrnjenih    INTEGER,\n"
        "  Kolicina      NUMERIC(19,4),\n"
        "  Vrednost      NUMERIC(19,4),\n"
        "  Davek         NUMERIC(19,4),\n"
        "  ZaPlacilo     NUMERIC(19,4),\n"
        "  VrednostDatoteke NUMERIC(19,4)\n"
        ")",
        "CREATE INDEX ZendratoPrenos_Vsebina ON ZendratoPrenos (Vsebina)",
        "CREATE TABLE ZendratoPrenosRacun (\n"
        "  Prenos   INTEGER       NOT NULL,\n"
        "  Zap      INTEGER       NOT NULL,\n"
        "  Kljuc    VARCHAR(40)   NOT NULL,\n"
        "  Placnik  VARCHAR(1000),\n"
        "  Vrstic   INTEGER       NOT NULL,\n"
        "  Odtis    VARCHAR(64),\n"
        "  PRIMARY KEY (Prenos, Zap)\n"
        ")",
        "CREATE INDEX ZendratoPrenosRacun_Kljuc ON ZendratoPrenosRacun (Kljuc)",
    };
    return ddl;
}

const std::vector<std::string>& LedgerTotalsDdl() {
    static const std::vector<std::string> ddl = {
        "ALTER TABLE ZendratoPrenos ADD COLUMN Zapisov INTEGER",
        "ALTER TABLE ZendratoPrenos ADD COLUMN Zavrnjenih INTEGER",
        "ALTER TABLE ZendratoPrenos ADD COLUMN Kolicina NUMERIC(19,4)",
        "ALTER TABLE ZendratoPrenos ADD COLUMN Vrednost NUMERIC(19,4)",
        "ALTER TABLE ZendratoPrenos ADD COLUMN Davek NUMERIC(19,4)",
        "ALTER TABLE ZendratoPrenos ADD COLUMN ZaPlacilo NUMERIC(19,4)",
        "ALTER TABLE ZendratoPrenos ADD COLUMN VrednostDatoteke NUMERIC(19,4)",
    };
    return ddl;
}

bool LedgerExists(THdbc& database) {
    return CatalogCount(database,
                        "SELECT COUNT(*) AS N FROM information_schema.tables WHERE "
                        "LOWER(table_name) IN ('zendratoprenos', 'zendratoprenosracun') AND "
                        "table_schema = ANY (current_schemas(false))",
                        "SELECT COUNT(*) AS N FROM sqlite_master WHERE type = 'table' AND "
                        "LOWER(name) IN ('zendratoprenos', 'zendratoprenosracun')",
                        "SELECT COUNT(*) AS N FROM ZendratoPrenos r, ZendratoPrenosRacun i "
                        "WHERE 1 = 0",
                        2) == 2;
}

void EnsureLedgerTables(THdbc& database) {
    if (LedgerExists(database)) {
        return;
    }
    try {
        TLedgerTransaction tx(database);
        for (const std::string& statement : LedgerDdl()) {
            TLedgerSql(database, statement).Exec();
        }
        tx.Commit();
    } catch (const EDatabaseError& e) {
        // Another run may have made them at the same moment.
        if (LedgerExists(database)) {
            return;
        }
        throw ELedgerMissing(
            "V bazi Tevrin ni tabel dnevnika prenosov (" + std::string(kLedgerRuns) + " in " +
            kLedgerInvoices + "), prijava " +
            (database.UserName().empty() ? std::string("v bazo") : database.UserName()) +
            " pa jih ne sme ustvariti. Skrbnik baze naj jih ustvari z ukazi iz priročnika "
            "(zendrato(1), razdelek o dnevniku prenosov). Nič ni bilo zapisano.\nVzrok: " +
            e.Message());
    }
}

namespace {

// Whether ZendratoPrenos has every one of the columns; asked of the catalog where the
// database has one we know, so that no failing statement spoils a transaction.
bool RunColumnsExist(THdbc& database, const std::vector<std::string>& columns) {
    std::string names, list;
    for (const std::string& column : columns) {
        names += (names.empty() ? "'" : ", '") + AsciiLower(column) + "'";
        list += (list.empty() ? "" : ", ") + column;
    }
    return CatalogCount(database,
                        "SELECT COUNT(*) AS N FROM information_schema.columns WHERE "
                        "LOWER(table_name) = 'zendratoprenos' AND table_schema = ANY "
                        "(current_schemas(false)) AND LOWER(column_name) IN (" +
                            names + ")",
                        "SELECT COUNT(*) AS N FROM pragma_table_info('ZendratoPrenos') WHERE "
                        "LOWER(name) IN (" +
                            names + ")",
                        "SELECT " + list + " FROM ZendratoPrenos WHERE 1 = 0",
                        int(columns.size())) == int(columns.size());
}

bool LedgerHasTotals(THdbc& database) {
    return RunColumnsExist(
        database, std::vector<std::string>(std::begin(kTotalsColumns), std::end(kTotalsColumns)));
}

} // namespace

void EnsureLedgerTotals(THdbc& database) {
    const std::vector<std::string>& ddl = LedgerTotalsDdl();
    for (size_t i = 0; i < ddl.size(); ++i) {
        const std::vector<std::string> column = {kTotalsColumns[i]};
        if (RunColumnsExist(database, column)) {
            continue;
        }
        try {
            TLedgerSql(database, ddl[i]).Exec();
        } catch (const EDatabaseError& e) {
            // Another run may have added it at the same moment.
            if (RunColumnsExist(database, column)) {
                continue;
            }
            throw ELedgerMissing(
                "V tabeli " + std::string(kLedgerRuns) +
                " dnevnika prenosov ni stolpcev kontrolnih seštevkov, prijava " +
                (database.UserName().empty() ? std::string("v bazo") : database.UserName()) +
                " pa jih ne sme dodati. Skrbnik baze naj jih doda z ukazi iz priročnika "
                "(zendrato(1), razdelek o dnevniku prenosov). Nič ni bilo zapisano.\nVzrok: " +
                e.Message());
        }
    }
}

namespace {

// The next run number, under a lock that lasts to the end of the caller's transaction, so
// that two runs starting at once take two.
int64_t NextLedgerRunId(THdbc& database) {
    if (database.Quirks().kind == TDbmsKind::PostgreSQL) {
        TLedgerSql(database, kPgNumberLock).Exec();
    } else {
        TLedgerSql(database, "UPDATE ZendratoPrenos SET Id = Id WHERE 1 = 0").Exec();
    }
    TLedgerSql next(database, "SELECT COALESCE(MAX(Id), 0) + 1 AS N FROM ZendratoPrenos");
    TOEQuery& n = next.Open();
    const int64_t id = static_cast<int64_t>(n.FieldByName("N")->AsFloat());
    n.Close();
    return id;
}

void InsertRun(THdbc& database, int64_t id, const TTransferRunInputs& inputs,
               const std::string& started, const std::string& issueDate, const std::string& state) {
    TLedgerSql(database,
               "INSERT INTO ZendratoPrenos (Id, Vsebina, Datoteka, VirPodatkov, PoslDog, "
               "Referent, DatumRacunov, Zacet, Stanje, Racunalnik, Dom, Uporabnik, Proces) "
               "VALUES (:ID, :VSEBINA, :DATOTEKA, :VIR, :POSLDOG, :REFERENT, :DATUM, :ZACET, "
               ":STANJE, :RACUNALNIK, :DOM, :UPORABNIK, :PROCES)")
        .Set("ID", id)
        .Set("VSEBINA", inputs.FileHash)
        .Set("DATOTEKA", Utf8Left(inputs.FilePath, kPathSize))
        .Set("VIR", Utf8Left(inputs.DataSource, 200))
        .Set("POSLDOG", Utf8Left(inputs.PoslDog, 10))
        .Set("REFERENT", Utf8Left(inputs.Referent, 40))
        .Set("DATUM", issueDate)
        .Set("ZACET", started)
        .Set("STANJE", state)
        .Set("RACUNALNIK", Utf8Left(HostName(), 255))
        .Set("DOM", Utf8Left(ZendratoHome().string(), kPathSize))
        .Set("UPORABNIK", Utf8Left(SystemUserName(), 100))
        .Set("PROCES", int64_t(::getpid()))
        .Exec();
}

} // namespace

int64_t BeginLedgerRun(THdbc& database, const TTransferRunInputs& inputs) {
    TLedgerTransaction tx(database);
    const int64_t id = NextLedgerRunId(database);
    InsertRun(database, id, inputs, TimeText(Now()), TimeText(inputs.IssueDate).substr(0, 10),
              kRunning);
    tx.Commit();
    return id;
}

int64_t ImportLedgerRun(THdbc& database, const TTransferRunInputs& inputs,
                        const std::string& started, const std::string& issueDate,
                        const std::string& state, const std::string& error,
                        const std::string& undoneAt, const std::string& undoneBy,
                        const std::string& origin, const std::vector<TLedgerInvoice>& invoices) {
    const int64_t id = NextLedgerRunId(database);
    InsertRun(database, id, inputs, started, issueDate, state);
    TLedgerSql update(database, "UPDATE ZendratoPrenos SET Napaka = :NAPAKA, Razveljavljen = "
                                ":RAZVELJAVLJEN, Razveljavil = :RAZVELJAVIL, Izvor = :IZVOR "
                                "WHERE Id = :ID");
    auto textOrNull = [&](const char* name, const std::string& v, int size) {
        if (v.empty()) {
            update.SetNull(name);
        } else {
            update.Set(name, Utf8Left(v, size));
        }
    };
    textOrNull("NAPAKA", error, kErrorSize);
    textOrNull("RAZVELJAVLJEN", undoneAt, 19);
    textOrNull("RAZVELJAVIL", undoneBy, 100);
    update.Set("IZVOR", Utf8Left(origin, 1100)).Set("ID", id).Exec();
    RecordLedgerInvoices(database, id, 0, invoices);
    return id;
}

void RecordLedgerInvoices(THdbc& database, int64_t runId, int firstSeq,
                          const std::vector<TLedgerInvoice>& invoices) {
    if (invoices.empty()) {
        return;
    }
    // The numbers go in as they are and only the texts are parameters, which spares binding
    // three values an invoice.
    std::string sql =
        "INSERT INTO ZendratoPrenosRacun (Prenos, Zap, Kljuc, Placnik, Vrstic, Odtis) VALUES ";
    for (size_t i = 0; i < invoices.size(); ++i) {
        const std::string n = std::to_string(i);
        sql += (i ? ", (" : "(") + std::to_string(runId) + ", " +
               std::to_string(int64_t(firstSeq) + int64_t(i)) + ", :K" + n + ", :P" + n + ", " +
               std::to_string(invoices[i].Lines) + ", :O" + n + ")";
    }
    TLedgerSql insert(database, sql);
    TOEParams& params = insert.Params();
    for (size_t i = 0; i < invoices.size(); ++i) {
        const int at = 3 * static_cast<int>(i);
        params[at].SetAsString(invoices[i].Kljuc);
        params[at + 1].SetAsString(invoices[i].Placnik);
        TParam& fingerprint = params[at + 2];
        fingerprint.SetAsString(invoices[i].Fingerprint);
        if (invoices[i].Fingerprint.empty()) {
            fingerprint.Clear();
        }
    }
    if (insert.Exec() != SQLLEN(invoices.size())) {
        throw EDatabaseError("Dnevnik prenosov ni sprejel vseh računov skupine.");
    }
}

void RecordLedgerTotals(THdbc& database, int64_t runId, const TRunTotals& totals) {
    TLedgerSql s(database,
                 std::string("UPDATE ZendratoPrenos SET Zapisov = :ZAPISOV, Zavrnjenih = "
                             ":ZAVRNJENIH, Kolicina = :KOLICINA, Vrednost = :VREDNOST, Davek = "
                             ":DAVEK, ZaPlacilo = :ZAPLACILO, VrednostDatoteke = ") +
                     (totals.FileValue ? ":DATOTEKA" : "NULL") + " WHERE Id = :ID");
    s.Set("ZAPISOV", totals.Read)
        .Set("ZAVRNJENIH", totals.Refused)
        .Set("KOLICINA", totals.Kolicina)
        .Set("VREDNOST", totals.Vrednost)
        .Set("DAVEK", totals.Davek)
        .Set("ZAPLACILO", totals.ZaPlacilo)
        .Set("ID", runId);
    if (totals.FileValue) {
        s.Set("DATOTEKA", *totals.FileValue);
    }
    if (s.Exec() != 1) {
        throw EDatabaseError("Dnevnik prenosov nima prenosa št. " + std::to_string(runId) + ".");
    }
}

void FinishLedgerRun(THdbc& database, int64_t runId, bool completed, const std::string& error) {
    TLedgerSql s(database,
                 "UPDATE ZendratoPrenos SET Stanje = :STANJE, Koncan = :KONCAN, Napaka = :NAPAKA "
                 "WHERE Id = :ID");
    s.Set("STANJE", std::string(completed ? kCompleted : kFailed))
        .Set("KONCAN", TimeText(Now()))
        .Set("ID", runId);
    if (completed) {
        s.SetNull("NAPAKA");
    } else {
        s.Set("NAPAKA", Utf8Left(error, kErrorSize));
    }
    s.Exec();
}

void ResumeLedgerRun(THdbc& database, int64_t runId) {
    TLedgerSql(database,
               "UPDATE ZendratoPrenos SET Stanje = :STANJE, Nadaljevan = :ZDAJ, Koncan = NULL, "
               "Napaka = NULL, Racunalnik = :RACUNALNIK, Dom = :DOM, Uporabnik = :UPORABNIK, "
               "Proces = :PROCES WHERE Id = :ID")
        .Set("STANJE", std::string(kRunning))
        .Set("ZDAJ", TimeText(Now()))
        .Set("RACUNALNIK", Utf8Left(HostName(), 255))
        .Set("DOM", Utf8Left(ZendratoHome().string(), kPathSize))
        .Set("UPORABNIK", Utf8Left(SystemUserName(), 100))
        .Set("PROCES", int64_t(::getpid()))
        .Set("ID", runId)
        .Exec();
}

bool MarkLedgerRunUndone(THdbc& database, int64_t runId, const std::string& who) {
    return TLedgerSql(database, "UPDATE ZendratoPrenos SET Razveljavljen = :ZDAJ, Razveljavil = "
                                ":KDO WHERE Id = :ID AND Razveljavljen IS NULL")
               .Set("ZDAJ", TimeText(Now()))
               .Set("KDO", Utf8Left(who, 100))
               .Set("ID", runId)
               .Exec() == 1;
}

std::vector<TTransferRun> LedgerRuns(THdbc& database, int limit) {
    if (!LedgerExists(database)) {
        return {};
    }
    TLedgerSql q(database, RunSelect(LedgerHasTotals(database)) + "ORDER BY r.Id DESC");
    std::vector<TTransferRun> runs = ReadRuns(database, q);
    if (limit > 0 && runs.size() > size_t(limit)) {
        runs.resize(size_t(limit));
    }
    return runs;
}

std::optional<TTransferRun> FindLedgerRun(THdbc& database, int64_t id) {
    if (!LedgerExists(database)) {
        return std::nullopt;
    }
    TLedgerSql q(database, RunSelect(LedgerHasTotals(database)) + "WHERE r.Id = :ID");
    q.Set("ID", id);
    std::vector<TTransferRun> runs = ReadRuns(database, q);
    return runs.empty() ? std::nullopt : std::optional(runs.front());
}

std::vector<TTransferRun> LedgerRunsOfFile(THdbc& database, const std::string& fileHash) {
    TLedgerSql q(database, RunSelect(LedgerHasTotals(database)) +
                               "WHERE r.Vsebina = :VSEBINA AND r.Razveljavljen IS NULL AND EXISTS "
                               "(SELECT 1 FROM ZendratoPrenosRacun i WHERE i.Prenos = r.Id) "
                               "ORDER BY r.Id");
    q.Set("VSEBINA", fileHash);
    return ReadRuns(database, q);
}

std::vector<TLedgerInvoice> LedgerInvoices(THdbc& database, int64_t runId) {
    TLedgerSql s(database, "SELECT Kljuc, Placnik, Vrstic, Odtis FROM ZendratoPrenosRacun WHERE "
                           "Prenos = :ID ORDER BY Zap");
    s.Set("ID", runId);
    TOEQuery& q = s.Open();
    std::vector<TLedgerInvoice> invoices;
    for (; !q.Eof(); q.Next()) {
        invoices.push_back({Text(q, "Kljuc"), Text(q, "Placnik"),
                            q.FieldByName("Vrstic")->AsInteger(), Text(q, "Odtis")});
    }
    q.Close();
    return invoices;
}

int LedgerInvoiceCount(THdbc& database, int64_t runId) {
    TLedgerSql s(database, "SELECT COUNT(*) AS N FROM ZendratoPrenosRacun WHERE Prenos = :ID");
    s.Set("ID", runId);
    TOEQuery& q = s.Open();
    const int n = q.FieldByName("N")->AsInteger();
    q.Close();
    return n;
}

std::string RacunCount(int64_t n) {
    int64_t last = (n < 0 ? -n : n) % 100;
    const char* word = last == 1                ? "račun"
                       : last == 2              ? "računa"
                       : last == 3 || last == 4 ? "računi"
                                                : "računov";
    return std::to_string(n) + " " + word;
}

std::string JournalDateTime(TDateTime dt) {
    int y, mo, d, h, mi, s, ms;
    DecodeDate(dt, y, mo, d);
    DecodeTime(dt, h, mi, s, ms);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%d. %d. %d ob %02d:%02d", d, mo, y, h, mi);
    return buf;
}

std::string KeyRange(const std::string& first, const std::string& last) {
    return first == last ? first : first + "–" + last;
}

} // namespace zen
