#pragma once
// A private ZENDRATO_HOME for a fuzz target, removed at exit: the exception log, the
// settings file and the registry stand-in of the inputs go there. Memory-backed when the
// machine has /dev/shm, since the targets rewrite their files on every input.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace zen::fuzz {

inline std::filesystem::path& HomeDir() {
    static std::filesystem::path dir;
    return dir;
}

inline const std::filesystem::path& MakeHome() {
    std::error_code ec;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, ec) || access(base.c_str(), W_OK) != 0) {
        base = std::filesystem::temp_directory_path();
    }
    std::string tmpl = (base / "zendrato-fuzz-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        std::abort();
    }
    HomeDir() = tmpl;
    setenv("ZENDRATO_HOME", tmpl.c_str(), 1);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(HomeDir(), ignored);
    });
    return HomeDir();
}

} // namespace zen::fuzz
