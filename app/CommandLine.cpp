#include "app/CommandLine.h"

#include "app/FormulaCheck.h"
#include "toolkit/DateTime.h"
#include "toolkit/Text.h"

#include <QCommandLineParser>
#include <QStringList>
#include <charconv>
#include <cmath>
#include <optional>
#include <ostream>
#include <string_view>

#ifndef ZENDRATO_VERSION
#define ZENDRATO_VERSION "unknown"
#endif

namespace zen {

namespace {

// Common is no mode's own: --help and --version.
enum class TOwner { Common, Window, Formula, SetLogin, Transfer, History, Undo, AddDsn, Demo };

struct TOptionDef {
    const char* Name;
    bool TakesValue;
    TOwner Owner;
    bool IsMode;                   // the option that chooses its owner's mode
    TOwner Also = TOwner::Common;  // a second mode that takes the option too
    TOwner Also2 = TOwner::Common; // and a third
};

constexpr TOptionDef kOptions[] = {
    {"help", false, TOwner::Common, false},
    {"version", false, TOwner::Common, false},
    {"formula", true, TOwner::Formula, true},
    {"var", true, TOwner::Formula, false},
    {"price-class", true, TOwner::Formula, false},
    {"set-login", true, TOwner::SetLogin, true},
    {"transfer", false, TOwner::Transfer, true},
    {"date", true, TOwner::Transfer, false},
    {"event", true, TOwner::Transfer, false},
    {"clerk", true, TOwner::Transfer, false},
    {"dsn", true, TOwner::Transfer, false, TOwner::History, TOwner::Undo},
    {"file", true, TOwner::Transfer, false},
    {"report", true, TOwner::Transfer, false},
    {"check", false, TOwner::Transfer, false, TOwner::Undo},
    {"force", false, TOwner::Transfer, false, TOwner::AddDsn},
    {"resume", false, TOwner::Transfer, false},
    {"history", false, TOwner::History, true},
    {"limit", true, TOwner::History, false},
    {"csv", false, TOwner::History, false},
    {"undo", true, TOwner::Undo, true},
    {"add-dsn", true, TOwner::AddDsn, true},
    {"kind", true, TOwner::AddDsn, false},
    {"server", true, TOwner::AddDsn, false},
    {"port", true, TOwner::AddDsn, false},
    {"database", true, TOwner::AddDsn, false},
    {"demo", false, TOwner::Demo, true},
};

TCommandMode ModeOf(TOwner owner) {
    switch (owner) {
    case TOwner::Formula:
        return TCommandMode::Formula;
    case TOwner::SetLogin:
        return TCommandMode::SetLogin;
    case TOwner::Transfer:
        return TCommandMode::Transfer;
    case TOwner::History:
        return TCommandMode::History;
    case TOwner::Undo:
        return TCommandMode::Undo;
    case TOwner::AddDsn:
        return TCommandMode::AddDsn;
    case TOwner::Demo:
        return TCommandMode::Demo;
    default:
        return TCommandMode::Window;
    }
}

const char* ModeOption(TCommandMode mode) {
    switch (mode) {
    case TCommandMode::Formula:
        return "--formula";
    case TCommandMode::SetLogin:
        return "--set-login";
    case TCommandMode::Transfer:
        return "--transfer";
    case TCommandMode::History:
        return "--history";
    case TCommandMode::Undo:
        return "--undo";
    case TCommandMode::AddDsn:
        return "--add-dsn";
    case TCommandMode::Demo:
        return "--demo";
    default:
        return "";
    }
}

// The option an argument names ("--date", "--date=x", "-date"), or nullptr.
const TOptionDef* OptionOf(std::string_view arg) {
    if (arg == "-h") {
        return &kOptions[0];
    }
    if (arg.size() < 2 || arg[0] != '-') {
        return nullptr;
    }
    arg.remove_prefix(arg[1] == '-' ? 2 : 1);
    arg = arg.substr(0, arg.find('='));
    for (const TOptionDef& o : kOptions) {
        if (arg == o.Name) {
            return &o;
        }
    }
    return nullptr;
}

bool IsHelp(std::string_view arg) {
    return arg == "--help" || arg == "-h";
}

// "»text«", the Slovene quotation of what the user typed.
std::string Quoted(std::string_view text) {
    return "»" + std::string(text) + "«";
}

// Qt's parser would answer an unknown option, a missing value or a value where none goes
// in English; these are found first, with the same reading of the arguments: an option
// that takes a value takes the next argument whatever it looks like, and everything after
// "--" is no option.
std::optional<std::string> OptionErrorAsQtReadsThem(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--") {
            if (i + 1 < argc) {
                return "odvečen argument " + Quoted(argv[i + 1]);
            }
            return std::nullopt;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            continue; // a stray argument, told after the options
        }
        const TOptionDef* o = OptionOf(arg);
        if (!o) {
            return "neznana možnost " + Quoted(arg.substr(0, arg.find('=')));
        }
        const bool hasValue = arg.find('=') != std::string_view::npos;
        if (o->TakesValue && !hasValue) {
            if (i + 1 == argc) {
                return std::string("možnost --") + o->Name + " potrebuje vrednost";
            }
            ++i;
        } else if (!o->TakesValue && hasValue) {
            return std::string("možnost --") + o->Name + " ne sprejme vrednosti";
        }
    }
    return std::nullopt;
}

