#pragma once
// Where Zendrato keeps its files: ZENDRATO_HOME when set, otherwise
// $XDG_DATA_HOME/zendrato (~/.local/share/zendrato, the user's home taken from the system's
// user database when HOME is not set). It stands in for the Windows directory (the settings
// file), the registry root, the "TevrinTemp" alias and drive C:. The rules its files and
// folders are used by are in HomeFile.h.

#include <filesystem>
#include <string>

namespace zen {

// The home directory, created when missing with mode 0700 whatever the umask. EInOutError
// when that fails, or when the home is another user's or group or others may write it.
std::filesystem::path ZendratoHome();
// Where the home directory is, whether it exists or not. EInOutError when the environment
// gives a relative path, or the home cannot be known at all.
std::filesystem::path HomePath();

// The directory an alias of the local table engine maps to, created when missing.
// Only "TevrinTemp" is known; EDatabaseError for any other.
std::filesystem::path AliasDirectory(const std::string& alias);

// A Windows path such as "c:\TevrinError" as a path under the home directory
// ("<home>/c/TevrinError"), its directory created when missing; any other path is
// returned as it stands.
std::filesystem::path MapWindowsPath(const std::string& path);

// The same places, for callers that only look: nothing is created.
std::filesystem::path AliasLocation(const std::string& alias);
std::filesystem::path WindowsPathLocation(const std::string& path);

// The name of the system user running the program (for records of who did what); empty
// when the system knows none.
std::string SystemUserName();

// Creates a directory and its parents when missing, each its owner's alone (0700 whatever
// the umask: they hold the home's files); EInOutError when that fails, or when the
// directory is the home or in it and it, or a folder between, breaks the home's rule of
// owner and mode (HomeFile.h).
std::filesystem::path EnsureDirectory(const std::filesystem::path& dir);

} // namespace zen
