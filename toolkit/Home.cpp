#include "toolkit/Home.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Text.h"

#include <cctype>
#include <cstdlib>
#include <system_error>

namespace zen {

namespace {

std::filesystem::path HomeLocation() {
    if (const char* home = std::getenv("ZENDRATO_HOME"); home && *home) {
        return home;
    }
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        return std::filesystem::path(xdg) / "zendrato";
    }
    const char* user = std::getenv("HOME");
    return std::filesystem::path(user && *user ? user : ".") / ".local/share/zendrato";
}

} // namespace

std::filesystem::path EnsureDirectory(const std::filesystem::path& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir)) {
        throw EInOutError("Cannot create directory " + dir.string() +
                          (ec ? ": " + ec.message() : std::string()));
    }
    return dir;
}

std::filesystem::path ZendratoHome() {
    return EnsureDirectory(HomeLocation());
}

std::filesystem::path AliasLocation(const std::string& alias) {
    if (SameName(alias, "TevrinTemp")) {
        return HomeLocation() / "TevrinTemp";
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
        return HomeLocation() / drive / rest;
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