constexpr const char* kSetLoginUsage =
    "Uporaba: zendrato --set-login UPORABNIK (geslo se prebere s standardnega vhoda)\n";

constexpr const char* kTransferUsage =
    "Uporaba: zendrato --transfer --date DATUM [--event PD] [--clerk RF] [--dsn VIR]\n"
    "                  [--file POT] [--report DATOTEKA] [--check] [--force | --resume]\n";

constexpr const char* kHistoryUsage =
    "Uporaba: zendrato --history [--dsn VIR] [--limit N] [--csv]\n";

constexpr const char* kUndoUsage = "Uporaba: zendrato --undo PRENOS [--dsn VIR] [--check]\n";

constexpr const char* kAddDsnUsage =
    "Uporaba: zendrato --add-dsn IME --kind postgresql --server STREŽNIK [--port N]\n"
    "                  --database BAZA [--force]\n"
    "         zendrato --add-dsn IME --kind sqlite --database DATOTEKA [--force]\n";

constexpr const char* kDemoUsage = "Uporaba: zendrato --demo\n";

std::string AddDsnHelp() {
    return std::string(kAddDsnUsage) +
           "\n"
           "Zapiše uporabnikov vir podatkov ODBC za bazo Tevrin (v ~/.odbc.ini ali datoteko, ki "
           "jo\n"
           "imenuje ODBCINI) z možnostmi, ki jih Zendrato potrebuje: za PostgreSQL gonilnik\n"
           "\"PostgreSQL ANSI\" z UseDeclareFetch=1 in UpdatableCursors=1, za SQLite gonilnik\n"
           "\"SQLite3\" s StepAPI=1 in NoCreat=1. Nato se poskusi prijaviti (s prijavo iz\n"
           "registra, zendrato --set-login) in izpiše \"Povezava deluje.\" ali razlog.\n"
           "\n"
           "  --kind VRSTA       postgresql ali sqlite\n"
           "  --server STREŽNIK  ime ali naslov strežnika PostgreSQL\n"
           "  --port N           vrata strežnika (privzeto 5432)\n"
           "  --database BAZA    ime baze na strežniku ali datoteka baze SQLite\n"
           "  --force            zamenja obstoječi vir podatkov z istim imenom\n"
           "\n"
           "Izhodno stanje: 0 zapisan in povezava deluje; 1 zapisan, povezava ne deluje (razlog\n"
           "na standardnem izhodu za napake); 2 ni zapisan (vir že obstaja brez --force,\n"
           "nedovoljeno ime ali vrednost, datoteke ni) ali napačna uporaba.\n";
}

std::string DemoHelp() {
    return std::string(kDemoUsage) +
           "\n"
           "Pripravi demo v mapi demo domače mape programa: bazo Tevrin SQLite manjšega\n"
           "ponudnika s partnerji, artikli, davčnimi stopnjami, ceniki in formulami, prenosni\n"
           "datoteki njegovih obračunskih zapisov (s cenami in brez njih) ter uporabnikov vir\n"
           "podatkov ZendratoDemo. Prej pripravljeni demo se nadomesti. Izpiše, kako preizkusiti\n"
           "prenos in razveljavitev.\n"
           "\n"
           "Izhodno stanje: 0 pripravljen; 2 ga ni mogoče pripraviti ali napačna uporaba.\n";
}

