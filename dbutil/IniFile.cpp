#include "dbutil/IniFile.h"

#include "toolkit/Exceptions.h"
#include "toolkit/FileReplace.h"
#include "toolkit/Home.h"
#include "toolkit/HomeFile.h"
#include "toolkit/Text.h"

#include <cctype>
#include <vector>

namespace zen {

namespace {

std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) {
        ++b;
    }
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) {
        --e;
    }
    return s.substr(b, e - b);
}

// The section name of a "[name]" line, or nothing for any other line.
bool SectionOf(std::string_view line, std::string_view& name) {
    std::string_view t = Trim(line);
    if (t.size() >= 2 && t.front() == '[') {
        size_t close = t.find(']');
        if (close != std::string_view::npos) {
            name = Trim(t.substr(1, close - 1));
            return true;
        }
    }
    return false;
}

// The key and value of a "key=value" line; the value is everything after the first "=",
// so that it comes back exactly as it was written.
bool KeyOf(std::string_view line, std::string_view& key, std::string_view& value) {
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    std::string_view k = Trim(line.substr(0, eq));
    if (k.empty() || k.front() == ';') {
        return false;
    }
    key = k;
    value = line.substr(eq + 1);
    return true;
}

// A line ends at "\n", "\r\n" or a lone "\r". A value that held a lone "\r" could never
// be written back, since a value with a line break is refused. False when there is no
// file; a file refused by the home's rules (HomeFile.h) raises.
bool ReadLines(const std::filesystem::path& path, std::vector<std::string>& lines) {
    // Read whole: every setting read goes through here, and the file is small.
    std::string text;
    if (!ReadHomeFile(path, text)) {
        return false;
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.emplace_back(text, start);
            break;
        }
        lines.emplace_back(text, start, end - start);
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return true;
}

std::unique_ptr<TIniFile> g_settings;

} // namespace

TIniFile::TIniFile(std::filesystem::path path) : path_(std::move(path)) {}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    std::vector<std::string> lines;
    try {
        if (!ReadLines(path_, lines)) {
            return defaultValue;
        }
    } catch (const EInOutError&) {
        return defaultValue; // as the profile functions do; a write says why
    }
    bool inSection = false;
    for (const std::string& line : lines) {
        std::string_view name, k, v;
        if (SectionOf(line, name)) {
            inSection = SameName(name, section);
        } else if (inSection && KeyOf(line, k, v) && SameName(k, key)) {
            return std::string(v);
        }
    }
    return defaultValue;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    if (value.find_first_of("\r\n") != std::string::npos) {
        throw EInOutError("Vrednosti s prelomom vrstice ni mogoče shraniti v " + path_.string());
    }
    if (path_.empty()) {
        throw EInOutError("Nastavitve ni mogoče shraniti: domača mapa Zendrata ni znana.");
    }
    std::vector<std::string> lines;
    ReadLines(path_, lines);
    const std::string entry = key + "=" + value;
    bool inSection = false, done = false;
    size_t sectionEnd = std::string::npos; // one past the last non-blank line of the section
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string_view name, k, v;
        if (SectionOf(lines[i], name)) {
            if (inSection) {
                break;
            }
            inSection = SameName(name, section);
            if (inSection) {
                sectionEnd = i + 1;
            }
        } else if (inSection) {
            if (KeyOf(lines[i], k, v) && SameName(k, key)) {
                lines[i] = entry;
                done = true;
            } else if (!Trim(lines[i]).empty()) {
                sectionEnd = i + 1;
            }
        }
    }
    if (!done) {
        if (sectionEnd != std::string::npos) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), entry);
        } else {
            if (!lines.empty() && !Trim(lines.back()).empty()) {
                lines.emplace_back();
            }
            lines.push_back("[" + section + "]");
            lines.push_back(entry);
        }
    }

    std::string text;
    for (const std::string& line : lines) {
        text += line + '\n';
    }
    ReplaceFile(path_, text, TFileAccess::Owner);
}

void OpenSettingsFile(const std::string& name) {
    // The object exists even when the home cannot be made or is unknown: its reads then
    // give the defaults and its writes fail, as for any file that cannot be reached.
    std::filesystem::path home;
    try {
        home = HomePath();
    } catch (const EInOutError&) {
        g_settings = std::make_unique<TIniFile>(std::filesystem::path());
        throw;
    }
    g_settings = std::make_unique<TIniFile>(home / name);
    ZendratoHome();
}

TIniFile& SettingsFile() {
    if (!g_settings) {
        throw EInOutError("Datoteka z nastavitvami ni odprta.");
    }
    return *g_settings;
}

} // namespace zen
