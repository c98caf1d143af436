#pragma once
// Shared test helpers: a private ZENDRATO_HOME per test and a scoped C locale.

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

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

// What a program run as a process of its own left: its exit status (-1 when it did not
// exit) and its two streams.
struct TProgramRun {
    int status = -1;
    std::string out, err;
};

// Runs `program` with `args` and standard input from /dev/null, its streams caught in
// files in `scratch`. `env` adds to or, with an empty value, removes from the test's
// environment.
TProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& env,
                       const std::filesystem::path& scratch);

// What a call made in a child process of its own said: whether it ended within its time
// (a call that hangs is killed), and the text it gave back (the exception's message when one
// left it).
struct TChildCall {
    bool ended = false;
    std::string text;
};
// Runs `call` in a forked child, which may set limits or hang without harming the test; it
// is killed after `seconds`.
TChildCall CallInChild(const std::function<std::string()>& call, int seconds = 10);
// The environment of the program run as from a terminal without a display: only `locale`,
// no display or platform, and `home` as its home.
std::map<std::string, std::string> NoDisplayEnvironment(const std::string& locale,
                                                        const std::filesystem::path& home);

// The English words of a text meant to be Slovene (a list of common ones that no Slovene
// sentence holds), skipping what a user types as it stands: options (--date), formulas
// (#KOLICINA#), assignments (IME=VREDNOST) and names of environment variables.
std::vector<std::string> EnglishWords(const std::string& text);

} // namespace zen::test
