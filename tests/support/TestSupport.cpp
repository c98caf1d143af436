#include "support/TestSupport.h"

#include "toolkit/DateTime.h"

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

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

} // namespace zen::test