std::string HistoryHelp() {
    return std::string(kHistoryUsage) +
           "\n"
           "Izpiše prenose iz dnevnika prenosov v bazi Tevrin (tabeli ZendratoPrenos in\n"
           "ZendratoPrenosRacun), najnovejšega prvega, vsakega v eni vrstici: številko\n"
           "prenosa (za --undo), začetek, podatkovni vir, poslovni dogodek, datum računov,\n"
           "datoteko in začetek njene vsebinske oznake, število računov s prvim in zadnjim ter\n"
           "stanje: zaključen, prekinjen (končan z napako ali prekinjen), teče, razveljavljen.\n"
           "Pod vrstico prenosa so v zamaknjeni vrstici njegovi kontrolni seštevki.\n"
           "Našteti so prenosi iz vseh domačih map in z vseh računalnikov v to bazo.\n"
           "\n"
           "  --dsn VIR    podatkovni vir ODBC baze Tevrin (privzeto Alias, sicer Lorvath)\n"
           "  --limit N    le zadnjih N prenosov\n"
           "  --csv        kot datoteka CSV za preglednico (UTF-8, ločeno s podpičji)\n"
           "\n"
           "Izhodno stanje: 0 izpisano; 1 izpisano, starega dnevnika v domači mapi pa ni mogoče\n"
           "prebrati; 2 dnevnika v bazi ni mogoče prebrati ali napačna uporaba.\n";
}

std::string UndoHelp() {
    return std::string(kUndoUsage) +
           "\n"
           "Razveljavi prenos z dano številko (zendrato --history): izbriše vse račune (glave in\n"
           "vrstice), ki jih je prenos zapisal, v eni transakciji, vse ali nič. Zavrne, če je\n"
           "kateri od računov po prenosu spremenjen ali izbrisan, če je knjižen, ali če v isti\n"
           "seriji za računi prenosa ali med njimi že stoji drug dokument. Razveljavitev se\n"
           "zapiše v dnevnik; isto datoteko je nato mogoče prenesti znova brez --force.\n"
           "\n"
           "  --dsn VIR    podatkovni vir ODBC baze Tevrin (privzeto Alias, sicer Lorvath)\n"
           "  --check      le preveri in izpiše, kaj bi bilo izbrisano; nič ne izbriše\n"
           "\n"
           "Izhodno stanje: 0 razveljavljeno (s --check: bi bilo mogoče; tudi, ko je bil prenos\n"
           "razveljavljen že prej); 2 zavrnjeno, napaka baze ali napačna uporaba; nič ni\n"
           "spremenjeno.\n";
}

std::string SetLoginHelp() {
    return std::string(kSetLoginUsage) +
           "\n"
           "Shrani prijavo SQL, s katero se prenos prijavi v bazo Tevrin: uporabnika in geslo,\n"
           "zakodirano s konstantami namestitve, v register (HKEY_LOCAL_MACHINE.reg v domači\n"
           "mapi). Geslo se prebere s standardnega vhoda, na terminalu brez odmeva. Prazno\n"
           "geslo se ne shrani.\n"
           "\n"
           "Zakodiranje gesla ni šifriranje: geslo le skrije pred bežnim pogledom; kdor lahko\n"
           "prebere datoteko, ga zlahka razkodira. Geslo varuje samo način datoteke: zapiše se\n"
           "tako, da jo lahko bere le njen lastnik (0600).\n"
           "\n"
           "Izhodno stanje: 0 shranjeno; 1 registra ni mogoče zapisati; 2 napačna uporaba,\n"
           "prazno ali neberljivo geslo (shranjena prijava ostane nespremenjena) ali domače\n"
           "mape ni mogoče ustvariti.\n";
}

