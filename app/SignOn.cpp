#include "app/SignOn.h"

#include "app/CommandLine.h"
#include "app/Registry.h"
#include "dbutil/ExceptionLog.h"
#include "odbc/Hdbc.h"
#include "odbc/Henv.h"
#include "toolkit/Component.h"
#include "toolkit/Home.h"
#include "toolkit/Text.h"

#include <algorithm>
#include <charconv>
#include <csignal>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string_view>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace zen {

namespace {

// A constant of the installation: decimal, 0 to 65535; anything else keeps the default.
void ReadConstant(TRegistry& r, const char* name, uint16_t& value) {
    if (!r.ValueExists(name)) {
        return;
    }
    std::string text = r.ReadString(name);
    unsigned v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec == std::errc() && end == text.data() + text.size() && !text.empty() && v <= 0xFFFF) {
        value = static_cast<uint16_t>(v);
    }
}

// The terminal as it was before echo went off, for the signal handler: a signal that ends
// the program at the prompt must not leave the operator's terminal without echo.
termios g_echoSaved{};
volatile sig_atomic_t g_echoOff = 0;
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RestoreEchoAndEnd(int sig) {
    if (g_echoOff) {
        tcsetattr(STDIN_FILENO, TCSANOW, &g_echoSaved);
        g_echoOff = 0;
        const char newline = '\n'; // the shell's prompt on a line of its own
        (void)!write(STDERR_FILENO, &newline, 1);
    }
    // Ends the process as the signal would have, so that its parent sees the signal.
    signal(sig, SIG_DFL);
    raise(sig);
}

// Turns terminal echo off for its lifetime when standard input is a terminal, and gives it
// back on every way out: return, exception, or a signal that ends the program.
class NoEcho {
public:
    NoEcho() {
        if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &g_echoSaved) != 0) {
            return;
        }
        struct sigaction action {};
        action.sa_handler = RestoreEchoAndEnd;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
            sigaction(kEndingSignals[i], &action, &previous_[i]);
        }
        termios quiet = g_echoSaved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        g_echoOff = 1;
        active_ = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        if (!active_) {
            Restore();
        }
    }
    ~NoEcho() { Restore(); }
    bool Active() const { return active_; }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;

private:
    void Restore() {
        if (g_echoOff) {
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_echoSaved);
            g_echoOff = 0;
        }
        for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
            sigaction(kEndingSignals[i], &previous_[i], nullptr);
        }
    }
    struct sigaction previous_[std::size(kEndingSignals)]{};
    bool active_ = false;
};

} // namespace

TScrambleKeys ScrambleKeys() {
    TScrambleKeys keys;
    try {
        // A registry object of its own: the process's one keeps its open key.
        TRegistry r;
        r.SetRootKey(TRootKey::LocalMachine);
        if (r.OpenKey(kScrambleKeyPath, false)) {
            ReadConstant(r, "DecryptKey", keys.key);
            ReadConstant(r, "DecryptMul", keys.mul);
            ReadConstant(r, "DecryptAdd", keys.add);
        }
    } catch (const std::exception&) {
        // An unreadable registry leaves the defaults.
    }
    return keys;
}

std::string ReadRegString(const std::string& key, const std::string& name,
                          const std::string& defaultValue) {
    try {
        TRegistry& r = Registry();
        r.CloseKey();
        if (!r.OpenKey(key, true)) {
            return defaultValue;
        }
        return r.ValueExists(name) ? r.ReadString(name) : defaultValue;
    } catch (const std::exception&) {
        return defaultValue;
    }
}

