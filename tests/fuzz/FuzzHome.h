#pragma once
// A private ZENDRATO_HOME for a fuzz target, removed at exit: the exception log, the
// settings file and the registry stand-in of the inputs go there. Memory-backed when the
// machine has /dev/shm, since the targets rewrite their files on every input.

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace zen::fuzz {

inline std::filesystem::path& HomeDir() {
    static std::filesystem::path dir;
    return dir;
}

// The homes of targets that died by a fault (which skips the removal at exit), known by
// the process number in their names.
inline void RemoveOrphanedHomes(const std::filesystem::path& base) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with("zendrato-fuzz-")) {
            continue;
        }
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + 14, &end, 10);
        if (pid > 0 && *end == '-' && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            std::filesystem::remove_all(entry.path(), ec);
        }
    }
}

inline const std::filesystem::path& MakeHome() {
    std::error_code ec;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, ec) || access(base.c_str(), W_OK) != 0) {
        base = std::filesystem::temp_directory_path();
    }
    RemoveOrphanedHomes(base);
    std::string tmpl = (base / ("zendrato-fuzz-" + std::to_string(getpid()) + "-XXXXXX")).string();
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
