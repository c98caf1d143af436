#include "toolkit/Home.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Text.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <system_error>

namespace zen {

std::filesystem::path EnsureDirectory(const std::filesystem::path& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir)) {
        throw EInOutError("Cannot create directory " + dir.string() +
                          (ec ? ": " + ec.message() : std::string()));
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
    std::error_code ec;
    if (!std::filesystem::is_directory(home, ec)) {
        if (home.has_parent_path()) {
            std::filesystem::create_directories(home.parent_path(), ec); // mkdir says why not
        }
        // Owner only: the home holds the SQL login. A home that exists keeps its mode, which
        // is its owner's choice.
        if (::mkdir(home.c_str(), 0700) != 0 && errno != EEXIST) {
            throw EInOutError("Cannot create directory " + home.string() + ": " +
                              std::strerror(errno));
        }
    }
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

} // namespace zen