std::string TransferHelp() {
    return std::string(kTransferUsage) +
           "\n"
           "Prenos brez okna: isti prenos kot gumb \"Prenos\". Možnosti, ki niso podane, se\n"
           "vzamejo iz Tevrin.INI, kot bi jih obnovilo okno; prijava SQL je iz registra\n"
           "(zendrato --set-login). Okno ni potrebno.\n"
           "\n"
           "  --date DATUM       datum izstavitve računov, LLLL-MM-DD ali DD. MM. LLLL\n"
           "                     (obvezen)\n"
           "  --event PD         poslovni dogodek (privzeto PoslDog iz Tevrin.INI)\n"
           "  --clerk RF         referent (privzeto Referent)\n"
           "  --dsn VIR          podatkovni vir ODBC baze Tevrin (privzeto Alias, sicer Lorvath)\n"
           "  --file POT         prenosna datoteka dBase (privzeto Path)\n"
           "  --report DATOTEKA  zapiše poročilo o napakah, ko so napake: PDF, ali CSV (UTF-8,\n"
           "                     ločeno s podpičji), ko se ime konča s \".csv\"\n"
           "  --check            preizkus: ves prenos z ceniki in številčenjem, vsak račun pa se\n"
           "                     prekliče namesto zapiše; izpiše račune, ki bi jih zapisal\n"
           "  --force            prenese tudi datoteko, ki jo dnevnik prenosov v bazi že pozna:\n"
           "                     vsak njen že zapisani račun bo zapisan še enkrat\n"
           "  --resume           nadaljuje zadnji prekinjeni prenos iste datoteke z enakimi\n"
           "                     podatki: plačnike, katerih račune je že zapisal, izpusti; za\n"
           "                     datoteko, ki je dnevnik ne pozna, začne od začetka\n"
           "  --help             to besedilo\n"
           "\n"
           "Napredek se izpisuje na standardni izhod za napake. Na koncu izpiše na standardni\n"
           "izhod \"Dodajanje zaključeno !\" ali vrstice napak: številko računa, tabulator,\n"
           "razlog; zadnja vrstica (brez tabulatorja) so kontrolni seštevki prenosa: zapisi\n"
           "prebrani, uporabljeni in zavrnjeni, računi in postavke, količina, vrednost, DDV in\n"
           "za plačilo ter, kadar ima datoteka cene, vrednost po datoteki (količina × cena) in\n"
           "razlika do vrednosti postavk.\n"
           "\n"
           "Izhodno stanje: 0 noben zapis ni bil napačen; 1 napake so zapisane (dobri zapisi so\n"
           "preneseni); 2 prenos se je končal s sporočilom ali izjemo (besedilo na standardnem\n"
           "izhodu za napake), datoteka je že bila prenesena brez --force, poročila ni mogoče\n"
           "zapisati, ali napačna uporaba.\n";
}

// A whole number above 0 written in decimal digits only, else nullopt.
std::optional<int64_t> PositiveNumber(const std::string& text) {
    int64_t n = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || n <= 0 || text[0] == '+') {
        return std::nullopt;
    }
    return n;
}

std::string Utf8(const QString& s) {
    return s.toStdString();
}

// "postgresql" / "sqlite" (any case), as --kind takes them; false for anything else.
bool SourceKindFromText(const std::string& text, TSourceKind& kind) {
    const std::string upper = AsciiUpper(text);
    if (upper == "POSTGRESQL") {
        kind = TSourceKind::PostgreSQL;
    } else if (upper == "SQLITE") {
        kind = TSourceKind::SQLite;
    } else {
        return false;
    }
    return true;
}

} // namespace

TCommandMode CommandMode(int argc, char** argv) {
    std::optional<TCommandMode> single;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        const TOptionDef* o = OptionOf(arg);
        if (!o) {
            continue;
        }
        if (o->IsMode) {
            return ModeOf(o->Owner);
        }
        if (!single && o->Owner != TOwner::Common && o->Also == TOwner::Common) {
            single = ModeOf(o->Owner);
        }
        if (o->TakesValue && arg.find('=') == std::string_view::npos) {
            ++i; // its value, whatever it looks like
        }
    }
    return single.value_or(TCommandMode::Window);
}

std::optional<std::string> IssueDateText(const std::string& text) {
    TDateTime date = 0;
    const bool iso = text.size() == 10 && text[4] == '-' && text[7] == '-';
    if (iso ? !TryIsoToDateTime(text, date) : !TryStrToDate(text, date)) {
        return std::nullopt;
    }
    // A two-digit year would be read back within a window around this year; four digits
    // are the date as given.
    std::string pattern = FormatSettings().ShortDateFormat;
    if (pattern.find("yyyy") == std::string::npos) {
        if (size_t y = pattern.find("yy"); y != std::string::npos) {
            pattern.replace(y, 2, "yyyy");
        }
    }
    return FormatDateTime(pattern, std::trunc(date));
}

