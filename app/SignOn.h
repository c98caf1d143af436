#pragma once
// Signing on to the Tevrin database: the SQL login kept in the registry under
// "SOFTWARE\Orvanel\SQL", the unscrambling of its password, and the order in which a
// transfer run reconfigures and opens the connection.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

namespace zen {

class THdbc;
class EODBC;

// The three scrambling constants of an installation: the start key, the multiplier and
// the increment with which the stored password was scrambled. They are read from the
// registry stand-in, root HKEY_LOCAL_MACHINE, key "SOFTWARE\Zendrato\Install", string values
// "DecryptKey", "DecryptMul" and "DecryptAdd", each a decimal number from 0 to 65535. A
// missing or unreadable value takes its default:
//     DecryptKey = 47213, DecryptMul = 29867, DecryptAdd = 13849.
struct TScrambleKeys {
    uint16_t key = 47213;
    uint16_t mul = 29867;
    uint16_t add = 13849;
};
inline constexpr const char* kScrambleKeyPath = "SOFTWARE\\Zendrato\\Install";
inline constexpr const char* kLoginKeyPath = "SOFTWARE\\Orvanel\\SQL";

// The installation's constants (defaults where the registry has none).
TScrambleKeys ScrambleKeys();
inline uint16_t DecryptKey() {
    return ScrambleKeys().key;
}

// Reads the login; true when both values were read and the password unscrambled. The
// outputs hold whatever was assigned before a failure.
bool ReadSqlLogin(std::string& userName, std::string& password);
// The named value of a key below HKEY_LOCAL_MACHINE (keys created when missing), or the
// default when the value is missing or anything fails.
std::string ReadRegString(const std::string& key, const std::string& name,
                          const std::string& defaultValue);

// Hexadecimal digit pairs to bytes, then Decrypt. EConvertError for a non-hex character.
std::string DecryptHex(const std::string& hex, uint16_t startKey);
// Unscrambles with the installation's multiplier and increment; texts of any length.
// Exceptions go to the exception log ("Decrypt"); the part produced so far is returned.
std::string Decrypt(const std::string& scrambled, uint16_t startKey);
// The same with explicit constants, and its inverse.
std::string Decrypt(const std::string& scrambled, uint16_t startKey, const TScrambleKeys& keys);
std::string Encrypt(const std::string& plain, uint16_t startKey, const TScrambleKeys& keys);
// Encrypt with the installation's constants, as upper-case hexadecimal digit pairs.
std::string EncryptHex(const std::string& plain);

// A login typed by the operator; Store when it should be kept as --set-login keeps it.
struct TLoginAnswer {
    std::string UserName;
    std::string Password;
    bool Store = false;
};
// Asks for a login for the data source, given the user name tried and the database's
// refusal (both empty when no login is stored: nothing the operator gave was refused);
// nullopt when the operator cancels.
using TLoginPrompt = std::function<std::optional<TLoginAnswer>(
    const std::string& dataSource, const std::string& userName, const std::string& refusal)>;

// Whether the database refused the login (SQLSTATE 28000 or 28P01).
bool LoginRefused(const EODBC& e);

// A transfer run's sign-on: the registry login, then the connection closed, given the data
// source, user name and password, and opened. A data source that does not exist (or whose
// name is too long for the driver manager) is refused before signing on (EDatabaseError),
// its text saying in Slovene which source and which sources exist. A login the database
// refuses is asked for with `ask`, again until it is taken or the operator cancels
// (EAbort, which ends the run quietly); the answer is stored, when asked to, once the
// database took it. Without `ask` the refusal ends the run (EODBC), saying in Slovene how to
// store a login; a driver that needs none (SQLite) never refuses.
void SignOnAsking(THdbc& database, const std::string& dataSource, const TLoginPrompt& ask);
// The sign-on that never asks (the batch mode).
void SignOn(THdbc& database, const std::string& dataSource);

// Stores a login: "UserName" and the scrambled "Password" under "SOFTWARE\Orvanel\SQL".
void StoreSqlLogin(const std::string& userName, const std::string& password);

// `zendrato --set-login USER`: reads the password from `in` (without echo when it is a
// terminal, given back also when a signal ends the program) and stores the login. Returns
// the process exit code: 0 when stored, 1 when the registry file cannot be written, 2 on a
// usage error, an empty or unreadable password (the stored login stays as it was) or when
// the home directory cannot be created (one line on `err`).
// The command line is read by the program's one parser (CommandLine.h).
bool IsSetLoginCommand(int argc, char** argv);
int RunSetLogin(int argc, char** argv, std::istream& in, std::ostream& err);
int RunSetLogin(const std::string& userName, std::istream& in, std::ostream& err);

} // namespace zen
