#pragma once
// Shared test helpers: a private ZENDRATO_HOME per test and a scoped C locale.

#include <filesystem>
#include <functional>
#include <string>

namespace zen::test {

// Creates a fresh temporary directory, points ZENDRATO_HOME at it, and removes it again.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// Switches the C locale (all categories) and the toolkit's format settings for a scope.
// Skips nothing itself: Available() says whether the locale exists on this machine.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name);
    ~ScopedLocale();
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;
    bool Available() const { return ok_; }

private:
    std::string previous_;
    bool ok_ = false;
};

// The message of the exception of type E that the call raises, or "" when it succeeds.
template <typename E> std::string FailureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const E& e) {
        return e.Message();
    }
    return "";
}

// The directory of this source tree's tests (for data files kept beside them).
std::filesystem::path TestDataDir();

// A file's bytes as they stand ("" when it cannot be read).
std::string ReadFileBytes(const std::filesystem::path& path);

} // namespace zen::test
