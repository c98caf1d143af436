#include "toolkit/Home.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Text.h"

#include <cctype>
#include <cstdlib>
#include <system_error>

namespace zen {

namespace {

std::filesystem::path Ensure(const std::filesystem::path& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir)) {
        throw EInOutError("Cannot create directory " + dir.string() +
                          (ec ? ": " + ec.message() : std::string()));
    }
    return dir;
}

} // namespace

std::filesystem::path ZendratoHome() {
    if (const char* home = std::getenv("ZENDRATO_HOME"); home && *home) {
        return Ensure(home);
    }
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        return Ensure(std::filesystem::path(xdg) / "zendrato");
    }
    const char* user = std::getenv("HOME");
    return Ensure(std::filesystem::path(user && *user ? user : ".") / ".local/share/zendrato");
}

std::filesystem::path AliasDirectory(const std::string& alias) {
    if (SameName(alias, "TevrinTemp")) {
        return Ensure(ZendratoHome() / "TevrinTemp");
    }
    throw EDatabaseError("Unknown database: " + alias);
}

std::filesystem::path MapWindowsPath(const std::string& path) {
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
        (path[2] == '\\' || path[2] == '/')) {
        std::string rest = path.substr(3);
        for (char& c : rest) {
            if (c == '\\') {
                c = '/';
            }
        }
        std::string drive(1, static_cast<char>(std::tolower(static_cast<unsigned char>(path[0]))));
        std::filesystem::path full = ZendratoHome() / drive / rest;
        Ensure(full.parent_path());
        return full;
    }
    return path;
}

} // namespace zen
