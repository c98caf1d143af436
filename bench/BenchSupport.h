#pragma once
// What every benchmark needs: a private home directory for its data, timing that stands
// up to a busy machine, the peak memory of the process, and one way of printing results.
// Each benchmark measures a baseline in the same run and prints its time against it, so
// that the ratio, not the absolute speed, is what compares across machines.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace zen::bench {

// A fresh temporary directory with ZENDRATO_HOME pointing at it, removed again with the
// object, so that a benchmark never touches a real installation's files.
class TBenchHome {
public:
    TBenchHome();
    ~TBenchHome();
    TBenchHome(const TBenchHome&) = delete;
    TBenchHome& operator=(const TBenchHome&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

struct TTimes {
    double Subject = 0;  // seconds, the fastest run of the component measured
    double Baseline = 0; // seconds, the fastest run of the baseline
};

// Runs the subject and the baseline `runs` times each, alternately, and keeps each one's
// fastest run: alternating spreads any slow spell of the machine over both sides, and the
// minimum is the estimate least disturbed by other processes.
TTimes CompareBest(int runs, const std::function<void()>& subject,
                   const std::function<void()>& baseline);

// The body of a benchmark's main(): runs `body` with a fresh TBenchHome and turns an
// exception into a message under the benchmark's name and exit status 1.
int RunBenchmark(const char* name, const std::function<void(const TBenchHome&)>& body);

// Seconds taken by one call.
double TimeOnce(const std::function<void()>& work);

// The process's peak resident set size so far, in KiB.
long PeakRssKiB();

// A small deterministic generator: the data, and so the work, is the same on every run
// and every machine (the standard distributions are not specified bit for bit).
class TRandom {
public:
    explicit TRandom(uint64_t seed) : state_(seed) {}
    uint64_t Next();
    // A number in [0, n).
    uint64_t Below(uint64_t n) { return Next() % n; }

private:
    uint64_t state_;
};

// 64-bit FNV-1a, to check that subject and baseline read the same data without keeping it.
class TChecksum {
public:
    void Add(std::string_view bytes);
    void Add(double value);
    void Add(int64_t value);
    uint64_t Value() const { return hash_; }

private:
    uint64_t hash_ = 14695981039346656037ull;
};

// Output, one format for all benchmarks; numbers with a decimal point in any locale.
std::string Fixed(double value, int decimals);
void PrintLine(const std::string& label, const std::string& value, const std::string& note);
void PrintTitle(const std::string& title);
void PrintRate(const std::string& label, double items, double seconds, const std::string& unit);
// Microseconds per item; `unit` names the item.
void PrintPerItem(const std::string& label, double items, double seconds,
                  const std::string& unit = "line");
// "ratio subject/baseline" of the times; above 1 the subject is slower.
void PrintRatio(const std::string& what, double subjectSeconds, double baselineSeconds);
// Stops the program when subject and baseline disagree: a benchmark that compares
// different work measures nothing.
void RequireSame(const std::string& what, uint64_t subject, uint64_t baseline);

} // namespace zen::bench