TCommandLine ParseCommandLine(int argc, char** argv) {
    TCommandLine cl;
    cl.Mode = CommandMode(argc, argv);
    QStringList args;
    for (int i = 0; i < argc; ++i) {
        args << QString::fromLocal8Bit(argv[i]);
        // A mode's help is asked for as "--transfer --help" or "--formula --help", where
        // the parser would take --help as the formula.
        if (i > 0 && IsHelp(argv[i])) {
            cl.Help = true;
        }
    }
    if (cl.Help) {
        return cl;
    }

    QCommandLineParser p;
    // "-date" is read as "--date", not as "-d -a -t -e".
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const TOptionDef& o : kOptions) {
        QCommandLineOption option(QString::fromLatin1(o.Name));
        if (o.TakesValue) {
            option.setValueName("value");
        }
        p.addOption(option);
    }
    auto fail = [&cl](const std::string& message) { throw ECommandLine(cl.Mode, message); };
    if (std::optional<std::string> error = OptionErrorAsQtReadsThem(argc, argv)) {
        fail(*error);
    }
    if (!p.parse(args)) {
        // Not reached after the checks above; should Qt find more, its text is the cause.
        fail("napačna uporaba\nVzrok: " + Utf8(p.errorText()));
    }
    if (!p.positionalArguments().isEmpty()) {
        fail("odvečen argument " + Quoted(Utf8(p.positionalArguments().first())));
    }
    if (p.isSet("version")) {
        cl.Version = true;
        return cl;
    }

    int modes = 0;
    for (const TOptionDef& o : kOptions) {
        modes += o.IsMode && p.isSet(o.Name);
    }
    if (modes > 1) {
        fail("podan je lahko le eden od načinov --formula, --set-login, --transfer, --history, "
             "--undo, --add-dsn in --demo");
    }
    if (modes == 0 && cl.Mode != TCommandMode::Window) {
        fail(std::string("manjka ") + ModeOption(cl.Mode));
    }
    for (const TOptionDef& o : kOptions) {
        if (!p.isSet(o.Name) || o.Owner == TOwner::Common) {
            continue;
        }
        if (ModeOf(o.Owner) != cl.Mode && (o.Also == TOwner::Common || ModeOf(o.Also) != cl.Mode) &&
            (o.Also2 == TOwner::Common || ModeOf(o.Also2) != cl.Mode)) {
            fail(std::string("--") + o.Name + " ne sodi k " + ModeOption(cl.Mode));
        }
        if (o.TakesValue && std::string_view(o.Name) != "var" && p.values(o.Name).size() > 1) {
            fail(std::string("--") + o.Name + " je podan večkrat");
        }
    }
    auto value = [&p](const char* name) { return Utf8(p.value(QString::fromLatin1(name))); };
    auto given = [&p, &value](const char* name) -> std::optional<std::string> {
        return p.isSet(name) ? std::optional(value(name)) : std::nullopt;
    };

    switch (cl.Mode) {
    case TCommandMode::Window:
        break;
    case TCommandMode::Formula:
        cl.Formula = value("formula");
        for (const QString& v : p.values("var")) {
            cl.Vars.push_back(Utf8(v));
        }
        cl.PriceClass = given("price-class");
        break;
    case TCommandMode::SetLogin:
        cl.LoginUser = value("set-login");
        if (cl.LoginUser.empty()) {
            fail("--set-login potrebuje uporabniško ime");
        }
        break;
    case TCommandMode::Transfer: {
        TTransferArgs& t = cl.Transfer;
        if (!p.isSet("date")) {
            fail("manjka --date");
        }
        std::optional<std::string> date = IssueDateText(value("date"));
        if (!date) {
            fail("--date: " + Quoted(value("date")) + " ni veljaven datum (LLLL-MM-DD ali " +
                 IssueDateText("2026-12-20").value_or("") + ")");
        }
        t.Date = *date;
        t.Event = given("event");
        t.Clerk = given("clerk");
        t.DataSource = given("dsn");
        t.File = given("file");
        t.Report = value("report");
        if (p.isSet("report") && t.Report.empty()) {
            fail("--report potrebuje ime datoteke");
        }
        t.Check = p.isSet("check");
        t.Force = p.isSet("force");
        t.Resume = p.isSet("resume");
        if (t.Resume && t.Force) {
            fail("--resume ne sodi k --force");
        }
        break;
    }
    case TCommandMode::History: {
        THistoryArgs& h = cl.History;
        h.DataSource = given("dsn");
        h.Csv = p.isSet("csv");
        if (p.isSet("limit")) {
            std::optional<int64_t> n = PositiveNumber(value("limit"));
            if (!n || *n > 1000000) {
                fail("--limit: " + Quoted(value("limit")) + " ni število prenosov");
            }
            h.Limit = static_cast<int>(*n);
        }
        break;
    }
    case TCommandMode::Undo: {
        std::optional<int64_t> run = PositiveNumber(value("undo"));
        if (!run) {
            fail("--undo: " + Quoted(value("undo")) + " ni številka prenosa (glej --history)");
        }
        cl.Undo.Run = *run;
        cl.Undo.Check = p.isSet("check");
        cl.Undo.DataSource = given("dsn");
        break;
    }
    case TCommandMode::AddDsn: {
        TNewDataSource& wanted = cl.AddDsn.Source;
        wanted.Name = value("add-dsn");
        if (!p.isSet("kind")) {
            fail("manjka --kind (postgresql ali sqlite)");
        }
        if (!SourceKindFromText(value("kind"), wanted.Kind)) {
            fail("--kind: " + Quoted(value("kind")) + " ni postgresql ali sqlite");
        }
        if (!p.isSet("database")) {
            fail("manjka --database");
        }
        wanted.Database = value("database");
        if (wanted.Kind == TSourceKind::SQLite) {
            for (const char* option : {"server", "port"}) {
                if (p.isSet(option)) {
                    fail(std::string("--") + option + " ne sodi k --kind sqlite");
                }
            }
        } else {
            if (!p.isSet("server")) {
                fail("manjka --server");
            }
            wanted.Server = value("server");
            if (p.isSet("port")) {
                std::optional<int64_t> port = PositiveNumber(value("port"));
                if (!port || *port > 65535) {
                    fail("--port: " + Quoted(value("port")) + " ni številka vrat (1 do 65535)");
                }
                wanted.Port = static_cast<int>(*port);
            }
        }
        cl.AddDsn.Force = p.isSet("force");
        break;
    }
    case TCommandMode::Demo:
        break;
    }
    return cl;
}

