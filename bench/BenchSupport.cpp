#include "bench/BenchSupport.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <sys/resource.h>
#include <unistd.h>

namespace zen::bench {

TBenchHome::TBenchHome() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zendrato-bench-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        throw std::runtime_error("cannot create a temporary directory in " + tmpl);
    }
    path_ = tmpl;
    setenv("ZENDRATO_HOME", path_.c_str(), 1);
}

TBenchHome::~TBenchHome() {
    unsetenv("ZENDRATO_HOME");
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

int RunBenchmark(const char* name, const std::function<void(const TBenchHome&)>& body) {
    try {
        TBenchHome home;
        body(home);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.what());
        return 1;
    }
}

double TimeOnce(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TTimes CompareBest(int runs, const std::function<void()>& subject,
                   const std::function<void()>& baseline) {
    TTimes best{1e300, 1e300};
    for (int i = 0; i < runs; ++i) {
        best.Subject = std::min(best.Subject, TimeOnce(subject));
        best.Baseline = std::min(best.Baseline, TimeOnce(baseline));
    }
    return best;
}

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // KiB on Linux
}

// splitmix64: tiny, fast and well mixed.
uint64_t TRandom::Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void TChecksum::Add(std::string_view bytes) {
    for (unsigned char c : bytes) {
        hash_ = (hash_ ^ c) * 1099511628211ull;
    }
    // A separator, so that "ab"+"c" and "a"+"bc" differ.
    hash_ = (hash_ ^ 0xFF) * 1099511628211ull;
}

void TChecksum::Add(double value) {
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    Add(std::string_view(bytes, sizeof bytes));
}

void TChecksum::Add(int64_t value) {
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    Add(std::string_view(bytes, sizeof bytes));
}

// Fixed-point text with a decimal point whatever the locale, so that the output of every
// machine reads the same.
std::string Fixed(double value, int decimals) {
    char buf[64];
    auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    return ec == std::errc() ? std::string(buf, end) : std::string("?");
}

void PrintLine(const std::string& label, const std::string& value, const std::string& note) {
    std::printf("  %-36s %12s %s\n", label.c_str(), value.c_str(), note.c_str());
}

void PrintTitle(const std::string& title) {
    std::printf("\n== %s\n", title.c_str());
}

void PrintRate(const std::string& label, double items, double seconds, const std::string& unit) {
    PrintLine(label, Fixed(items / seconds, 0), unit + "/s  (" + Fixed(seconds, 3) + " s)");
}

void PrintPerItem(const std::string& label, double items, double seconds, const std::string& unit) {
    PrintLine(label, Fixed(seconds / items * 1e6, 3),
              "us/" + unit + "  (" + Fixed(seconds, 3) + " s)");
}

void PrintRatio(const std::string& what, double subjectSeconds, double baselineSeconds) {
    PrintLine("ratio " + what, Fixed(subjectSeconds / baselineSeconds, 2),
              "(time against the baseline's)");
}

void RequireSame(const std::string& what, uint64_t subject, uint64_t baseline) {
    if (subject != baseline) {
        std::fprintf(stderr, "%s: the component and the baseline read different data\n",
                     what.c_str());
        std::exit(1);
    }
}

} // namespace zen::bench
