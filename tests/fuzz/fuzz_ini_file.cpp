// Any bytes as a settings file: every section and key named in it reads without a fault,
// and what is read survives being written back: after every value has been written again
// under its own section and key, each reads as before. A new value stored afterwards (the
// input's last line, as the main window stores what the operator typed) reads back
// exactly, and every other value stays as it was. Only EInOutError may leave a write, and
// only for a value with a line break, which no read ever returns.

#include "FuzzHome.h"
#include "dbutil/IniFile.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Text.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// Read as "no such key": a value with a line break is never stored or read.
const std::string kAbsent = "\n(absent)";

std::filesystem::path g_file;

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

struct Entry {
    std::string section, key, value;
};

// Every section a line names ("[name]") and every key ("key=") paired with every section
// seen so far; the reader decides which of them hold a value. The first 16 only: each is
// read and written back through the file, and more would slow every input for little.
std::vector<Entry> Candidates(std::string_view text) {
    std::vector<std::string> sections;
    std::vector<Entry> out;
    size_t start = 0;
    while (start <= text.size() && out.size() < 16) {
        size_t end = text.find_first_of("\r\n", start);
        std::string_view line =
            Trimmed(text.substr(start, end == std::string_view::npos ? text.npos : end - start));
        if (!line.empty() && line.front() == '[' && line.find(']') != line.npos) {
            sections.emplace_back(Trimmed(line.substr(1, line.find(']') - 1)));
        } else if (size_t eq = line.find('='); eq != line.npos && !sections.empty()) {
            for (const std::string& s : sections) {
                out.push_back({s, std::string(Trimmed(line.substr(0, eq))), {}});
            }
        }
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return out;
}

void ReadAll(const zen::TIniFile& ini, std::vector<Entry>& entries) {
    for (Entry& e : entries) {
        e.value = ini.ReadString(e.section, e.key, kAbsent);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_file = zen::fuzz::MakeHome() / "Tevrin.INI";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::ofstream(g_file, std::ios::binary | std::ios::trunc).write(text.data(), text.size());
    zen::TIniFile ini(g_file);

    std::vector<Entry> entries = Candidates(text);
    ReadAll(ini, entries);
    std::erase_if(entries, [](const Entry& e) { return e.value == kAbsent; });
    for (const Entry& e : entries) {
        if (e.value.find_first_of("\r\n") != std::string::npos) {
            __builtin_trap(); // a value that could never be written back
        }
        ini.WriteString(e.section, e.key, e.value);
    }
    std::vector<Entry> again = entries;
    ReadAll(ini, again);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (again[i].value != entries[i].value) {
            __builtin_trap(); // the round trip changed a value
        }
    }

    // A value typed by the operator, stored where the window keeps its path.
    std::string typed(text.substr(text.find_last_of('\n') + 1));
    std::erase(typed, '\r');
    ini.WriteString("Zendrato", "Path", typed);
    if (ini.ReadString("Zendrato", "Path", kAbsent) != typed) {
        __builtin_trap();
    }
    ReadAll(ini, again);
    for (size_t i = 0; i < entries.size(); ++i) {
        bool overwritten =
            zen::SameName(entries[i].section, "Zendrato") && zen::SameName(entries[i].key, "Path");
        if (!overwritten && again[i].value != entries[i].value) {
            __builtin_trap(); // storing one value changed another
        }
    }
    return 0;
}