std::string CommandUsage(TCommandMode mode) {
    switch (mode) {
    case TCommandMode::Formula:
        return FormulaUsage();
    case TCommandMode::SetLogin:
        return kSetLoginUsage;
    case TCommandMode::Transfer:
        return kTransferUsage;
    case TCommandMode::History:
        return kHistoryUsage;
    case TCommandMode::Undo:
        return kUndoUsage;
    case TCommandMode::AddDsn:
        return kAddDsnUsage;
    case TCommandMode::Demo:
        return kDemoUsage;
    case TCommandMode::Window:
        break;
    }
    return "Uporaba: zendrato                    (okno)\n"
           "         zendrato --transfer --date DATUM [možnosti]\n"
           "         zendrato --formula FORMULA [--var IME=VREDNOST]... [--price-class R]\n"
           "         zendrato --set-login UPORABNIK\n"
           "         zendrato --history [--dsn VIR] [--limit N] [--csv]\n"
           "         zendrato --undo PRENOS [--dsn VIR] [--check]\n"
           "         zendrato --add-dsn IME --kind postgresql|sqlite [možnosti]\n"
           "         zendrato --demo\n"
           "         zendrato [NAČIN] --help | --version\n";
}

std::string CommandHelp(TCommandMode mode) {
    switch (mode) {
    case TCommandMode::Formula:
        return FormulaHelp();
    case TCommandMode::SetLogin:
        return SetLoginHelp();
    case TCommandMode::Transfer:
        return TransferHelp();
    case TCommandMode::History:
        return HistoryHelp();
    case TCommandMode::Undo:
        return UndoHelp();
    case TCommandMode::AddDsn:
        return AddDsnHelp();
    case TCommandMode::Demo:
        return DemoHelp();
    case TCommandMode::Window:
        break;
    }
    return CommandUsage(mode) +
           "\n"
           "Brez argumentov Zendrato odpre svoje okno, ki potrebuje zaslon. Drugi načini ga ne\n"
           "potrebujejo; vsak ima svoj --help. --version izpiše različico programa.\n"
           "\n"
           "Izhodno stanje okna: 0 po zaprtju okna; 2 napačna uporaba, ni zaslona ali okna ni\n"
           "mogoče odpreti.\n"
           "\n" +
           TransferHelp() + "\n" + HistoryHelp() + "\n" + UndoHelp() + "\n" + FormulaHelp() + "\n" +
           SetLoginHelp() + "\n" + AddDsnHelp() + "\n" + DemoHelp();
}

std::string VersionText() {
    return std::string("Zendrato, različica ") + ZENDRATO_VERSION + "\n";
}

std::optional<TCommandLine> ParseCommandLineOrExplain(int argc, char** argv, std::ostream& err) {
    try {
        return ParseCommandLine(argc, argv);
    } catch (const ECommandLine& e) {
        err << "zendrato: " << e.Message() << "\n" << CommandUsage(e.Mode());
        return std::nullopt;
    }
}

} // namespace zen
