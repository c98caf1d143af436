#include "app/DataSourceSetup.h"

#include "app/SignOn.h"
#include "odbc/Hdbc.h"
#include "odbc/Henv.h"
#include "odbc/OCLError.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Text.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <odbcinst.h>
#include <ostream>

namespace zen {

namespace {

// The installer's configuration mode for as long as it lives: user data sources only, so
// that nothing under /etc is ever written.
class TUserDsnMode {
public:
    TUserDsnMode() { SQLSetConfigMode(ODBC_USER_DSN); }
    ~TUserDsnMode() { SQLSetConfigMode(ODBC_BOTH_DSN); }
    TUserDsnMode(const TUserDsnMode&) = delete;
    TUserDsnMode& operator=(const TUserDsnMode&) = delete;
};

// The installer's own words of its last failure.
std::string InstallerError() {
    std::string text;
    for (WORD i = 1; i <= 8; ++i) {
        DWORD code = 0;
        std::array<char, SQL_MAX_MESSAGE_LENGTH> message{};
        WORD length = 0;
        const RETCODE rc =
            SQLInstallerError(i, &code, message.data(), static_cast<WORD>(message.size()), &length);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
            break;
        }
        text += (text.empty() ? "" : "; ") + std::string(message.data());
    }
    return text.empty() ? "brez pojasnila" : text;
}

bool HasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

std::string Quoted(const std::string& text) {
    return "»" + PrintableText(text) + "«";
}

bool IsSqliteFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::array<char, 16> head{};
    return in.read(head.data(), head.size()) &&
           std::string(head.data(), head.size()) == std::string("SQLite format 3\0", 16);
}

// The first words the driver gave, as it gave them.
std::string DriverText(const EODBC& e) {
    return e.Records().empty() ? e.Message() : e.Records().front().message;
}

bool Says(const EODBC& e, std::string_view a, std::string_view b) {
    return std::any_of(e.Records().begin(), e.Records().end(), [&](const TErrorRec& r) {
        return r.message.find(a) != std::string::npos && r.message.find(b) != std::string::npos;
    });
}

bool ConnectionClass(const EODBC& e) {
    return std::any_of(e.Records().begin(), e.Records().end(),
                       [](const TErrorRec& r) { return r.sqlState.rfind("08", 0) == 0; });
}

} // namespace

std::vector<std::pair<std::string, std::string>> DataSourceKeys(const TNewDataSource& wanted) {
    if (wanted.Kind == TSourceKind::SQLite) {
        return {
            {"Driver", kSqliteDriver},
            {"Description", "Baza Tevrin (SQLite)"},
            {"Database", std::filesystem::absolute(wanted.Database).lexically_normal().string()},
            {"Timeout", "2000"},
            {"StepAPI", "1"},
            {"NoCreat", "1"}};
    }
    return {{"Driver", kPostgresDriver},   {"Description", "Baza Tevrin (PostgreSQL)"},
            {"Servername", wanted.Server}, {"Port", std::to_string(wanted.Port)},
            {"Database", wanted.Database}, {"UseDeclareFetch", "1"},
            {"UpdatableCursors", "1"}};
}

std::string NewDataSourceProblem(const TNewDataSource& wanted) {
    if (wanted.Name.empty()) {
        return "Ime vira podatkov ni podano.";
    }
    if (wanted.Name.size() > SQL_MAX_DSN_LENGTH) {
        return "Ime vira podatkov " + Quoted(wanted.Name) + " je predolgo (največ " +
               std::to_string(SQL_MAX_DSN_LENGTH) + " znakov, šumnik šteje za dva).";
    }
    // The driver manager's own rule, and a blank at either end, which its file loses.
    if (HasControlCharacter(wanted.Name) || !SQLValidDSN(wanted.Name.c_str()) ||
        wanted.Name.front() == ' ' || wanted.Name.back() == ' ') {
        return "Ime vira podatkov " + Quoted(wanted.Name) +
               " ni dovoljeno: ne sme vsebovati znakov []{}(),;?*=!@\\ ne presledka na začetku ali "
               "koncu.";
    }
    for (const std::string* value : {&wanted.Server, &wanted.Database}) {
        if (HasControlCharacter(*value) ||
            (!value->empty() && (value->front() == ' ' || value->back() == ' '))) {
            return "Vrednost " + Quoted(*value) +
                   " ni dovoljena: ne sme vsebovati kontrolnih znakov ne presledka na začetku ali "
                   "koncu.";
        }
    }
    if (wanted.Database.empty()) {
        return wanted.Kind == TSourceKind::SQLite ? "Datoteka baze ni podana."
                                                  : "Ime baze ni podano.";
    }
    if (wanted.Kind == TSourceKind::SQLite) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(wanted.Database, ec)) {
            return "Datoteka " + Quoted(wanted.Database) + " ne obstaja.";
        }
        if (!IsSqliteFile(wanted.Database)) {
            return "Datoteka " + Quoted(wanted.Database) + " ni baza SQLite.";
        }
        return {};
    }
    if (wanted.Server.empty()) {
        return "Strežnik ni podan.";
    }
    if (wanted.Port < 1 || wanted.Port > 65535) {
        return "Vrata " + std::to_string(wanted.Port) + " niso med 1 in 65535.";
    }
    return {};
}

