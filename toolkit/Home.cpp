#include "toolkit/Home.h"
#include <pwd.h>
#include <unistd.h>

#include "toolkit/Exceptions.h"
#include "toolkit/Text.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <system_error>

namespace zen {

namespace {

// A directory its owner's alone (0700), whatever the umask, which could otherwise open it to
// everyone (umask 000) or close it to its owner (umask 0277). False, errno set, when it
// cannot be created; true when it is made or was there.
bool MakeOwnerDirectory(const std::filesystem::path& dir) {
    if (::mkdir(dir.c_str(), 0700) == 0) {
        return ::chmod(dir.c_str(), 0700) == 0;
    }
    return errno == EEXIST;
}

} // namespace

std::filesystem::path EnsureDirectory(const std::filesystem::path& dir) {
    std::filesystem::path partial;
    std::error_code ec;
    for (const std::filesystem::path& part : dir) {
        partial /= part;
        if (!std::filesystem::is_directory(partial, ec) && !MakeOwnerDirectory(partial)) {
            throw EInOutError("Mape " + dir.string() +
                              " ni mogoče ustvariti: " + std::strerror(errno));
        }
    }
    if (!std::filesystem::is_directory(dir, ec)) {
        throw EInOutError("Mape " + dir.string() + " ni mogoče ustvariti.");
    }
    return dir;
}

std::filesystem::path HomePath() {
    if (const char* home = std::getenv("ZENDRATO_HOME"); home && *home) {
        return home;
    }
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        return std::filesystem::path(xdg) / "zendrato";
    }
    const char* user = std::getenv("HOME");
    return std::filesystem::path(user && *user ? user : ".") / ".local/share/zendrato";
}

std::filesystem::path ZendratoHome() {
    std::filesystem::path home = HomePath();
    if (!home.has_filename()) {
        home = home.parent_path(); // "dir/" names dir
    }
    // Owner only: the home holds the SQL login; its missing parents too, as the data
    // directories of a desktop are made. A home that exists keeps its mode, which is its
    // owner's choice.
    return EnsureDirectory(home);
}

std::filesystem::path AliasLocation(const std::string& alias) {
    if (SameName(alias, "TevrinTemp")) {
        return HomePath() / "TevrinTemp";
    }
    throw EDatabaseError("Unknown database: " + alias);
}

std::filesystem::path AliasDirectory(const std::string& alias) {
    return EnsureDirectory(AliasLocation(alias));
}

std::filesystem::path WindowsPathLocation(const std::string& path) {
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
        (path[2] == '\\' || path[2] == '/')) {
        std::string rest = path.substr(3);
        for (char& c : rest) {
            if (c == '\\') {
                c = '/';
            }
        }
        std::string drive(1, static_cast<char>(std::tolower(static_cast<unsigned char>(path[0]))));
        return HomePath() / drive / rest;
    }
    return path;
}

std::filesystem::path MapWindowsPath(const std::string& path) {
    std::filesystem::path full = WindowsPathLocation(path);
    if (full != std::filesystem::path(path)) {
        EnsureDirectory(full.parent_path());
    }
    return full;
}

std::string SystemUserName() {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name) {
        return pw->pw_name;
    }
    const char* user = std::getenv("USER");
    return user ? user : "";
}

} // namespace zen