bool ReadSqlLogin(std::string& userName, std::string& password) {
    userName.clear();
    password.clear();
    try {
        TRegistry& r = Registry();
        r.SetRootKey(TRootKey::LocalMachine);
        // From the root: a key left open by an earlier read would otherwise make "SOFTWARE"
        // a key below it.
        r.CloseKey();
        r.OpenKey("SOFTWARE", true);
        if (!r.OpenKey("Orvanel", false) && !r.OpenKey("Orvanel", true)) {
            return false;
        }
        if (!r.OpenKey("SQL", false) && !r.OpenKey("SQL", true)) {
            return false;
        }
        userName = ReadRegString(kLoginKeyPath, "UserName", "sa");
        std::string stored = ReadRegString(kLoginKeyPath, "Password", "");
        password = DecryptHex(stored, DecryptKey());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string DecryptHex(const std::string& hex, uint16_t startKey) {
    // Half the length, a half rounded to the even count: of 2k+1 digits, k pairs are read
    // when k is even, and k pairs plus the single last digit when k is odd.
    size_t k = hex.size() / 2;
    size_t n = hex.size() % 2 == 0 || k % 2 == 0 ? k : k + 1;
    std::string bytes;
    bytes.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        std::string digits = hex.substr(2 * i, 2);
        const char* end = digits.data() + digits.size();
        unsigned value = 0;
        // Every character must be a digit: from_chars stops at the first that is not.
        if (std::from_chars(digits.data(), end, value, 16).ptr != end) {
            throw EConvertError("'" + digits + "' is not a valid hexadecimal number");
        }
        bytes += static_cast<char>(value);
    }
    return Decrypt(bytes, startKey);
}

namespace {
// Appends to `out` byte by byte, so that a failure part-way leaves what was produced.
void DecryptInto(const std::string& scrambled, uint16_t k, const TScrambleKeys& keys,
                 std::string& out) {
    out.reserve(out.size() + scrambled.size());
    for (char ch : scrambled) {
        auto c = static_cast<unsigned char>(ch);
        out += static_cast<char>(c ^ (k >> 8));
        // Advanced with the scrambled byte, so the same key sequence serves both ways.
        k = static_cast<uint16_t>((static_cast<uint32_t>(c) + k) * keys.mul + keys.add);
    }
}
} // namespace

std::string Decrypt(const std::string& scrambled, uint16_t startKey, const TScrambleKeys& keys) {
    std::string out;
    DecryptInto(scrambled, startKey, keys, out);
    return out;
}

std::string Decrypt(const std::string& scrambled, uint16_t startKey) {
    std::string out;
    try {
        DecryptInto(scrambled, startKey, ScrambleKeys(), out);
    } catch (const std::exception& e) {
        LogException(e, &Application(), "Decrypt");
    }
    return out;
}

std::string Encrypt(const std::string& plain, uint16_t startKey, const TScrambleKeys& keys) {
    std::string out;
    out.reserve(plain.size());
    uint16_t k = startKey;
    for (char ch : plain) {
        auto c = static_cast<unsigned char>(static_cast<unsigned char>(ch) ^ (k >> 8));
        out += static_cast<char>(c);
        k = static_cast<uint16_t>((static_cast<uint32_t>(c) + k) * keys.mul + keys.add);
    }
    return out;
}

std::string EncryptHex(const std::string& plain) {
    static const char hex[] = "0123456789ABCDEF";
    TScrambleKeys keys = ScrambleKeys();
    std::string out;
    for (char ch : Encrypt(plain, keys.key, keys)) {
        auto c = static_cast<unsigned char>(ch);
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

namespace {

// Why a data source cannot be signed on to, in Slovene, with the names there are; empty when
// nothing tells against it. `known` is the driver manager's list when it could be read;
// without it only the driver manager's refusal (IM002) says that the name is missing.
std::string DataSourceProblem(const std::string& dataSource,
                              const std::optional<std::vector<std::string>>& known,
                              bool refusedAsMissing) {
    const bool tooLong = dataSource.size() > SQL_MAX_DSN_LENGTH;
    bool missing = refusedAsMissing;
    if (known) {
        // Looked up as the driver manager does, without regard to case.
        missing = std::none_of(known->begin(), known->end(), [&](const std::string& n) {
            return AsciiUpper(n) == AsciiUpper(dataSource);
        });
    }
    if (!tooLong && !missing) {
        return {};
    }
    std::string text;
    if (dataSource.empty()) {
        text = "Vir podatkov ni podan.";
    } else if (tooLong) {
        text = "Vir podatkov »" + dataSource + "« ni uporaben: ime je predolgo (največ " +
               std::to_string(SQL_MAX_DSN_LENGTH) + " znakov, šumnik šteje za dva).";
    } else {
        text = "Vir podatkov »" + dataSource + "« ne obstaja.";
    }
    if (known && known->empty()) {
        text += " Virov podatkov ni.";
    } else if (known) {
        std::string list;
        for (const std::string& n : *known) {
            list += (list.empty() ? "" : ", ") + n;
        }
        text += " Obstoječi viri: " + list + ".";
    }
    return text;
}

std::optional<std::vector<std::string>> KnownDataSources() {
    try {
        return THenv::Instance().DataSources();
    } catch (const std::exception&) {
        return std::nullopt; // only the driver manager's refusal will tell
    }
}

} // namespace

bool LoginRefused(const EODBC& e) {
    // psqlODBC reports every connect that failed as 08001; there only the server's (or its
    // client library's) words tell a refused login from a server out of reach. Neither has
    // a Slovene translation, so the English words are what an operator's machine gets.
    auto says = [](const std::string& text, std::string_view words) {
        return text.find(words) != std::string::npos;
    };
    return std::any_of(e.Records().begin(), e.Records().end(), [&](const TErrorRec& r) {
        if (r.sqlState == "28000" || r.sqlState == "28P01") {
            return true;
        }
        const std::string& m = r.message;
        return r.sqlState == "08001" &&
               (says(m, "authentication failed") || says(m, "no password supplied") ||
                (says(m, "role \"") && says(m, "\" does not exist")));
    });
}

void SignOnAsking(THdbc& database, const std::string& dataSource, const TLoginPrompt& ask) {
    std::string userName, password;
    ReadSqlLogin(userName, password); // on failure the outputs still hold what was read
    // Without a stored user the login tried is the stand-in "sa", which the operator never gave.
    const bool stored = !ReadRegString(kLoginKeyPath, "UserName", "").empty();
    database.SetConnected(false);
    database.SetDataSource(dataSource);
    database.SetUserName(userName);
    database.SetPassword(password);
    // A name that is no data source is refused before the login goes anywhere.
    const std::optional<std::vector<std::string>> known = KnownDataSources();
    if (std::string problem = DataSourceProblem(dataSource, known, false); !problem.empty()) {
        throw EDatabaseError(problem);
    }
    bool storeAfterSignOn = false; // a login is kept only once the database took it
    bool asked = false;
    for (;;) {
        try {
            database.SetConnected(true);
            if (storeAfterSignOn) {
                StoreSqlLogin(database.UserName(), database.Password());
            }
            return;
        } catch (EODBC& e) {
            if (LoginRefused(e) && ask) {
                // Without a stored login the stand-in tried is none the operator gave: asked
                // as for a first login, with no user filled in and no refusal told.
                const bool first = !stored && !storeAfterSignOn && !asked;
                asked = true;
                std::optional<TLoginAnswer> answer =
                    ask(dataSource, first ? std::string() : database.UserName(),
                        first ? std::string() : e.Message());
                if (!answer) {
                    throw EAbort("Prijava v bazo Tevrin je preklicana.");
                }
                database.SetUserName(answer->UserName);
                database.SetPassword(answer->Password);
                storeAfterSignOn = answer->Store;
                continue;
            }
            if (LoginRefused(e)) {
                e.SetMessage(
                    "Baza Tevrin ni sprejela prijave uporabnika »" + database.UserName() +
                    "«. Prijavo shranite z ukazom: zendrato --set-login UPORABNIK\nVzrok: " +
                    e.Message());
                throw;
            }
            // The list could not be read, or changed meanwhile: the driver manager's English
            // refusal is told in Slovene, its own text the cause.
            const bool im002 =
                std::any_of(e.Records().begin(), e.Records().end(),
                            [](const TErrorRec& r) { return r.sqlState == "IM002"; });
            if (std::string problem = DataSourceProblem(dataSource, std::nullopt, im002);
                !problem.empty()) {
                e.SetMessage(problem + "\nVzrok: " + e.Message());
            }
            throw;
        }
    }
}

void SignOn(THdbc& database, const std::string& dataSource) {
    SignOnAsking(database, dataSource, {});
}

void StoreSqlLogin(const std::string& userName, const std::string& password) {
    TRegistry r;
    r.SetRootKey(TRootKey::LocalMachine);
    // One change of the file: a process killed meanwhile leaves the old login or the new
    // one, never the new user with the old password.
    r.WriteValues(kLoginKeyPath, {{"UserName", userName}, {"Password", EncryptHex(password)}});
}

bool IsSetLoginCommand(int argc, char** argv) {
    return CommandMode(argc, argv) == TCommandMode::SetLogin;
}

int RunSetLogin(int argc, char** argv, std::istream& in, std::ostream& err) {
    std::optional<TCommandLine> cl = ParseCommandLineOrExplain(argc, argv, err);
    if (!cl) {
        return 2;
    }
    if (cl->Mode != TCommandMode::SetLogin) {
        err << CommandUsage(TCommandMode::SetLogin);
        return 2;
    }
    if (cl->Help) {
        err << CommandHelp(TCommandMode::SetLogin);
        return 0;
    }
    return RunSetLogin(cl->LoginUser, in, err);
}

int RunSetLogin(const std::string& userName, std::istream& in, std::ostream& err) {
    // Before the password is asked for: without a home there is nowhere to keep it.
    try {
        ZendratoHome();
    } catch (const std::exception& e) {
        err << "zendrato: " << e.what() << "\n";
        return 2;
    }
    std::string password;
    bool gotLine = false;
    {
        std::unique_ptr<NoEcho> noEcho;
        if (&in == &std::cin) {
            noEcho = std::make_unique<NoEcho>();
            if (noEcho->Active()) {
                err << "Geslo za " << userName << ": " << std::flush;
            }
        }
        gotLine = static_cast<bool>(std::getline(in, password));
        if (noEcho && noEcho->Active()) {
            err << "\n";
        }
    }
    if (!password.empty() && password.back() == '\r') {
        password.pop_back();
    }
    // An empty or closed input is no password: storing an empty one would only make the
    // next transfer fail at the server, long after this said it was done.
    if (!gotLine || password.empty()) {
        err << (gotLine ? "Geslo je prazno" : "Gesla ni mogoče prebrati s standardnega vhoda")
            << "; prijava za " << userName << " ni shranjena.\n";
        return 2;
    }
    try {
        StoreSqlLogin(userName, password);
    } catch (const std::exception& e) {
        err << "zendrato: " << e.what() << "\n";
        return 1;
    }
    err << "Prijava za " << userName << " je shranjena.\n";
    return 0;
}

} // namespace zen