bool DataSourceExists(const std::string& name) {
    for (const std::string& known : THenv::Instance().DataSources()) {
        if (AsciiUpper(known) == AsciiUpper(name)) {
            return true;
        }
    }
    return false;
}

void WriteUserDataSource(const TNewDataSource& wanted) {
    if (std::string problem = NewDataSourceProblem(wanted); !problem.empty()) {
        throw EDatabaseError(problem);
    }
    const auto keys = DataSourceKeys(wanted);
    TUserDsnMode userMode;
    auto refused = [&wanted] {
        return EDatabaseError(
            "Vira podatkov " + Quoted(wanted.Name) +
            " ni mogoče zapisati med uporabnikove vire podatkov.\nVzrok: " + InstallerError());
    };
    // Writing the driver makes the section anew, so no key of an earlier one stays.
    if (!SQLWriteDSNToIni(wanted.Name.c_str(), keys.front().second.c_str())) {
        throw refused();
    }
    for (auto it = keys.begin() + 1; it != keys.end(); ++it) {
        if (!SQLWritePrivateProfileString(wanted.Name.c_str(), it->first.c_str(),
                                          it->second.c_str(), "odbc.ini")) {
            throw refused();
        }
    }
}

std::string TryDataSource(const TNewDataSource& wanted, const TSignOnProc& signOn) {
    THdbc database;
    try {
        signOn(database, wanted.Name);
        database.SetConnected(false);
        return {};
    } catch (const EAbort&) {
        throw;
    } catch (const EODBC& e) {
        if (LoginRefused(e)) {
            return e.Message(); // the sign-on's own Slovene, with how to store a login
        }
        std::string reason = "Povezava ne deluje.";
        if (wanted.Kind == TSourceKind::PostgreSQL && Says(e, "database \"", "does not exist")) {
            reason = "Povezava ne deluje: baze " + Quoted(wanted.Database) + " na strežniku " +
                     Quoted(wanted.Server) + " ni.";
        } else if (wanted.Kind == TSourceKind::PostgreSQL && ConnectionClass(e)) {
            reason = "Povezava ne deluje: strežnik " +
                     Quoted(wanted.Server + ":" + std::to_string(wanted.Port)) +
                     " ni dosegljiv ali ne sprejema povezav. Preverite ime strežnika in vrata.";
        }
        return reason + "\nVzrok: " + DriverText(e);
    } catch (const std::exception& e) {
        return std::string("Povezava ne deluje.\nVzrok: ") + e.what();
    }
}

int RunAddDsn(const TNewDataSource& wanted, bool force, std::ostream& out, std::ostream& err) {
    try {
        if (std::string problem = NewDataSourceProblem(wanted); !problem.empty()) {
            err << "zendrato: " << problem << "\n";
            return 2;
        }
        if (!force && DataSourceExists(wanted.Name)) {
            err << "zendrato: Vir podatkov " << Quoted(wanted.Name)
                << " že obstaja; z --force ga zamenjate.\n";
            return 2;
        }
        WriteUserDataSource(wanted);
        out << "Vir podatkov " << Quoted(wanted.Name) << " je zapisan.\n" << std::flush;
        if (std::string problem = TryDataSource(wanted, SignOn); !problem.empty()) {
            err << "zendrato: " << problem << "\n";
            return 1;
        }
        out << kConnectionWorks << "\n";
        return 0;
    } catch (const std::exception& e) {
        err << "zendrato: " << e.what() << "\n";
        return 2;
    }
}

} // namespace zen
