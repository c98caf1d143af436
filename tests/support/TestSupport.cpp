#include "support/TestSupport.h"

#include "toolkit/DateTime.h"

#include <cctype>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace zen::test {

TempHome::TempHome() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zendrato-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = tmpl;
    if (const char* prev = std::getenv("ZENDRATO_HOME")) {
        previous_ = prev;
        hadPrevious_ = true;
    }
    setenv("ZENDRATO_HOME", path_.c_str(), 1);
}

TempHome::~TempHome() {
    if (hadPrevious_) {
        setenv("ZENDRATO_HOME", previous_.c_str(), 1);
    } else {
        unsetenv("ZENDRATO_HOME");
    }
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

ScopedLocale::ScopedLocale(const char* name) {
    const char* prev = std::setlocale(LC_ALL, nullptr);
    previous_ = prev ? prev : "C";
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
    InitFormatSettingsFromLocale();
}

ScopedLocale::~ScopedLocale() {
    std::setlocale(LC_ALL, previous_.c_str());
    InitFormatSettingsFromLocale();
}

std::filesystem::path TestDataDir() {
    if (const char* dir = std::getenv("ZENDRATO_TEST_DATA")) {
        return dir;
    }
    return std::filesystem::path(ZENDRATO_SOURCE_DIR) / "tests";
}

std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

namespace {

// English words that no Slovene sentence of the program holds ("in", "to", "a", "on", "no"
// and "argument" are Slovene words too, so they are left out).
const std::set<std::string> kEnglish = {
    "the",       "is",         "are",     "not",    "of",      "with",   "and",      "or",
    "for",       "missing",    "unknown", "option", "options", "value",  "usage",    "given",
    "only",      "needs",      "more",    "than",   "once",    "does",   "go",       "valid",
    "date",      "name",       "user",    "number", "range",   "see",    "variable", "class",
    "character", "unexpected", "after",   "cannot", "display", "window", "error",    "takes",
    "this",      "text",       "that",    "which",  "when",    "be",     "can",      "by",
    "from",      "file",       "help",    "exit",   "status",  "found",  "invalid",  "mode",
    "set",       "without",    "amount",  "price",  "prints",
};

} // namespace

// The English words of a text, skipping what the user types as it stands: options
// (--date, also in brackets), formulas (#KOLICINA#), assignments (IME=VREDNOST) and the
// names of environment variables.
std::vector<std::string> EnglishWords(const std::string& text) {
    std::vector<std::string> found;
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        token.erase(0, token.find_first_not_of("[(\"'"));
        if (token.find("-") == 0 || token.find_first_of("#=") != std::string::npos ||
            token == "DISPLAY" || token.find('_') != std::string::npos) {
            continue;
        }
        std::string word;
        for (char c : token + " ") {
            // Bytes of UTF-8 letters (č, š, ž) belong to the word.
            if (std::isalpha(static_cast<unsigned char>(c)) ||
                static_cast<unsigned char>(c) >= 0x80) {
                word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            } else if (!word.empty()) {
                if (kEnglish.count(word)) {
                    found.push_back(word);
                }
                word.clear();
            }
        }
    }
    return found;
}

std::map<std::string, std::string> NoDisplayEnvironment(const std::string& locale,
                                                        const std::filesystem::path& home) {
    return {{"LC_ALL", locale},
            {"LANG", ""},
            {"LANGUAGE", ""},
            {"DISPLAY", ""},
            {"WAYLAND_DISPLAY", ""},
            {"QT_QPA_PLATFORM", ""},
            {"ZENDRATO_HOME", home.string()}};
}

TProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& env,
                       const std::filesystem::path& scratch) {
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (!env.count(entry.substr(0, entry.find('=')))) {
            envText.push_back(entry);
        }
    }
    for (const auto& [name, value] : env) {
        if (!value.empty()) {
            envText.push_back(name + "=" + value);
        }
    }
    std::vector<char*> envp;
    for (auto& e : envText) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> argText{program};
    argText.insert(argText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argText) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    const auto outPath = scratch / "stdout";
    const auto errPath = scratch / "stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        throw std::runtime_error("cannot start " + program);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    return {WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1, ReadFileBytes(outPath),
            ReadFileBytes(errPath)};
}

TChildCall CallInChild(const std::function<std::string()>& call, int seconds) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        close(fds[0]);
        std::string text;
        try {
            text = call();
        } catch (const std::exception& e) {
            text = e.what();
        } catch (...) {
            text = "?";
        }
        for (size_t done = 0; done < text.size();) {
            const ssize_t n = write(fds[1], text.data() + done, text.size() - done);
            if (n <= 0) {
                break;
            }
            done += size_t(n);
        }
        _exit(0); // nothing of the test's own may run twice
    }
    close(fds[1]);
    TChildCall result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int wstatus = 0;
    while (waitpid(pid, &wstatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            close(fds[0]);
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    result.ended = WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) {
        result.text.append(buf, size_t(n));
    }
    close(fds[0]);
    return result;
}

} // namespace zen::test
