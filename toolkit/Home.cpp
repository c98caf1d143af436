#include "toolkit/Home.h"
#include <pwd.h>
#include <unistd.h>

#include "toolkit/Exceptions.h"
#include "toolkit/HomeFile.h"
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

// The home and every folder of it on the way to `dir` (nothing for a folder elsewhere), by
// the home's rule of owner and mode.
void CheckHomeFolders(const std::filesystem::path& dir) {
    std::filesystem::path home;
    try {
        home = HomePath();
    } catch (const EInOutError&) {
        return; // no home: `dir` is none of it
    }
    if (!home.has_filename()) {
        home = home.parent_path(); // "dir/" names dir
    }
    const std::filesystem::path below = dir.lexically_relative(home);
    if (below.empty() || *below.begin() == "..") {
        return;
    }
    std::filesystem::path at = home;
    auto check = [](const std::filesystem::path& folder) {
        struct stat st;
        if (::stat(folder.c_str(), &st) != 0) {
            throw EInOutError("Mape " + folder.string() +
                              " ni mogoče pregledati: " + std::strerror(errno));
        }
        CheckHomeOwner(folder, st);
    };
    check(at);
    for (const std::filesystem::path& part : below) {
        if (part != "." && !part.empty()) {
            at /= part;
            check(at);
        }
    }
}

// A home given by the environment must be absolute: a relative one would be another
// directory for each directory a job starts in, with a journal, a lock and a login each.
std::filesystem::path AbsoluteHome(const char* variable, const std::string& value,
                                   const std::filesystem::path& below) {
    if (value.empty() || value[0] != '/') {
        throw EInOutError(
            std::string("Domača mapa Zendrata mora biti absolutna pot, ne relativna: ") + variable +
            "=" + value + ". Nastavite " + variable + " na absolutno pot (začne se z /).");
    }
    return below.empty() ? std::filesystem::path(value) : std::filesystem::path(value) / below;
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
    CheckHomeFolders(dir);
    return dir;
}

std::filesystem::path HomePath() {
    if (const char* home = std::getenv("ZENDRATO_HOME"); home && *home) {
        return AbsoluteHome("ZENDRATO_HOME", home, {});
    }
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        return AbsoluteHome("XDG_DATA_HOME", xdg, "zendrato");
    }
    if (const char* user = std::getenv("HOME"); user && *user) {
        return AbsoluteHome("HOME", user, ".local/share/zendrato");
    }
    // Without HOME (a job started by env -i or a service manager): the user's home as the
    // system knows it, so that such a job shares the home of every other run of the user.
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && *pw->pw_dir) {
        return AbsoluteHome("HOME", pw->pw_dir, ".local/share/zendrato");
    }
    throw EInOutError("Domače mape Zendrata ni mogoče določiti: HOME ni nastavljen, uporabnik "
                      "(uid " +
                      std::to_string(::geteuid()) +
                      ") pa v zbirki uporabnikov nima domače mape. Nastavite ZENDRATO_HOME na "
                      "absolutno pot.");
}

std::filesystem::path ZendratoHome() {
    std::filesystem::path home = HomePath();
    if (!home.has_filename()) {
        home = home.parent_path(); // "dir/" names dir
    }
    // Owner only: the home holds the SQL login; its missing parents too, as the data
    // directories of a desktop are made. A home that exists keeps its mode, which is its
    // owner's choice, as long as no one else may write it (EnsureDirectory).
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
